#include "records/frmDataEntry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

#include "cemeteries/RecordAssign.h"
#include "cemeteries/frmCemeterySelect.h"
#include "controls/DateEdit.h"
#include "controls/MaskedEdit.h"
#include "controls/MessageService.h"
#include "controls/MoneyEdit.h"
#include "program/Zel1.h"
#include "program/Zel2.h"
#include "records/RecordPrintout.h"
#include "search/frmFind.h"
#include "store/DbError.h"
#include "store/Schema.h"
#include "ui_frmDataEntry.h"

namespace {

QString trimmedText(const Value& v) { return v.isNull() ? QString() : v.toString().trimmed(); }

void showDate(DateEdit* field, const Value& v) {
  if (v.isDate())
    field->setDate(v.toDate());
  else
    field->clear();
}

// Selects the first entry whose item data equals id; none when no entry has it.
void selectById(QComboBox* box, const Value& id) {
  box->setCurrentIndex(-1);
  if (id.isNull()) return;
  const qint64 want = id.toInt();
  for (int i = 0; i < box->count(); ++i) {
    if (box->itemData(i).toLongLong() == want) {
      box->setCurrentIndex(i);
      return;
    }
  }
}

}  // namespace

QString wholeNumberText(const Value& v) {
  if (v.isNull()) return {};
  const qint64 n = std::llround(v.toDouble());
  return n == 0 ? QString() : QString::number(n);
}

QString deriveState(bool intermentDateValid, const QString& interredFirst, const QString& interredLast,
                    bool purchaseDateValid, const QString& purchaserFirst, const QString& purchaserLast) {
  QString state = QStringLiteral(" ");
  if (intermentDateValid || !interredLast.trimmed().isEmpty() || !interredFirst.trimmed().isEmpty())
    state = QString::fromLatin1(Schema::kBuried);
  else if (purchaseDateValid || !purchaserLast.trimmed().isEmpty() || !purchaserFirst.trimmed().isEmpty())
    state = QString::fromLatin1(Schema::kSold);
  if (state == QLatin1String(Schema::kBuried) && !intermentDateValid)
    state = QString::fromLatin1(Schema::kReserved);
  return state;
}

frmDataEntry::frmDataEntry(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmDataEntry"));
  setWindowTitle(QStringLiteral("Data Entry"));
  buildForm();
  buildMenus();
  connectReactions();
  // The other windows of the form's commands; tests and the frame may replace them.
  onPrint = [this] { printRecord(printedRecord()); };
  onExport = [] { exportRecords(); };
  onCemeteryManager = [this] { cemeteries::openCemeteryManager(this); };
  onLotManager = [this] { cemeteries::openLotManager(this); };
  onAddress = [this] { editAddress(); };
  onChooseCemetery = [this] { frmCemeterySelect::choose(this); };
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

  // Form load.
  if (!ZEL1.DateDisplayFormat.isEmpty()) {
    // #date# literals of the find dialog and the map viewer are read in the fields' own order.
    ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
    for (DateEdit* d : {txtIntermentDate, txtDateOfBirth, txtDateOfDeath, txtPurchDate})
      d->setDisplayFormat(ZEL1.DateDisplayFormat);
  }
  try {
    loadCemeteryLists();
    loadLotList();
  } catch (const std::exception& e) {
    reportError(e);
  }
  mnuNewClick();
}

frmDataEntry::~frmDataEntry() = default;

