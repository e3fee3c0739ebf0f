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

#include "app/Zel1.h"
#include "app/Zel2.h"
#include "controls/DateEdit.h"
#include "controls/MaskedEdit.h"
#include "controls/MessageService.h"
#include "controls/MoneyEdit.h"
#include "search/frmFind.h"
#include "store/DbError.h"
#include "store/Schema.h"

namespace {

const QString kLocationChars =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-abcdefghijklmnopqrstuvwxyz");
const QString kDigits = QStringLiteral("0123456789");

template <class T>
T* named(QWidget* parent, const char* name) {
  auto* w = new T(parent);
  w->setObjectName(QLatin1String(name));
  return w;
}

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
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("centralWidget"));
  setCentralWidget(central);

  auto label = [&](QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
    auto* l = named<QLabel>(parent, name);
    l->setText(text);
    l->setBuddy(buddy);
    return l;
  };
  auto text = [&](QWidget* parent, const char* name) { return named<QLineEdit>(parent, name); };
  auto masked = [&](QWidget* parent, const char* name, const QString& chars) {
    auto* m = named<MaskedEdit>(parent, name);
    m->setAllowedCharacters(chars);
    return m;
  };

  // Top: place of the grave, cemetery and lot type.
  auto* top = new QWidget(central);
  auto* tg = new QGridLayout(top);
  tg->setContentsMargins(0, 0, 0, 0);
  txtSection = masked(top, "txtSection", kLocationChars);
  txtLot = masked(top, "txtLot", kLocationChars);
  txtGrave = masked(top, "txtGrave", kLocationChars);
  txtStatus = text(top, "txtStatus");
  txtStatus->setReadOnly(true);
  txtStatus->setText(QStringLiteral("OPEN"));
  txtStatus->setFocusPolicy(Qt::ClickFocus);
  txtRecordNum = text(top, "txtRecordNum");
  txtRecordNum->setReadOnly(true);
  txtRecordNum->setFocusPolicy(Qt::ClickFocus);
  txtCemetery = named<QComboBox>(top, "txtCemetery");
  txtLotInfo = named<QComboBox>(top, "txtLotInfo");
  Command1 = named<QPushButton>(top, "Command1");
  Command1->setText(QStringLiteral("Modify"));
  Command2 = named<QPushButton>(top, "Command2");
  Command2->setText(QStringLiteral("Modify"));
  tg->addWidget(label(top, "lblSection", QStringLiteral("Section"), txtSection), 0, 0);
  tg->addWidget(label(top, "lblLot", QStringLiteral("Lot"), txtLot), 0, 1);
  tg->addWidget(label(top, "lblGrave", QStringLiteral("Grave"), txtGrave), 0, 2);
  tg->addWidget(label(top, "lblStatus", QStringLiteral("Status"), txtStatus), 0, 3);
  tg->addWidget(label(top, "lblRecordNum", QStringLiteral("Record #"), txtRecordNum), 0, 4);
  tg->addWidget(txtSection, 1, 0);
  tg->addWidget(txtLot, 1, 1);
  tg->addWidget(txtGrave, 1, 2);
  tg->addWidget(txtStatus, 1, 3);
  tg->addWidget(txtRecordNum, 1, 4);
  tg->addWidget(label(top, "lblCemetery", QStringLiteral("Cemetery"), txtCemetery), 0, 5);
  auto* cemRow = new QHBoxLayout;
  cemRow->addWidget(txtCemetery, 1);
  cemRow->addWidget(Command1);
  tg->addLayout(cemRow, 1, 5);
  tg->addWidget(label(top, "lblLotInfo", QStringLiteral("Lot Information"), txtLotInfo), 0, 6);
  auto* lotRow = new QHBoxLayout;
  lotRow->addWidget(txtLotInfo, 1);
  lotRow->addWidget(Command2);
  tg->addLayout(lotRow, 1, 6);
  for (int c = 0; c < 5; ++c) tg->setColumnStretch(c, 1);
  tg->setColumnStretch(5, 3);
  tg->setColumnStretch(6, 3);

  // Address fields live with the form but are edited through the address dialog.
  txtAddr1 = text(central, "txtAddr1");
  txtAddr2 = text(central, "txtAddr2");
  txtCity = text(central, "txtCity");
  txtState = text(central, "txtState");
  txtZipCode = masked(central, "txtZipCode", QStringLiteral("0123456789-"));
  txtPhone = text(central, "txtPhone");
  for (QWidget* w :
       std::initializer_list<QWidget*>{txtAddr1, txtAddr2, txtCity, txtState, txtZipCode, txtPhone})
    w->hide();

  // A frame with labelled fields in rows of label/field pairs.
  auto frame = [&](const char* name, const QString& title) {
    auto* g = named<QGroupBox>(central, name);
    g->setTitle(title);
    return g;
  };

  // Interred Information.
  QGroupBox* interred = frame("fraInterred", QStringLiteral("Interred Information"));
  auto* ig = new QGridLayout(interred);
  txtIntermentNum = masked(interred, "txtIntermentNum", kDigits);
  txtInterredFirstName = text(interred, "txtInterredFirstName");
  txtInterredLastName = text(interred, "txtInterredLastName");
  txtIntermentDate = named<DateEdit>(interred, "txtIntermentDate");
  txtDateOfBirth = named<DateEdit>(interred, "txtDateOfBirth");
  txtDateOfDeath = named<DateEdit>(interred, "txtDateOfDeath");
  txtAge = masked(interred, "txtAge", kDigits);
  txtMale = named<QRadioButton>(interred, "txtMale");
  txtMale->setText(QStringLiteral("Male"));
  txtFemale = named<QRadioButton>(interred, "txtFemale");
  txtFemale->setText(QStringLiteral("Female"));
  txtUnknown = named<QRadioButton>(interred, "txtUnknown");
  txtUnknown->setText(QStringLiteral("Unknown"));
  ig->addWidget(label(interred, "lblIntermentNum", QStringLiteral("Interment #"), txtIntermentNum), 0, 0);
  ig->addWidget(txtIntermentNum, 0, 1);
  ig->addWidget(label(interred, "lblIntermentDate", QStringLiteral("Interment Date"), txtIntermentDate), 0,
                2);
  ig->addWidget(txtIntermentDate, 0, 3);
  ig->addWidget(label(interred, "lblInterredFirstName", QStringLiteral("First Name"), txtInterredFirstName),
                1, 0);
  ig->addWidget(txtInterredFirstName, 1, 1, 1, 3);
  ig->addWidget(label(interred, "lblInterredLastName", QStringLiteral("Last Name"), txtInterredLastName), 2,
                0);
  ig->addWidget(txtInterredLastName, 2, 1, 1, 3);
  ig->addWidget(label(interred, "lblDateOfBirth", QStringLiteral("Date of Birth"), txtDateOfBirth), 3, 0);
  ig->addWidget(txtDateOfBirth, 3, 1);
  ig->addWidget(label(interred, "lblDateOfDeath", QStringLiteral("Date of Death"), txtDateOfDeath), 3, 2);
  ig->addWidget(txtDateOfDeath, 3, 3);
  ig->addWidget(label(interred, "lblAge", QStringLiteral("Age"), txtAge), 4, 0);
  ig->addWidget(txtAge, 4, 1);
  auto* sexRow = new QHBoxLayout;
  sexRow->addWidget(txtMale);
  sexRow->addWidget(txtFemale);
  sexRow->addWidget(txtUnknown);
  sexRow->addStretch(1);
  ig->addLayout(sexRow, 4, 2, 1, 2);
  ig->setColumnStretch(1, 1);
  ig->setColumnStretch(3, 1);
  ig->setRowStretch(5, 1);

  // Purchaser Information.
  QGroupBox* purchaser = frame("fraPurchaser", QStringLiteral("Purchaser Information"));
  auto* pg = new QGridLayout(purchaser);
  txtPurchaserFirstName = text(purchaser, "txtPurchaserFirstName");
  txtPurchaserLastName = text(purchaser, "txtPurchaserLastName");
  txtDeedBook = text(purchaser, "txtDeedBook");
  txtDeedPage = masked(purchaser, "txtDeedPage", kDigits);
  txtCertificateNum = text(purchaser, "txtCertificateNum");
  txtPurchDate = named<DateEdit>(purchaser, "txtPurchDate");
  txtPurchPrice = named<MoneyEdit>(purchaser, "txtPurchPrice");
  txtBurialFee = named<MoneyEdit>(purchaser, "txtBurialFee");
  txtPaid = named<MoneyEdit>(purchaser, "txtPaid");
  Command3 = named<QPushButton>(purchaser, "Command3");
  Command3->setText(QStringLiteral("Address"));
  pg->addWidget(
      label(purchaser, "lblPurchaserFirstName", QStringLiteral("First Name"), txtPurchaserFirstName), 0, 0);
  pg->addWidget(txtPurchaserFirstName, 0, 1, 1, 3);
  pg->addWidget(label(purchaser, "lblPurchaserLastName", QStringLiteral("Last Name"), txtPurchaserLastName),
                1, 0);
  pg->addWidget(txtPurchaserLastName, 1, 1, 1, 3);
  pg->addWidget(label(purchaser, "lblDeedBook", QStringLiteral("Deed Book"), txtDeedBook), 2, 0);
  pg->addWidget(txtDeedBook, 2, 1);
  pg->addWidget(label(purchaser, "lblDeedPage", QStringLiteral("Deed Page"), txtDeedPage), 2, 2);
  pg->addWidget(txtDeedPage, 2, 3);
  pg->addWidget(
      label(purchaser, "lblCertificateNum", QStringLiteral("Certificate Number"), txtCertificateNum), 3, 0);
  pg->addWidget(txtCertificateNum, 3, 1);
  pg->addWidget(label(purchaser, "lblPurchDate", QStringLiteral("Purchase Date"), txtPurchDate), 3, 2);
  pg->addWidget(txtPurchDate, 3, 3);
  pg->addWidget(label(purchaser, "lblPurchPrice", QStringLiteral("Purchase Price"), txtPurchPrice), 4, 0);
  pg->addWidget(txtPurchPrice, 4, 1);
  pg->addWidget(label(purchaser, "lblBurialFee", QStringLiteral("Burial Fee"), txtBurialFee), 4, 2);
  pg->addWidget(txtBurialFee, 4, 3);
  lblPaid = label(purchaser, "lblPaid", QStringLiteral("Amount Paid"), txtPaid);
  pg->addWidget(lblPaid, 5, 0);
  pg->addWidget(txtPaid, 5, 1);
  pg->addWidget(Command3, 5, 3, Qt::AlignRight);
  pg->setColumnStretch(1, 1);
  pg->setColumnStretch(3, 1);
  pg->setRowStretch(6, 1);

  // Other Information.
  QGroupBox* other = frame("fraOther", QStringLiteral("Other Information"));
  auto* og = new QGridLayout(other);
  txtVault = text(other, "txtVault");
  txtPlaceOfBirth = text(other, "txtPlaceOfBirth");
  txtLateResidence = text(other, "txtLateResidence");
  txtSocialState = text(other, "txtSocialState");
  txtNearestRelative = text(other, "txtNearestRelative");
  txtUndertaker = text(other, "txtUndertaker");
  txtCauseOfDeath = text(other, "txtCauseOfDeath");
  txtRemarks = text(other, "txtRemarks");
  og->addWidget(label(other, "lblVault", QStringLiteral("Vault"), txtVault), 0, 0);
  og->addWidget(txtVault, 0, 1);
  og->addWidget(label(other, "lblPlaceOfBirth", QStringLiteral("Place of Birth"), txtPlaceOfBirth), 0, 2);
  og->addWidget(txtPlaceOfBirth, 0, 3);
  og->addWidget(label(other, "lblLateResidence", QStringLiteral("Late Residence"), txtLateResidence), 1, 0);
  og->addWidget(txtLateResidence, 1, 1);
  og->addWidget(label(other, "lblSocialState", QStringLiteral("Social State"), txtSocialState), 1, 2);
  og->addWidget(txtSocialState, 1, 3);
  og->addWidget(label(other, "lblNearestRelative", QStringLiteral("Nearest Relative"), txtNearestRelative), 2,
                0);
  og->addWidget(txtNearestRelative, 2, 1);
  og->addWidget(label(other, "lblUndertaker", QStringLiteral("Undertaker"), txtUndertaker), 2, 2);
  og->addWidget(txtUndertaker, 2, 3);
  og->addWidget(label(other, "lblCauseOfDeath", QStringLiteral("Cause of Death "), txtCauseOfDeath), 3, 0);
  og->addWidget(txtCauseOfDeath, 3, 1, 1, 3);
  og->addWidget(label(other, "lblRemarks", QStringLiteral("Remarks"), txtRemarks), 4, 0);
  og->addWidget(txtRemarks, 4, 1, 1, 3);
  og->setColumnStretch(1, 1);
  og->setColumnStretch(3, 1);
  og->setRowStretch(5, 1);

  // Navigation Controls.
  QGroupBox* nav = frame("fraNavigation", QStringLiteral("Navigation Controls"));
  auto* ng = new QVBoxLayout(nav);
  Combo1 = named<QComboBox>(nav, "Combo1");
  Check1 = named<QCheckBox>(nav, "Check1");
  Check1->setText(QStringLiteral("This Cemetery Only"));
  Option1 = named<QRadioButton>(nav, "Option1");
  Option1->setText(QStringLiteral("Sort by Location"));
  Option1->setChecked(true);
  Option2 = named<QRadioButton>(nav, "Option2");
  Option2->setText(QStringLiteral("Sort by Interred"));
  Option3 = named<QRadioButton>(nav, "Option3");
  Option3->setText(QStringLiteral("Sort by Owner"));
  Option4 = named<QRadioButton>(nav, "Option4");
  Option4->setText(QStringLiteral("Sort by DOD"));
  Option5 = named<QRadioButton>(nav, "Option5");
  Option5->setText(QStringLiteral("Sort by DOB"));
  ng->addWidget(Combo1);
  ng->addWidget(Check1);
  for (QRadioButton* o : {Option1, Option2, Option3, Option4, Option5}) ng->addWidget(o);
  ng->addStretch(1);

  auto* grid = new QGridLayout(central);
  grid->addWidget(top, 0, 0, 1, 2);
  grid->addWidget(interred, 1, 0);
  grid->addWidget(purchaser, 1, 1);
  grid->addWidget(other, 2, 0);
  grid->addWidget(nav, 2, 1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

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

  setTabOrder(txtSection, txtLot);
  setTabOrder(txtLot, txtGrave);
  setTabOrder(txtGrave, txtCemetery);
  setTabOrder(txtCemetery, txtLotInfo);
  setTabOrder(txtLotInfo, txtIntermentNum);
  setTabOrder(txtIntermentNum, txtIntermentDate);
  setTabOrder(txtIntermentDate, txtInterredFirstName);
  setTabOrder(txtInterredFirstName, txtInterredLastName);
  setTabOrder(txtInterredLastName, txtDateOfBirth);
  setTabOrder(txtDateOfBirth, txtDateOfDeath);
  setTabOrder(txtDateOfDeath, txtAge);
  setTabOrder(txtAge, txtMale);
  setTabOrder(txtMale, txtFemale);
  setTabOrder(txtFemale, txtUnknown);
  setTabOrder(txtUnknown, txtPurchaserFirstName);
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
  for (QRadioButton* r : {txtMale, txtFemale, txtUnknown})
    connect(r, &QRadioButton::clicked, this, &frmDataEntry::markChanged);
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

void frmDataEntry::loadCemeteryLists() {
  txtCemetery->clear();
  Combo1->clear();
  RecordSet& rs = ZEL1.rsLookup;
  if (rs.isOpen()) rs.close();
  for (rs.open(QStringLiteral("select * from cemetery order by name")); !rs.eof(); rs.moveNext()) {
    const QString name = rs.field(QStringLiteral("Name")).toString();
    const qint64 id = rs.field(QStringLiteral("cemeteryid")).toInt();
    txtCemetery->addItem(name, id);
    Combo1->addItem(name, id);
  }
  rs.close();
  txtCemetery->setCurrentIndex(-1);
  Combo1->setCurrentIndex(-1);
}

void frmDataEntry::loadLotList() {
  txtLotInfo->clear();
  RecordSet& rs = ZEL1.rsLookup2;
  if (rs.isOpen()) rs.close();
  for (rs.open(QStringLiteral("select * from lots order by lotdesc")); !rs.eof(); rs.moveNext()) {
    txtLotInfo->addItem(trimmedText(rs.field(QStringLiteral("lotdesc"))) + QStringLiteral(", ") +
                            trimmedText(rs.field(QStringLiteral("lotsize"))),
                        rs.field(QStringLiteral("lotid")).toInt());
  }
  rs.close();
  txtLotInfo->setCurrentIndex(-1);
}

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
  try {
    loadCemeteryLists();
  } catch (const std::exception& e) {
    reportError(e);
  }
}

