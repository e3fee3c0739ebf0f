#pragma once

#include "gui/cemeteries/ManagerDialog.h"

// The cemetery manager: creates, edits and deletes rows of table cemetery.
class frmCemeteryMgr : public ManagerDialog {
  Q_OBJECT

 public:
  explicit frmCemeteryMgr(QWidget* parent = nullptr);

  QLineEdit* txtCemeteryID = nullptr;
  QLineEdit* txtName = nullptr;
  QLineEdit* txtAddr1 = nullptr;
  QLineEdit* txtAddr2 = nullptr;
  QLineEdit* txtCity = nullptr;
  QLineEdit* txtState = nullptr;
  QLineEdit* txtZipCode = nullptr;
  QLineEdit* txtPhone = nullptr;
  QPlainTextEdit* txtRemarks = nullptr;

 protected:
  QLineEdit* idField() const override { return txtCemeteryID; }
  QWidget* firstField() const override;
  bool requiredEmpty() const override;
  void clearFields() override;
  void writeFields(RecordSet& rs) override;
  void readFields(const RecordSet& rs) override;

 private:
  void limitRemarks();
  int remarksLimit_ = 255;
};