void frmDataEntry::buildForm() {
  // The fields, labels and frames are laid out in frmDataEntry.ui.
  auto* central = new QWidget(this);
  ui_ = std::make_unique<Ui::frmDataEntryFields>();
  ui_->setupUi(central);
  setCentralWidget(central);
  Ui::frmDataEntryFields& u = *ui_;
  txtSection = u.txtSection;
  txtLot = u.txtLot;
  txtGrave = u.txtGrave;
  txtStatus = u.txtStatus;
  txtCemetery = u.txtCemetery;
  txtRecordNum = u.txtRecordNum;
  txtLotInfo = u.txtLotInfo;
  Command1 = u.Command1;
  Command2 = u.Command2;
  txtAddr1 = u.txtAddr1;
  txtAddr2 = u.txtAddr2;
  txtCity = u.txtCity;
  txtState = u.txtState;
  txtZipCode = u.txtZipCode;
  txtPhone = u.txtPhone;
  txtIntermentNum = u.txtIntermentNum;
  txtInterredFirstName = u.txtInterredFirstName;
  txtInterredLastName = u.txtInterredLastName;
  txtIntermentDate = u.txtIntermentDate;
  txtDateOfBirth = u.txtDateOfBirth;
  txtDateOfDeath = u.txtDateOfDeath;
  txtAge = u.txtAge;
  txtMale = u.txtMale;
  txtFemale = u.txtFemale;
  txtUnknown = u.txtUnknown;
  txtPurchaserFirstName = u.txtPurchaserFirstName;
  txtPurchaserLastName = u.txtPurchaserLastName;
  txtDeedBook = u.txtDeedBook;
  txtDeedPage = u.txtDeedPage;
  txtCertificateNum = u.txtCertificateNum;
  txtPurchDate = u.txtPurchDate;
  txtPurchPrice = u.txtPurchPrice;
  txtBurialFee = u.txtBurialFee;
  txtPaid = u.txtPaid;
  lblPaid = u.lblPaid;
  Command3 = u.Command3;
  txtVault = u.txtVault;
  txtPlaceOfBirth = u.txtPlaceOfBirth;
  txtLateResidence = u.txtLateResidence;
  txtSocialState = u.txtSocialState;
  txtNearestRelative = u.txtNearestRelative;
  txtUndertaker = u.txtUndertaker;
  txtCauseOfDeath = u.txtCauseOfDeath;
  txtRemarks = u.txtRemarks;
  Combo1 = u.Combo1;
  Check1 = u.Check1;
  Option1 = u.Option1;
  Option2 = u.Option2;
  Option3 = u.Option3;
  Option4 = u.Option4;
  Option5 = u.Option5;

  // A date shows whole, whichever column it shares.
  const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("00-00-00000")) + 12;
  for (DateEdit* d : {txtIntermentDate, txtDateOfBirth, txtDateOfDeath, txtPurchDate})
    d->setMinimumWidth(dateWidth);

  // The sex buttons are exclusive among themselves only, and all three may be off.
  for (QRadioButton* r : {txtMale, txtFemale, txtUnknown}) r->setAutoExclusive(false);
  connect(txtMale, &QRadioButton::toggled, this, [this](bool on) {
    if (on) txtFemale->setChecked(false), txtUnknown->setChecked(false);
  });
  connect(txtFemale, &QRadioButton::toggled, this, [this](bool on) {
    if (on) txtMale->setChecked(false), txtUnknown->setChecked(false);
  });
  connect(txtUnknown, &QRadioButton::toggled, this, [this](bool on) {
    if (on) txtMale->setChecked(false), txtFemale->setChecked(false);
  });
}

