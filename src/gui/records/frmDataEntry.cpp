#include "gui/records/frmDataEntry.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QStyle>
#include <array>

#include "core/history/History.h"
#include "core/program/Zel1.h"
#include "gui/cemeteries/RecordAssign.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/MoneyEdit.h"
#include "gui/controls/ReadOnly.h"
#include "gui/history/HistoryText.h"
#include "gui/history/frmHistory.h"
#include "gui/history/frmRemovedRecords.h"
#include "gui/search/frmFind.h"

frmDataEntry::frmDataEntry(QWidget* parent) : QMainWindow(parent) {
  ui_.setupUi(this);
  record_ = std::make_unique<RecordBinding>(this, [this] { markChanged(); });
  connectCommands();
  installEventFilter(this);
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

  // Amounts look as they do in the lot manager.
  for (MoneyEdit* m : {ui_.txtPurchPrice, ui_.txtBurialFee, ui_.txtPaid}) m->setGrouped(true);

  // Form load.
  if (!ZEL1.DateDisplayFormat.isEmpty()) {
    // #date# literals of the find dialog and the map viewer are read in the fields' own order.
    ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
    for (DateEdit* d : {ui_.txtIntermentDate, ui_.txtDateOfBirth, ui_.txtDateOfDeath, ui_.txtPurchDate})
      d->setDisplayFormat(ZEL1.DateDisplayFormat);
  }
  loadCemeteryLists();
  loadLotList();
  clearForm();
  if (!readOnlyReason().isEmpty()) openReadOnly();
}

void frmDataEntry::openReadOnly() {
  readOnly_ = true;
  // The fields of the record; finding, ordering and stepping through the records stay.
  QList<QWidget*> fields{ui_.txtCemetery, ui_.txtLotInfo, ui_.txtMale, ui_.txtFemale, ui_.txtUnknown};
  for (QLineEdit* e : ui_.centralwidget->findChildren<QLineEdit*>())
    if (!ui_.fraNavigation->isAncestorOf(e)) fields << e;
  showReadOnly(this, fields);
  for (QAction* a :
       {ui_.mnuNew, ui_.mnuSave, ui_.mnuRemove, ui_.mnuImport, ui_.Toolbar1_New, ui_.Toolbar1_Save})
    a->setEnabled(false);
}

frmDataEntry::~frmDataEntry() = default;

