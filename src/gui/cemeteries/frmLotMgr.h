#pragma once

#include "gui/cemeteries/ManagerDialog.h"

class MoneyEdit;

// The lot type manager: creates, edits and deletes rows of table lots.
class frmLotMgr : public ManagerDialog {
  Q_OBJECT

 public:
  explicit frmLotMgr(QWidget* parent = nullptr);

  QLineEdit* txtLotID = nullptr;
  QLineEdit* txtLotDesc = nullptr;
  QLineEdit* txtLotSize = nullptr;
  MoneyEdit* txtLotPrice = nullptr;  // empty: no price stored

 protected:
  QLineEdit* idField() const override { return txtLotID; }
  QWidget* firstField() const override;
  bool requiredEmpty() const override;
  void clearFields() override;
  void writeFields(RecordSet& rs) override;
  void readFields(const RecordSet& rs) override;
};