void frmDataEntry::buildMenus() {
  auto action = [&](const char* name, const QString& caption, QKeySequence key = {}) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    if (!key.isEmpty()) {
      a->setShortcut(key);
      // Inside the frame's MDI area the keys belong to the form that has the focus.
      a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      addAction(a);
    }
    return a;
  };
  mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFile->setObjectName(QStringLiteral("mnuFile"));
  mnuNew = action("mnuNew", QStringLiteral("New"), QKeySequence(Qt::CTRL | Qt::Key_N));
  mnuOpen = action("mnuOpen", QStringLiteral("Find..."), QKeySequence(Qt::CTRL | Qt::Key_F));
  mnuGetFirst = action("mnuGetFirst", QStringLiteral("Get First Record in Recordset"));
  mnuGetLast = action("mnuGetLast", QStringLiteral("Get Last Record in Recordset"));
  mnuGetPrev = action("mnuGetPrev", QStringLiteral("Get Previous Record in Recordset"));
  mnuGetNext = action("mnuGetNext", QStringLiteral("Get Next Record in Recordset"));
  mnuMapView = action("mnuMapView", QStringLiteral("&MapView"));
  mnuSave = action("mnuSave", QStringLiteral("Save"), QKeySequence(Qt::Key_F12));
  mnuRemove = action("mnuRemove", QStringLiteral("Remove This Record"));
  mnuPrint = action("mnuPrint", QStringLiteral("Print"));
  mnuImport = action("mnuImport", QStringLiteral("Import Data into the Database from External Files"));
  mnuExport = action("mnuExport", QStringLiteral("Export Data to CSV File Format"));
  mnuFile->addAction(mnuNew);
  mnuFile->addSeparator();
  mnuFile->addAction(mnuOpen);
  mnuNavigate = mnuFile->addMenu(QStringLiteral("Navigate"));
  mnuNavigate->setObjectName(QStringLiteral("mnuNavigate"));
  // The navigation keys are handled by the form itself; the menu only shows them.
  const std::pair<QAction*, const char*> navKeys[] = {
      {mnuGetFirst, "Home"}, {mnuGetLast, "End"}, {mnuGetPrev, "PgUp"}, {mnuGetNext, "PgDown"}};
  for (auto [a, key] : navKeys) {
    a->setText(a->text() + u'\t' + QLatin1String(key));
    mnuNavigate->addAction(a);
  }
  mnuFile->addAction(mnuMapView);
  mnuFile->addSeparator();
  mnuFile->addAction(mnuSave);
  mnuFile->addSeparator();
  mnuFile->addAction(mnuRemove);
  mnuFile->addSeparator();
  mnuFile->addAction(mnuPrint);
  mnuFile->addSeparator();
  mnuFile->addAction(mnuImport);
  mnuFile->addAction(mnuExport);
  mnuClose = menuBar()->addAction(QStringLiteral("C&lose"));
  mnuClose->setObjectName(QStringLiteral("mnuClose"));
  mnuHelp = menuBar()->addAction(QStringLiteral("&Help"));
  mnuHelp->setObjectName(QStringLiteral("mnuHelp"));

  connect(mnuNew, &QAction::triggered, this, &frmDataEntry::mnuNewClick);
  connect(mnuOpen, &QAction::triggered, this, &frmDataEntry::mnuOpenClick);
  connect(mnuGetFirst, &QAction::triggered, this, &frmDataEntry::mnuGetFirstClick);
  connect(mnuGetLast, &QAction::triggered, this, &frmDataEntry::mnuGetLastClick);
  connect(mnuGetPrev, &QAction::triggered, this, &frmDataEntry::mnuGetPrevClick);
  connect(mnuGetNext, &QAction::triggered, this, &frmDataEntry::mnuGetNextClick);
  connect(mnuMapView, &QAction::triggered, this, &frmDataEntry::mnuMapViewClick);
  connect(mnuSave, &QAction::triggered, this, &frmDataEntry::mnuSaveClick);
  connect(mnuRemove, &QAction::triggered, this, &frmDataEntry::mnuRemoveClick);
  connect(mnuPrint, &QAction::triggered, this, [this] {
    if (onPrint) onPrint();
  });
  connect(mnuImport, &QAction::triggered, this, [this] {
    if (onImport) onImport();
  });
  // Offered only when an import window is wired.
  mnuImport->setEnabled(false);
  connect(mnuFile, &QMenu::aboutToShow, this, [this] { mnuImport->setEnabled(bool(onImport)); });
  connect(mnuExport, &QAction::triggered, this, [this] {
    if (onExport) onExport();
  });
  connect(mnuClose, &QAction::triggered, this, &frmDataEntry::mnuCloseClick);
  connect(mnuHelp, &QAction::triggered, this, &frmDataEntry::mnuHelpClick);

  Toolbar1 = new QToolBar(QStringLiteral("Toolbar1"), this);
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setMovable(false);
  Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  Toolbar1->setIconSize(QSize(20, 20));
  addToolBar(Qt::TopToolBarArea, Toolbar1);
  struct Button {
    const char* key;
    const char* tip;
    QStyle::StandardPixmap icon;
  };
  const Button buttons[] = {
      {"New", "New", QStyle::SP_FileIcon},
      {"Find", "Find", QStyle::SP_FileDialogContentsView},
      {"Save", "Save", QStyle::SP_DialogSaveButton},
      {"Print", "Print", QStyle::SP_FileDialogDetailedView},
      {"First", "Get First Record", QStyle::SP_MediaSkipBackward},
      {"Prev", "Get Previous Record", QStyle::SP_MediaSeekBackward},
      {"Next", "Get Next Record", QStyle::SP_MediaSeekForward},
      {"Last", "Get Last Record", QStyle::SP_MediaSkipForward},
      {"MapView", "View Cemetery Map", QStyle::SP_DirHomeIcon},
      {"Close", "Close this Window", QStyle::SP_DialogCloseButton},
  };
  for (const Button& b : buttons) {
    const QString key = QLatin1String(b.key);
    QAction* a = Toolbar1->addAction(style()->standardIcon(b.icon), key);
    a->setObjectName(QStringLiteral("Toolbar1_") + key);
    a->setData(key);
    a->setToolTip(QLatin1String(b.tip));
    if (key == QLatin1String("Print") || key == QLatin1String("First") || key == QLatin1String("MapView") ||
        key == QLatin1String("Close"))
      Toolbar1->addSeparator();
  }
  connect(Toolbar1, &QToolBar::actionTriggered, this,
          [this](QAction* a) { Toolbar1ButtonClick(a->data().toString()); });
}

