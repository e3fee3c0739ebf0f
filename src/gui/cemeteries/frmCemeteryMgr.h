#pragma once

#include "gui/cemeteries/ManagerDialog.h"
#include "ui_frmCemeteryMgr.h"

// The cemetery manager: creates, edits and deletes rows of table cemetery.
class frmCemeteryMgr : public ManagerDialog {
  Q_OBJECT

 public:
  explicit frmCemeteryMgr(QWidget* parent = nullptr);

  // The entry fields by name (frmCemeteryMgr.ui), for tests.
  const Ui::frmCemeteryMgr& fields() const { return fields_; }

 protected:
  QLineEdit* idField() const override { return fields_.txtCemeteryID; }
  QWidget* firstField() const override;
  bool requiredEmpty() const override;
  void clearFields() override;
  void writeFields(RecordSet& rs) override;
  void readFields(const RecordSet& rs) override;

 private:
  void limitRemarks();
  Ui::frmCemeteryMgr fields_;
  int remarksLimit_ = 255;
};