void frmDataEntry::connectCommands() {
  const std::pair<QAction*, void (frmDataEntry::*)()> commands[] = {
      {ui_.mnuNew, &frmDataEntry::mnuNewClick},           {ui_.mnuOpen, &frmDataEntry::mnuOpenClick},
      {ui_.mnuGetFirst, &frmDataEntry::mnuGetFirstClick}, {ui_.mnuGetLast, &frmDataEntry::mnuGetLastClick},
      {ui_.mnuGetPrev, &frmDataEntry::mnuGetPrevClick},   {ui_.mnuGetNext, &frmDataEntry::mnuGetNextClick},
      {ui_.mnuMapView, &frmDataEntry::mnuMapViewClick},   {ui_.mnuSave, &frmDataEntry::mnuSaveClick},
      {ui_.mnuRemove, &frmDataEntry::mnuRemoveClick},     {ui_.mnuClose, &frmDataEntry::mnuCloseClick},
      {ui_.mnuHelp, &frmDataEntry::mnuHelpClick},         {ui_.mnuHistory, &frmDataEntry::mnuHistoryClick},
      {ui_.mnuRemoved, &frmDataEntry::mnuRemovedClick}};
  for (auto [action, handler] : commands) connectCommand(action, &QAction::triggered, this, handler);
  connectCommand(ui_.txtCemetery, &QComboBox::activated, this, &frmDataEntry::markChanged);
  connectCommand(ui_.txtLotInfo, &QComboBox::activated, this, &frmDataEntry::txtLotInfoClick);
  connectCommand(ui_.txtIntermentDate, &DateEdit::left, this, &frmDataEntry::txtIntermentDateLeave);
  connectCommand(ui_.txtDateOfBirth, &DateEdit::left, this, &frmDataEntry::txtDateOfBirthLeave);
  connectCommand(ui_.txtDateOfDeath, &DateEdit::left, this, &frmDataEntry::txtDateOfDeathLeave);
  connectCommand(ui_.txtAge, &MaskedEdit::entered, this, &frmDataEntry::txtAgeEnter);
  connectCommand(ui_.txtAge, &MaskedEdit::left, this, &frmDataEntry::txtAgeLeave);
  for (DateEdit* d : {ui_.txtIntermentDate, ui_.txtDateOfBirth, ui_.txtDateOfDeath, ui_.txtPurchDate})
    connect(d, &DateEdit::invalidDate, this, [this, d] { dateHint(d); });
  connectCommand(ui_.Command1, &QPushButton::clicked, this, &frmDataEntry::Command1Click);
  connectCommand(ui_.Command2, &QPushButton::clicked, this, &frmDataEntry::Command2Click);
  connectCommand(ui_.Command3, &QPushButton::clicked, this, &frmDataEntry::Command3Click);
  connectCommand(ui_.mnuPrint, &QAction::triggered, this, [this] { printRecord(printedRecord()); });
  connectCommand(ui_.mnuExport, &QAction::triggered, this, [] { exportRecords(); });
  connectCommand(ui_.mnuImport, &QAction::triggered, this, [this] { emit importWanted(); });
  // Offered only when an import window is wired.
  ui_.mnuImport->setEnabled(false);
  connect(ui_.mnuFile, &QMenu::aboutToShow, this, [this] {
    ui_.mnuImport->setEnabled(!readOnly_ &&
                              isSignalConnected(QMetaMethod::fromSignal(&frmDataEntry::importWanted)));
  });

  // Icons in the toolbar's order.
  const QStyle::StandardPixmap icons[] = {QStyle::SP_FileIcon,          QStyle::SP_FileDialogContentsView,
                                          QStyle::SP_DialogSaveButton,  QStyle::SP_FileDialogDetailedView,
                                          QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward,
                                          QStyle::SP_MediaSeekForward,  QStyle::SP_MediaSkipForward,
                                          QStyle::SP_DirHomeIcon,       QStyle::SP_DialogCloseButton};
  const QStyle::StandardPixmap* icon = icons;
  for (QAction* a : ui_.Toolbar1->actions())
    if (!a->isSeparator()) a->setIcon(style()->standardIcon(*icon++));
  // A button's key is its name after "Toolbar1_".
  connectCommand(ui_.Toolbar1, &QToolBar::actionTriggered, this,
                 [this](QAction* a) { Toolbar1ButtonClick(a->objectName().mid(9)); });
}

void frmDataEntry::markChanged() {
  // A read-only form has nothing to save: no question before it leaves a record.
  if (!readOnly_) ZEL1.RecordChanged = true;
}

void frmDataEntry::loadCemeteryLists() { cemeteries::fillCemeteryLists(ui_.txtCemetery, ui_.Combo1); }

void frmDataEntry::loadLotList() { cemeteries::fillLotTypeList(ui_.txtLotInfo); }

// ---- Showing and clearing ----

void frmDataEntry::showRecord(const RecordSet* rs) {
  record_->show(rs);
  shownVersion_ = rs ? rs->version() : std::nullopt;
  if (!rs && ui_.txtCemetery->count() == 1) {
    ui_.txtCemetery->setCurrentIndex(0);
    record_->keepShown();
  }
  ZEL1.RecordChanged = false;
}

void frmDataEntry::ShowCurrentRecord() {
  showRecord(&ZEL1.rsRecords);
  focusField(ui_.txtSection);
}

void frmDataEntry::clearForm() {
  showRecord(nullptr);
  if (ui_.txtSection->isVisible()) focusField(ui_.txtSection);
}

void frmDataEntry::mnuNewClick() {
  if (leaveRecord()) clearForm();
}

void frmDataEntry::focusField(QWidget* field) {
  // The form moves the focus itself: the field being left must not react to the record just shown
  // (an age field would otherwise fill in a date of the new record and mark it changed).
  const bool was = suppressFocus_;
  suppressFocus_ = true;
  field->setFocus();
  suppressFocus_ = was;
}

// ---- Navigation and opening ----

namespace {
constexpr const char* kPlaceOrder = "csection collate places, lot collate places, grave collate places";
}  // namespace

QString frmDataEntry::orderByText() const {
  // Names in the user's language's order, places with their numbers by value.
  if (ui_.Option2->isChecked())
    return QStringLiteral("interlastname collate names, interfirstname collate names");
  if (ui_.Option3->isChecked())
    return QStringLiteral("ownerlastname collate names, ownerfirstname collate names");
  if (ui_.Option4->isChecked()) return QStringLiteral("deathdate");
  if (ui_.Option5->isChecked()) return QStringLiteral("birthdate");
  return QString::fromLatin1(kPlaceOrder);
}