void frmDataEntry::connectReactions() {
  const QList<QLineEdit*> fields = {txtSection,
                                    txtLot,
                                    txtGrave,
                                    txtIntermentNum,
                                    txtInterredFirstName,
                                    txtInterredLastName,
                                    txtIntermentDate,
                                    txtDateOfBirth,
                                    txtDateOfDeath,
                                    txtAge,
                                    txtPurchaserFirstName,
                                    txtPurchaserLastName,
                                    txtDeedBook,
                                    txtDeedPage,
                                    txtCertificateNum,
                                    txtPurchDate,
                                    txtPurchPrice,
                                    txtBurialFee,
                                    txtPaid,
                                    txtVault,
                                    txtPlaceOfBirth,
                                    txtLateResidence,
                                    txtSocialState,
                                    txtNearestRelative,
                                    txtUndertaker,
                                    txtCauseOfDeath,
                                    txtRemarks};
  // txtPaid counts too: an edit of the amount paid alone must not be lost without asking.
  for (QLineEdit* f : fields) connect(f, &QLineEdit::textChanged, this, &frmDataEntry::markChanged);
  // So do the address fields when the address dialog changes them: the save question then covers them.
  for (QLineEdit* f : {txtAddr1, txtAddr2, txtCity, txtState, static_cast<QLineEdit*>(txtZipCode), txtPhone})
    connect(f, &QLineEdit::textChanged, this, &frmDataEntry::markChanged);
  for (QRadioButton* r : {txtMale, txtFemale, txtUnknown}) {
    connect(r, &QRadioButton::clicked, this, [this, r] {
      // A click on the chosen button keeps it chosen, as option buttons do.
      if (!r->isChecked()) r->setChecked(true);
      markChanged();
    });
  }
  connect(txtCemetery, &QComboBox::activated, this, &frmDataEntry::markChanged);
  connect(txtLotInfo, &QComboBox::activated, this, &frmDataEntry::txtLotInfoClick);

  connect(txtIntermentDate, &DateEdit::left, this, &frmDataEntry::txtIntermentDateLeave);
  connect(txtDateOfBirth, &DateEdit::left, this, &frmDataEntry::txtDateOfBirthLeave);
  connect(txtDateOfDeath, &DateEdit::left, this, &frmDataEntry::txtDateOfDeathLeave);
  connect(txtAge, &MaskedEdit::entered, this, &frmDataEntry::txtAgeEnter);
  connect(txtAge, &MaskedEdit::left, this, &frmDataEntry::txtAgeLeave);
  for (DateEdit* d : {txtIntermentDate, txtDateOfBirth, txtDateOfDeath, txtPurchDate})
    connect(d, &DateEdit::invalidDate, this, [this, d] { dateHint(d); });

  connect(Command1, &QPushButton::clicked, this, &frmDataEntry::Command1Click);
  connect(Command2, &QPushButton::clicked, this, &frmDataEntry::Command2Click);
  connect(Command3, &QPushButton::clicked, this, &frmDataEntry::Command3Click);
}

