#pragma once

#include "core/import/RecordImport.h"
#include "gui/controls/GridControl.h"

// The import's rows as the import window's grid holds them.
class GridSource : public RecordImport::Source {
 public:
  explicit GridSource(const GridControl& g) : g_(g) {}
  int rowCount() const override { return g_.maxRows(); }
  QString text(int row, int col) const override { return g_.text(row, col); }

 private:
  const GridControl& g_;
};