QString frmDataEntry::firstQuery() { return QStringLiteral("select * from zel order by ") + kPlaceOrder; }

void frmDataEntry::openRecords(const QString& sql) {
  if (ZEL1.rsRecords.isOpen()) ZEL1.rsRecords.close();
  ZEL1.rsRecords.open(sql, RecordSet::Cursor::Static);
}

void frmDataEntry::openFirstOrLast(bool last) {
  if (ui_.Check1->isChecked() && ui_.Combo1->currentIndex() < 0) {
    messages().information(QStringLiteral(
        "You have chosen to search the database for a specific cemetery but have chosen no cemetery "
        "from the drop-down box."));
    return;
  }
  if (!leaveRecord()) return;
  QString sql = QStringLiteral("select * from zel ");
  if (ui_.Check1->isChecked())
    sql += QStringLiteral("where cemeteryid=") + QString::number(ui_.Combo1->currentData().toLongLong());
  sql += QStringLiteral(" order by ") + orderByText();
  try {
    openRecords(sql);
    RecordSet& rs = ZEL1.rsRecords;
    if (rs.isEmpty()) return;
    if (last)
      rs.moveLast();
    else
      rs.moveFirst();
    ShowCurrentRecord();
  } catch (const std::exception& e) {
    showFailure(e);
  }
}

void frmDataEntry::mnuGetFirstClick() { openFirstOrLast(false); }
void frmDataEntry::mnuGetLastClick() { openFirstOrLast(true); }

void frmDataEntry::mnuGetNextClick() { step(true); }
void frmDataEntry::mnuGetPrevClick() { step(false); }

void frmDataEntry::step(bool forward) {
  RecordSet& rs = ZEL1.rsRecords;
  // Nothing before a set is open, or past its end; the save may also have left the set.
  const auto atEnd = [&] { return !rs.isOpen() || (forward ? rs.eof() : rs.bof()); };
  if (atEnd() || !leaveRecord() || atEnd()) return;
  try {
    forward ? rs.moveNext() : rs.movePrevious();
    if (!atEnd()) return ShowCurrentRecord();
    forward ? rs.moveLast() : rs.moveFirst();  // the form keeps the record it shows
  } catch (const std::exception& e) {
    showFailure(e);
  }
}

void frmDataEntry::runQuery(const QString& sql) {
  try {
    // Found records come in the form's chosen order, as First and Next give them.
    // Searched texts are left out of the look: a name may well read "order by".
    static const QRegularExpression quoted(QStringLiteral("'([^']|'')*'"));
    const QString bare = QString(sql).remove(quoted).trimmed();
    const bool ordered = bare.contains(QLatin1String("order by"), Qt::CaseInsensitive) ||
                         bare.endsWith(QLatin1String("where"), Qt::CaseInsensitive);
    openRecords(ordered ? sql : sql + QStringLiteral(" order by ") + orderByText());
    if (ZEL1.rsRecords.isEmpty()) return;
    ZEL1.rsRecords.moveFirst();
    ShowCurrentRecord();
  } catch (const std::exception& e) {
    // Not left pending: the next activation would only fail on it again.
    ZEL1.PendingQuery.clear();
    showFailure(std::runtime_error(std::string("The search could not be performed.\n\n") + e.what()));
  }
}

void frmDataEntry::FormActivate() {
  QCoreApplication::processEvents();
  if (ZEL1.PendingQuery.isEmpty()) return;
  const QString sql = ZEL1.PendingQuery;
  ZEL1.PendingQuery.clear();
  // A refused save keeps the edits on the form; the query is dropped rather than asked again at
  // every activation.
  if (!leaveRecord()) return;
  clearForm();
  runQuery(sql);
}

void frmDataEntry::mnuOpenClick() {
  if (!leaveRecord()) return;
  clearForm();
  frmFind find(this);
  messages().execModal(find);
  if (!ZEL1.PendingQuery.isEmpty()) runQuery(ZEL1.PendingQuery);
}

void frmDataEntry::Toolbar1ButtonClick(const QString& key) {
  const std::pair<const char*, QAction*> buttons[] = {{"New", ui_.mnuNew},         {"Find", ui_.mnuOpen},
                                                      {"Save", ui_.mnuSave},       {"Print", ui_.mnuPrint},
                                                      {"First", ui_.mnuGetFirst},  {"Prev", ui_.mnuGetPrev},
                                                      {"Next", ui_.mnuGetNext},    {"Last", ui_.mnuGetLast},
                                                      {"MapView", ui_.mnuMapView}, {"Close", ui_.mnuClose}};
  for (auto [name, action] : buttons)
    if (key == QLatin1String(name)) action->trigger();
}