void frmDataEntry::markChanged() { ZEL1.RecordChanged = true; }

void frmDataEntry::reportError(const std::exception& e) {
  if (auto* db = dynamic_cast<const DbError*>(&e))
    messages().information(db->description());
  else
    messages().information(QString::fromUtf8(e.what()));
}

void frmDataEntry::loadCemeteryLists() { cemeteries::fillCemeteryLists(txtCemetery, Combo1); }

void frmDataEntry::loadLotList() { cemeteries::fillLotTypeList(txtLotInfo); }

void frmDataEntry::ShowCurrentRecord() {
  const RecordSet& rs = ZEL1.rsRecords;
  auto f = [&](const char* name) { return rs.field(QLatin1String(name)); };
  txtSection->setText(trimmedText(f("csection")));
  txtLot->setText(trimmedText(f("lot")));
  txtGrave->setText(trimmedText(f("grave")));
  txtAddr1->setText(trimmedText(f("owneraddress1")));
  txtAddr2->setText(trimmedText(f("owneraddress2")));
  txtCity->setText(trimmedText(f("ownercity")));
  txtState->setText(trimmedText(f("ownerstate")));
  txtZipCode->setText(trimmedText(f("ownerzip")));
  txtPhone->setText(trimmedText(f("ownerphone")));
  selectById(txtLotInfo, f("lotid"));
  txtStatus->setText(Schema::stateDisplay(f("status").toString()));
  txtRecordNum->setText(QString::number(f("recid").toInt()));
  selectById(txtCemetery, f("cemeteryid"));
  txtIntermentNum->setText(wholeNumberText(f("internum")));
  showDate(txtIntermentDate, f("interdate"));
  txtInterredFirstName->setText(trimmedText(f("interfirstname")));
  txtInterredLastName->setText(trimmedText(f("interlastname")));
  showDate(txtDateOfBirth, f("birthdate"));
  showDate(txtDateOfDeath, f("deathdate"));
  txtAge->setText(wholeNumberText(f("age")));
  txtMale->setChecked(false);
  txtFemale->setChecked(false);
  txtUnknown->setChecked(false);
  const QString sex = f("sex").toString();
  if (sex == u'M') txtMale->setChecked(true);
  if (sex == u'F') txtFemale->setChecked(true);
  if (sex == u'U') txtUnknown->setChecked(true);
  txtPurchaserFirstName->setText(trimmedText(f("ownerfirstname")));
  txtPurchaserLastName->setText(trimmedText(f("ownerlastname")));
  txtDeedBook->setText(trimmedText(f("deedbook")));
  txtDeedPage->setText(wholeNumberText(f("deedpage")));
  txtCertificateNum->setText(trimmedText(f("certnum")));
  showDate(txtPurchDate, f("purchdate"));
  const std::pair<MoneyEdit*, const char*> money[] = {
      {txtPurchPrice, "purchprice"}, {txtBurialFee, "burialfee"}, {txtPaid, "amtpaid"}};
  for (auto [field, col] : money) {
    const Value v = f(col);
    if (v.isNull())
      field->clear();
    else
      field->setValue(v.toMoney());
  }
  txtVault->setText(trimmedText(f("vault")));
  txtPlaceOfBirth->setText(trimmedText(f("birthplace")));
  txtLateResidence->setText(trimmedText(f("latereside")));
  txtSocialState->setText(trimmedText(f("socialstate")));
  txtNearestRelative->setText(trimmedText(f("nearestrelative")));
  txtUndertaker->setText(trimmedText(f("undertaker")));
  txtCauseOfDeath->setText(trimmedText(f("deathcause")));
  txtRemarks->setText(trimmedText(f("remarks")));
  ZEL1.RecordChanged = false;
  focusSection();
}