void frmDataEntry::Command2Click() {
  if (onLotManager) onLotManager();
  try {
    loadLotList();
  } catch (const std::exception& e) {
    reportError(e);
  }
}

void frmDataEntry::Command3Click() {
  if (onAddress) onAddress();
}

void frmDataEntry::txtLotInfoClick() {
  markChanged();
  if (txtLotInfo->currentIndex() < 0) return;
  try {
    RecordSet& rs = ZEL1.rsLookup2;
    if (rs.isOpen()) rs.close();
    rs.open(QStringLiteral("select * from lots where lotid=") +
            QString::number(txtLotInfo->currentData().toLongLong()));
    if (!rs.eof()) {
      const Value price = rs.field(QStringLiteral("lotprice"));
      if (!price.isNull()) txtPurchPrice->setValue(price.toMoney());
    }
    rs.close();
  } catch (const std::exception& e) {
    reportError(e);
  }
}

void frmDataEntry::mnuMapViewClick() {
  try {
    RecordSet& rs = ZEL1.rsLookup;
    if (rs.isOpen()) rs.close();
    rs.open(QStringLiteral("select count(*) as cnt from cemetery"));
    const qint64 cnt = rs.field(QStringLiteral("cnt")).toInt();
    rs.close();
    if (cnt == 0) {
      messages().information(QStringLiteral(
          "No cemeteries exist. You must first create cemeteries and them build a map for it in order "
          "to use this feature."));
      return;
    }
    if (cnt == 1) {
      rs.open(QStringLiteral("select * from cemetery"));
      ZEL1.CurrentCemeteryId = qint32(rs.field(QStringLiteral("cemeteryid")).toInt());
      rs.close();
    } else if (onChooseCemetery) {
      onChooseCemetery();
    }
    if (ZEL1.CurrentCemeteryId > 0 && onMapViewer) onMapViewer();
  } catch (const std::exception& e) {
    reportError(e);
  }
}