bool frmDataEntry::navigationKey(int key) {
  const std::pair<int, QAction*> keys[] = {{Qt::Key_Home, ui_.mnuGetFirst},
                                           {Qt::Key_End, ui_.mnuGetLast},
                                           {Qt::Key_PageUp, ui_.mnuGetPrev},
                                           {Qt::Key_PageDown, ui_.mnuGetNext}};
  for (auto [k, action] : keys) {
    if (k != key) continue;
    action->trigger();
    return true;
  }
  return false;
}

bool frmDataEntry::eventFilter(QObject* watched, QEvent* e) {
  // Open menus keep their own Home/End/Page keys.
  if (e->type() == QEvent::KeyPress && !qobject_cast<QMenu*>(watched)) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (!(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && navigationKey(k->key())) return true;
  }
  return QMainWindow::eventFilter(watched, e);
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
  // Every close (the menu, the toolbar, the close box, the frame's Exit) comes here; a refused save
  // keeps the form open.
  if (closed_) return e->accept();
  if (!leaveRecord()) return e->ignore();
  closed_ = true;
  ZEL1.RecordChanged = false;
  if (ZEL1.rsRecords.isOpen()) ZEL1.rsRecords.close();
  e->accept();
}

void frmDataEntry::mnuHelpClick() { messages().showHelp(3); }

// ---- Cemetery, lot type, address and map ----

void frmDataEntry::Command1Click() {
  cemeteries::openCemeteryManager(this);
  loadCemeteryLists();
}

void frmDataEntry::Command2Click() {
  cemeteries::openLotManager(this);
  loadLotList();
}

void frmDataEntry::Command3Click() { editAddress(); }

void frmDataEntry::editAddress() {
  const std::array<MaskedEdit*, 6> fields = {ui_.txtAddr1, ui_.txtAddr2,   ui_.txtCity,
                                             ui_.txtState, ui_.txtZipCode, ui_.txtPhone};
  OwnerAddress a{fields[0]->text(), fields[1]->text(), fields[2]->text(),
                 fields[3]->text(), fields[4]->text(), fields[5]->text()};
  const qint64 recid = ui_.txtRecordNum->text().toLongLong();
  bool erased = false;
  if (!cemeteries::Command3Click(a, this, recid, &erased)) {
    if (erased) showErased(recid);
    return;
  }
  const QString texts[] = {a.addr1, a.addr2, a.city, a.state, a.zipCode, a.phone};
  for (size_t i = 0; i < fields.size(); ++i) fields[i]->showText(texts[i]);
}

void frmDataEntry::showErased(qint64 recid) {
  // The erased values are what is stored now; the form's other edits stay.
  RecordSet rs(&ZEL1.cnData);
  rs.open(QStringLiteral("select * from zel where recid=") + QString::number(recid),
          RecordSet::Cursor::Static);
  if (rs.eof()) return;
  record_->showStored(rs, History::ownerPersonalFields());
  // The erasure was this form's own change.
  if (shownVersion_) shownVersion_ = rs.version();
}

void frmDataEntry::mnuHistoryClick() {
  const QString recid = ui_.txtRecordNum->text();
  if (recid.isEmpty()) {
    messages().information(QStringLiteral("This record has not been saved yet, so it has no history."));
    return;
  }
  frmHistory::showEntries(QStringLiteral("History of Record ") + recid,
                          HistoryText::lines(History::ofRecord(ZEL1.cnData, recid.toLongLong())), this);
}

void frmDataEntry::mnuRemovedClick() {
  // The record put back takes the form's place.
  if (!leaveRecord()) return;
  const qint64 recid = frmRemovedRecords::choose(this);
  if (recid == 0) return;
  clearForm();
  runQuery(QStringLiteral("select * from zel where recid=") + QString::number(recid));
}

void frmDataEntry::txtLotInfoClick() {
  if (std::optional<Money> price = cemeteries::txtLotInfoClick(ui_.txtLotInfo))
    ui_.txtPurchPrice->setValue(*price);
}

void frmDataEntry::mnuMapViewClick() {
  if (cemeteries::settleMapCemetery(this)) emit mapViewerWanted();
}

PrintedRecord frmDataEntry::printedRecord() const {
  return {ui_.txtCemetery->currentText(), record_->printed()};
}