void frmDataEntry::focusSection() {
  // The form moves the focus itself: the field being left must not react to the record just shown
  // (an age field would otherwise fill in a date of the new record and mark it changed).
  const bool was = suppressFocus_;
  suppressFocus_ = true;
  txtSection->setFocus();
  suppressFocus_ = was;
}

void frmDataEntry::mnuNewClick() {
  txtStatus->setText(QStringLiteral("OPEN"));
  for (QLineEdit* f : {static_cast<QLineEdit*>(txtSection), static_cast<QLineEdit*>(txtLot),
                       static_cast<QLineEdit*>(txtGrave), txtAddr1, txtAddr2, txtCity, txtState,
                       static_cast<QLineEdit*>(txtZipCode), txtPhone})
    f->clear();
  txtLotInfo->setCurrentIndex(-1);
  txtRecordNum->clear();
  txtCemetery->setCurrentIndex(-1);
  for (QLineEdit* f :
       std::initializer_list<QLineEdit*>{txtIntermentNum, txtIntermentDate, txtInterredFirstName,
                                         txtInterredLastName, txtDateOfBirth, txtDateOfDeath, txtAge})
    f->clear();
  txtMale->setChecked(false);
  txtFemale->setChecked(false);
  txtUnknown->setChecked(false);
  for (QLineEdit* f : std::initializer_list<QLineEdit*>{
           txtPurchaserFirstName, txtPurchaserLastName, txtDeedBook, txtDeedPage, txtCertificateNum,
           txtPurchDate, txtPurchPrice, txtBurialFee, txtPaid, txtVault, txtPlaceOfBirth, txtLateResidence,
           txtSocialState, txtNearestRelative, txtUndertaker, txtCauseOfDeath, txtRemarks})
    f->clear();
  if (txtCemetery->count() == 1) txtCemetery->setCurrentIndex(0);
  ZEL1.RecordChanged = false;
  if (txtSection->isVisible()) focusSection();
}

// ---- Navigation and opening ----

QString frmDataEntry::orderByText() const {
  if (Option2->isChecked()) return QStringLiteral("interlastname, interfirstname");
  if (Option3->isChecked()) return QStringLiteral("ownerlastname, ownerfirstname");
  if (Option4->isChecked()) return QStringLiteral("deathdate");
  if (Option5->isChecked()) return QStringLiteral("birthdate");
  return QStringLiteral("csection, lot, grave");
}

void frmDataEntry::askToSave() {
  if (!ZEL1.RecordChanged) return;
  if (messages().question(QStringLiteral("Would you like to save your changes first?"), true) ==
      MessageService::Answer::Yes)
    mnuSaveClick();
}

void frmDataEntry::openRecords(const QString& sql) {
  if (ZEL1.rsRecords.isOpen()) ZEL1.rsRecords.close();
  ZEL1.rsRecords.open(sql, RecordSet::Cursor::Static);
}

void frmDataEntry::openFirstOrLast(bool last) {
  if (Check1->isChecked() && Combo1->currentIndex() < 0) {
    messages().information(QStringLiteral(
        "You have chosen to search the database for a specific cemetery but have chosen no cemetery "
        "from the drop-down box."));
    return;
  }
  askToSave();
  QString sql = QStringLiteral("select * from zel ");
  if (Check1->isChecked() && Combo1->currentIndex() >= 0)
    sql += QStringLiteral("where cemeteryid=") + QString::number(Combo1->currentData().toLongLong());
  sql += QStringLiteral(" order by ") + orderByText();
  try {
    openRecords(sql);
    RecordSet& rs = ZEL1.rsRecords;
    if (!rs.isEmpty()) {
      if (last)
        rs.moveLast();
      else
        rs.moveFirst();
      ShowCurrentRecord();
    }
  } catch (const std::exception& e) {
    reportError(e);
  }
}

