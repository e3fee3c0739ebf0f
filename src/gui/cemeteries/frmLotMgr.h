#pragma once

#include "gui/cemeteries/ManagerDialog.h"
#include "ui_frmLotMgr.h"

// The lot type manager: creates, edits and deletes rows of table lots.
class frmLotMgr : public ManagerDialog {
  Q_OBJECT

 public:
  explicit frmLotMgr(QWidget* parent = nullptr);

  // The entry fields by name (frmLotMgr.ui), for tests. An empty txtLotPrice stores no price.
  const Ui::frmLotMgr& fields() const { return fields_; }

 protected:
  QLineEdit* idField() const override { return fields_.txtLotID; }
  QWidget* firstField() const override;
  bool requiredEmpty() const override;
  void clearFields() override;
  void writeFields(RecordSet& rs) override;
  void readFields(const RecordSet& rs) override;

 private:
  Ui::frmLotMgr fields_;
};
