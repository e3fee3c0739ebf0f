#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class DateEdit;
class MaskedEdit;

// The find dialog: turns the fields filled on its showing tab into a query on zel, which it leaves
// in PendingQuery for the record form (empty when cancelled).
class frmFind : public QDialog {
  Q_OBJECT
 public:
  explicit frmFind(QWidget* parent = nullptr);

  // The query for the showing tab, from the fields as they stand.
  QString buildQuery() const;

  void Command1Click();  // OK
  void Command2Click();  // Cancel
  void Command4Click();  // Help

  QTabWidget* Tab1;
  // Location
  QComboBox* txtCemetery;
  MaskedEdit* txtSection;
  MaskedEdit* txtLot;
  MaskedEdit* txtGrave;
  // Interred
  MaskedEdit* txtIntermentNum;
  DateEdit* txtIntermentDate;
  MaskedEdit* txtInterredFirstName;
  MaskedEdit* txtInterredLastName;
  DateEdit* txtDateOfBirth;
  DateEdit* txtDateOfDeath;
  // Purchaser
  MaskedEdit* txtPurchaserFirstName;
  MaskedEdit* txtPurchaserLastName;
  MaskedEdit* txtDeedBook;
  MaskedEdit* txtDeedPage;
  MaskedEdit* txtCertificateNum;
  DateEdit* txtPurchDate;

  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command4;

  void reject() override;
};