void frmDataEntry::mnuGetFirstClick() { openFirstOrLast(false); }
void frmDataEntry::mnuGetLastClick() { openFirstOrLast(true); }

void frmDataEntry::mnuGetNextClick() {
  RecordSet& rs = ZEL1.rsRecords;
  if (!rs.isOpen() || rs.eof()) return;
  askToSave();
  try {
    if (!rs.isOpen() || rs.eof()) return;  // the save may have failed and left the set
    rs.moveNext();
    if (rs.eof()) {
      rs.moveLast();
      return;
    }
    ShowCurrentRecord();
  } catch (const std::exception& e) {
    reportError(e);
  }
}

void frmDataEntry::mnuGetPrevClick() {
  RecordSet& rs = ZEL1.rsRecords;
  if (!rs.isOpen() || rs.bof()) return;
  askToSave();
  try {
    if (!rs.isOpen() || rs.bof()) return;
    rs.movePrevious();
    if (rs.bof()) {
      rs.moveFirst();
      return;
    }
    ShowCurrentRecord();
  } catch (const std::exception& e) {
    reportError(e);
  }
}

void frmDataEntry::FormActivate() {
  QCoreApplication::processEvents();
  if (ZEL1.PendingQuery.isEmpty()) return;
  const QString sql = ZEL1.PendingQuery;
  ZEL1.PendingQuery.clear();
  // The record on the form is about to be replaced: unsaved edits are offered for saving first.
  askToSave();
  try {
    openRecords(sql);
    if (ZEL1.rsRecords.isEmpty()) {
      mnuNewClick();
    } else {
      ZEL1.rsRecords.moveFirst();
      ShowCurrentRecord();
    }
  } catch (const std::exception&) {
    messages().information(QStringLiteral("The search could not be performed."));
  }
}

void frmDataEntry::mnuOpenClick() {
  try {
    askToSave();  // the form is cleared next; edits are not dropped without asking
    mnuNewClick();
    frmFind find(this);
    messages().execModal(find);
    if (!ZEL1.PendingQuery.isEmpty()) {
      openRecords(ZEL1.PendingQuery);
      if (!ZEL1.rsRecords.isEmpty()) {
        ZEL1.rsRecords.moveFirst();
        ShowCurrentRecord();
      }
    }
  } catch (const std::exception&) {
    // Not left pending: the next activation would only fail on it again.
    ZEL1.PendingQuery.clear();
    messages().information(QStringLiteral("The search could not be performed."));
  }
}

void frmDataEntry::Toolbar1ButtonClick(const QString& key) {
  if (key == QLatin1String("New"))
    mnuNewClick();
  else if (key == QLatin1String("Find"))
    mnuOpenClick();
  else if (key == QLatin1String("Save"))
    mnuSaveClick();
  else if (key == QLatin1String("Print"))
    mnuPrint->trigger();
  else if (key == QLatin1String("First"))
    mnuGetFirstClick();
  else if (key == QLatin1String("Prev"))
    mnuGetPrevClick();
  else if (key == QLatin1String("Next"))
    mnuGetNextClick();
  else if (key == QLatin1String("Last"))
    mnuGetLastClick();
  else if (key == QLatin1String("MapView"))
    mnuMapViewClick();
  else if (key == QLatin1String("Close"))
    mnuCloseClick();
}

bool frmDataEntry::navigationKey(int key) {
  switch (key) {
    case Qt::Key_Home:
      mnuGetFirstClick();
      return true;
    case Qt::Key_End:
      mnuGetLastClick();
      return true;
    case Qt::Key_PageUp:
      mnuGetPrevClick();
      return true;
    case Qt::Key_PageDown:
      mnuGetNextClick();
      return true;
    default:
      return false;
  }
}

bool frmDataEntry::eventFilter(QObject* watched, QEvent* e) {
  // Open menus keep their own Home/End/Page keys.
  if (e->type() == QEvent::KeyPress && !qobject_cast<QMenu*>(watched)) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (!(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && navigationKey(k->key())) return true;
  }
  return QMainWindow::eventFilter(watched, e);
}

