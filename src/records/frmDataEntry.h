#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "records/RecordPrintout.h"
#include "store/Value.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QToolBar;
class QToolButton;
class QPushButton;
class DateEdit;
class MaskedEdit;
class MoneyEdit;
namespace Ui {
class frmDataEntryFields;
}

// The grave record form: shows one row of zel at a time, and creates, changes, finds, steps
// through, saves and removes records. It works on its own or inside the frame's QMdiArea.
// Every control is a public member carrying its name as objectName, so that the dialogs that edit
// the form's fields (the owner address dialog) and the tests can reach them.
class frmDataEntry : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmDataEntry(QWidget* parent = nullptr);
  ~frmDataEntry() override;

  // Commands of the form.
  void ShowCurrentRecord();
  void mnuNewClick();
  void mnuOpenClick();
  void mnuGetFirstClick();
  void mnuGetLastClick();
  void mnuGetPrevClick();
  void mnuGetNextClick();
  void mnuSaveClick();
  void mnuRemoveClick();
  void mnuMapViewClick();
  void mnuCloseClick();
  void mnuHelpClick();
  void Command1Click();
  void Command2Click();
  void Command3Click();
  void Toolbar1ButtonClick(const QString& key);
  // Runs PendingQuery when one is waiting; called on every activation of the form.
  void FormActivate();
  // Rebuild the cemetery lists (txtCemetery, Combo1) and the lot type list; nothing stays selected.
  void loadCemeteryLists();
  void loadLotList();

  // Field reactions.
  void txtIntermentDateLeave();
  void txtDateOfBirthLeave();
  void txtDateOfDeathLeave();
  void txtAgeEnter();
  void txtAgeLeave();
  void txtLotInfoClick();
  // The owner address dialog on the six hidden address fields; Save copies its texts back.
  void editAddress();
  // The shown values, for the printout (unsaved edits print as they stand).
  PrintedRecord printedRecord() const;

  // The other windows of the form's commands. Each is set to the real window when the form is
  // made, except the map viewer (wired by the frame, which shows it) and the import window.
  std::function<void()> onPrint;            // mnuPrint: print the shown record
  std::function<void()> onImport;           // mnuImport: the import window (disabled while unset)
  std::function<void()> onExport;           // mnuExport: the export file
  std::function<void()> onCemeteryManager;  // Command1: the cemetery manager, modal
  std::function<void()> onLotManager;       // Command2: the lot type manager, modal
  std::function<void()> onAddress;          // Command3: the owner address dialog, modal
  std::function<void()> onChooseCemetery;   // MapView with several cemeteries: the chooser, modal
  std::function<void()> onMapViewer;        // MapView: the map viewer for CurrentCemeteryId
  std::function<void()> onClosed;           // the form closed: the frame shows its toolbar again

  // Top of the form.
  MaskedEdit* txtSection;
  MaskedEdit* txtLot;
  MaskedEdit* txtGrave;
  QLineEdit* txtStatus;
  QComboBox* txtCemetery;
  QLineEdit* txtRecordNum;
  QComboBox* txtLotInfo;
  QPushButton* Command1;
  QPushButton* Command2;
  // Owner address, edited through the address dialog only.
  QLineEdit* txtAddr1;
  QLineEdit* txtAddr2;
  QLineEdit* txtCity;
  QLineEdit* txtState;
  MaskedEdit* txtZipCode;
  QLineEdit* txtPhone;
  // Interred Information.
  MaskedEdit* txtIntermentNum;
  QLineEdit* txtInterredFirstName;
  QLineEdit* txtInterredLastName;
  DateEdit* txtIntermentDate;
  DateEdit* txtDateOfBirth;
  DateEdit* txtDateOfDeath;
  MaskedEdit* txtAge;
  QRadioButton* txtMale;
  QRadioButton* txtFemale;
  QRadioButton* txtUnknown;
  // Purchaser Information.
  QLineEdit* txtPurchaserFirstName;
  QLineEdit* txtPurchaserLastName;
  QLineEdit* txtDeedBook;
  MaskedEdit* txtDeedPage;
  QLineEdit* txtCertificateNum;
  DateEdit* txtPurchDate;
  MoneyEdit* txtPurchPrice;
  MoneyEdit* txtBurialFee;
  MoneyEdit* txtPaid;
  QLabel* lblPaid;
  QPushButton* Command3;
  // Other Information.
  QLineEdit* txtVault;
  QLineEdit* txtPlaceOfBirth;
  QLineEdit* txtLateResidence;
  QLineEdit* txtSocialState;
  QLineEdit* txtNearestRelative;
  QLineEdit* txtUndertaker;
  QLineEdit* txtCauseOfDeath;
  QLineEdit* txtRemarks;
  // Navigation Controls.
  QComboBox* Combo1;
  QCheckBox* Check1;
  QRadioButton* Option1;
  QRadioButton* Option2;
  QRadioButton* Option3;
  QRadioButton* Option4;
  QRadioButton* Option5;

  // Menus and toolbar.
  QMenu* mnuFile;
  QAction* mnuNew;
  QAction* mnuOpen;
  QMenu* mnuNavigate;
  QAction* mnuGetFirst;
  QAction* mnuGetLast;
  QAction* mnuGetPrev;
  QAction* mnuGetNext;
  QAction* mnuMapView;
  QAction* mnuSave;
  QAction* mnuRemove;
  QAction* mnuPrint;
  QAction* mnuImport;
  QAction* mnuExport;
  QAction* mnuClose;
  QAction* mnuHelp;
  QToolBar* Toolbar1;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildForm();
  void buildMenus();
  void connectReactions();
  void markChanged();
  // The save question before moving away or closing.
  void askToSave();
  void openFirstOrLast(bool last);
  void openRecords(const QString& sql);
  QString orderByText() const;
  bool navigationKey(int key);
  void dateHint(DateEdit* field);
  // Puts the focus back on a refused field once the current focus change has finished.
  void returnFocusTo(QWidget* field);
  void focusSection();
  bool writeRecord(bool isNew);
  bool placeTaken(bool isNew);
  void reportError(const std::exception& e);

  std::unique_ptr<Ui::frmDataEntryFields> ui_;
  bool closing_ = false;
  bool suppressFocus_ = false;
};

// Text of a number column the way the form shows it: no decimals, 0 (and Null) as empty.
QString wholeNumberText(const Value& v);
// State letter of a record from what the form holds: "B", "R", "S" or " ".
QString deriveState(bool intermentDateValid, const QString& interredFirst, const QString& interredLast,
                    bool purchaseDateValid, const QString& purchaserFirst, const QString& purchaserLast);