void frmDataEntry::keyPressEvent(QKeyEvent* e) {
  if (!(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && navigationKey(e->key())) return;
  QMainWindow::keyPressEvent(e);
}

bool frmDataEntry::event(QEvent* e) {
  const bool r = QMainWindow::event(e);
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return r;
}

void frmDataEntry::mnuCloseClick() {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
    sub->close();
  else
    close();
}

void frmDataEntry::closeEvent(QCloseEvent* e) {
  if (!closing_) {
    closing_ = true;
    askToSave();
    if (ZEL1.rsRecords.isOpen()) ZEL1.rsRecords.close();
    if (onClosed) onClosed();
  }
  e->accept();
}

void frmDataEntry::mnuHelpClick() { messages().showHelp(3); }

// ---- Cemetery, lot type, address and map ----

void frmDataEntry::Command1Click() {
  if (onCemeteryManager) onCemeteryManager();
  loadCemeteryLists();
}

void frmDataEntry::Command2Click() {
  if (onLotManager) onLotManager();
  loadLotList();
}

void frmDataEntry::Command3Click() {
  if (onAddress) onAddress();
}

void frmDataEntry::editAddress() {
  OwnerAddress a{txtAddr1->text(), txtAddr2->text(),   txtCity->text(),
                 txtState->text(), txtZipCode->text(), txtPhone->text()};
  if (!cemeteries::Command3Click(a, this)) return;
  txtAddr1->setText(a.addr1);
  txtAddr2->setText(a.addr2);
  txtCity->setText(a.city);
  txtState->setText(a.state);
  txtZipCode->setText(a.zipCode);
  txtPhone->setText(a.phone);
}

void frmDataEntry::txtLotInfoClick() {
  if (std::optional<Money> price = cemeteries::txtLotInfoClick(txtLotInfo)) txtPurchPrice->setValue(*price);
}

void frmDataEntry::mnuMapViewClick() {
  const bool chosen = cemeteries::settleMapCemetery(this, [this] {
    if (onChooseCemetery) onChooseCemetery();
    return ZEL1.CurrentCemeteryId > 0;
  });
  if (chosen && onMapViewer) onMapViewer();
}

PrintedRecord frmDataEntry::printedRecord() const {
  PrintedRecord r;
  r.txtCemetery = txtCemetery->currentText();
  r.txtSection = txtSection->text();
  r.txtLot = txtLot->text();
  r.txtGrave = txtGrave->text();
  r.txtStatus = txtStatus->text();
  r.txtIntermentNum = txtIntermentNum->text();
  r.txtIntermentDate = txtIntermentDate->text();
  r.txtInterredFirstName = txtInterredFirstName->text();
  r.txtInterredLastName = txtInterredLastName->text();
  r.txtDateOfBirth = txtDateOfBirth->text();
  r.txtDateOfDeath = txtDateOfDeath->text();
  r.txtAge = txtAge->text();
  r.txtMale = txtMale->isChecked();
  r.txtFemale = txtFemale->isChecked();
  r.txtUnknown = txtUnknown->isChecked();
  r.txtPurchaserFirstName = txtPurchaserFirstName->text();
  r.txtPurchaserLastName = txtPurchaserLastName->text();
  r.txtDeedBook = txtDeedBook->text();
  r.txtDeedPage = txtDeedPage->text();
  r.txtCertificateNum = txtCertificateNum->text();
  r.txtPurchDate = txtPurchDate->text();
  r.txtPurchPrice = txtPurchPrice->text();
  r.txtBurialFee = txtBurialFee->text();
  r.txtVault = txtVault->text();
  r.txtPlaceOfBirth = txtPlaceOfBirth->text();
  r.txtLateResidence = txtLateResidence->text();
  r.txtSocialState = txtSocialState->text();
  r.txtNearestRelative = txtNearestRelative->text();
  r.txtUndertaker = txtUndertaker->text();
  r.txtCauseOfDeath = txtCauseOfDeath->text();
  r.txtRemarks = txtRemarks->text();
  return r;
}
