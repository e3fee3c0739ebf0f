#include "gui/records/frmDataEntry.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QStyle>
#include <array>

#include "core/program/Zel1.h"
#include "gui/cemeteries/RecordAssign.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/MoneyEdit.h"
#include "gui/search/frmFind.h"

frmDataEntry::frmDataEntry(QWidget* parent) : QMainWindow(parent) {
  setupUi(this);
  record_ = std::make_unique<RecordBinding>(this, [this] { markChanged(); });
  connectCommands();
  // The other windows of the form's commands; tests and the frame may replace them.
  onPrint = [this] { printRecord(printedRecord()); };
  onExport = [] { exportRecords(); };
  onCemeteryManager = [this] { cemeteries::openCemeteryManager(this); };
  onLotManager = [this] { cemeteries::openLotManager(this); };
  onAddress = [this] { editAddress(); };
  onChooseCemetery = [this] { frmCemeterySelect::choose(this); };
  installEventFilter(this);
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

  // Amounts look as they do in the lot manager.
  for (MoneyEdit* m : {txtPurchPrice, txtBurialFee, txtPaid}) m->setGrouped(true);

  // Form load.
  if (!ZEL1.DateDisplayFormat.isEmpty()) {
    // #date# literals of the find dialog and the map viewer are read in the fields' own order.
    ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
    for (DateEdit* d : {txtIntermentDate, txtDateOfBirth, txtDateOfDeath, txtPurchDate})
      d->setDisplayFormat(ZEL1.DateDisplayFormat);
  }
  loadCemeteryLists();
  loadLotList();
  clearForm();
}

frmDataEntry::~frmDataEntry() = default;

void frmDataEntry::connectCommands() {
  const std::pair<QAction*, void (frmDataEntry::*)()> commands[] = {
      {mnuNew, &frmDataEntry::mnuNewClick},           {mnuOpen, &frmDataEntry::mnuOpenClick},
      {mnuGetFirst, &frmDataEntry::mnuGetFirstClick}, {mnuGetLast, &frmDataEntry::mnuGetLastClick},
      {mnuGetPrev, &frmDataEntry::mnuGetPrevClick},   {mnuGetNext, &frmDataEntry::mnuGetNextClick},
      {mnuMapView, &frmDataEntry::mnuMapViewClick},   {mnuSave, &frmDataEntry::mnuSaveClick},
      {mnuRemove, &frmDataEntry::mnuRemoveClick},     {mnuClose, &frmDataEntry::mnuCloseClick},
      {mnuHelp, &frmDataEntry::mnuHelpClick}};
  for (auto [action, handler] : commands) connectCommand(action, &QAction::triggered, this, handler);
  connectCommand(txtCemetery, &QComboBox::activated, this, &frmDataEntry::markChanged);
  connectCommand(txtLotInfo, &QComboBox::activated, this, &frmDataEntry::txtLotInfoClick);
  connectCommand(txtIntermentDate, &DateEdit::left, this, &frmDataEntry::txtIntermentDateLeave);
  connectCommand(txtDateOfBirth, &DateEdit::left, this, &frmDataEntry::txtDateOfBirthLeave);
  connectCommand(txtDateOfDeath, &DateEdit::left, this, &frmDataEntry::txtDateOfDeathLeave);
  connectCommand(txtAge, &MaskedEdit::entered, this, &frmDataEntry::txtAgeEnter);
  connectCommand(txtAge, &MaskedEdit::left, this, &frmDataEntry::txtAgeLeave);
  for (DateEdit* d : {txtIntermentDate, txtDateOfBirth, txtDateOfDeath, txtPurchDate})
    connect(d, &DateEdit::invalidDate, this, [this, d] { dateHint(d); });
  connectCommand(Command1, &QPushButton::clicked, this, &frmDataEntry::Command1Click);
  connectCommand(Command2, &QPushButton::clicked, this, &frmDataEntry::Command2Click);
  connectCommand(Command3, &QPushButton::clicked, this, &frmDataEntry::Command3Click);
  const std::pair<QAction*, std::function<void()>*> hooks[] = {
      {mnuPrint, &onPrint}, {mnuImport, &onImport}, {mnuExport, &onExport}};
  for (auto [action, hook] : hooks)
    connectCommand(action, &QAction::triggered, this, [hook] {
      if (*hook) (*hook)();
    });
  // Offered only when an import window is wired.
  mnuImport->setEnabled(false);
  connect(mnuFile, &QMenu::aboutToShow, this, [this] { mnuImport->setEnabled(bool(onImport)); });

  // Icons in the toolbar's order.
  const QStyle::StandardPixmap icons[] = {QStyle::SP_FileIcon,          QStyle::SP_FileDialogContentsView,
                                          QStyle::SP_DialogSaveButton,  QStyle::SP_FileDialogDetailedView,
                                          QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward,
                                          QStyle::SP_MediaSeekForward,  QStyle::SP_MediaSkipForward,
                                          QStyle::SP_DirHomeIcon,       QStyle::SP_DialogCloseButton};
  const QStyle::StandardPixmap* icon = icons;
  for (QAction* a : Toolbar1->actions())
    if (!a->isSeparator()) a->setIcon(style()->standardIcon(*icon++));
  // A button's key is its name after "Toolbar1_".
  connectCommand(Toolbar1, &QToolBar::actionTriggered, this,
                 [this](QAction* a) { Toolbar1ButtonClick(a->objectName().mid(9)); });
}

void frmDataEntry::markChanged() { ZEL1.RecordChanged = true; }

void frmDataEntry::loadCemeteryLists() { cemeteries::fillCemeteryLists(txtCemetery, Combo1); }

void frmDataEntry::loadLotList() { cemeteries::fillLotTypeList(txtLotInfo); }

// ---- Showing and clearing ----

void frmDataEntry::showRecord(const RecordSet* rs) {
  record_->show(rs);
  if (!rs && txtCemetery->count() == 1) {
    txtCemetery->setCurrentIndex(0);
    record_->keepShown();
  }
  ZEL1.RecordChanged = false;
}

void frmDataEntry::ShowCurrentRecord() {
  showRecord(&ZEL1.rsRecords);
  focusField(txtSection);
}

void frmDataEntry::clearForm() {
  showRecord(nullptr);
  if (txtSection->isVisible()) focusField(txtSection);
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

QString frmDataEntry::orderByText() const {
  // Names in the user's language's order, places with their numbers by value.
  if (Option2->isChecked())
    return QStringLiteral("interlastname collate names, interfirstname collate names");
  if (Option3->isChecked())
    return QStringLiteral("ownerlastname collate names, ownerfirstname collate names");
  if (Option4->isChecked()) return QStringLiteral("deathdate");
  if (Option5->isChecked()) return QStringLiteral("birthdate");
  return QStringLiteral("csection collate places, lot collate places, grave collate places");
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
  if (!leaveRecord()) return;
  QString sql = QStringLiteral("select * from zel ");
  if (Check1->isChecked())
    sql += QStringLiteral("where cemeteryid=") + QString::number(Combo1->currentData().toLongLong());
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
  const std::pair<const char*, QAction*> buttons[] = {
      {"New", mnuNew},         {"Find", mnuOpen},    {"Save", mnuSave},    {"Print", mnuPrint},
      {"First", mnuGetFirst},  {"Prev", mnuGetPrev}, {"Next", mnuGetNext}, {"Last", mnuGetLast},
      {"MapView", mnuMapView}, {"Close", mnuClose}};
  for (auto [name, action] : buttons)
    if (key == QLatin1String(name)) action->trigger();
}

bool frmDataEntry::navigationKey(int key) {
  const std::pair<int, QAction*> keys[] = {{Qt::Key_Home, mnuGetFirst},
                                           {Qt::Key_End, mnuGetLast},
                                           {Qt::Key_PageUp, mnuGetPrev},
                                           {Qt::Key_PageDown, mnuGetNext}};
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
  if (onClosed) onClosed();
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
  const std::array<MaskedEdit*, 6> fields = {txtAddr1, txtAddr2, txtCity, txtState, txtZipCode, txtPhone};
  OwnerAddress a{fields[0]->text(), fields[1]->text(), fields[2]->text(),
                 fields[3]->text(), fields[4]->text(), fields[5]->text()};
  if (!cemeteries::Command3Click(a, this)) return;
  const QString texts[] = {a.addr1, a.addr2, a.city, a.state, a.zipCode, a.phone};
  for (size_t i = 0; i < fields.size(); ++i) fields[i]->showText(texts[i]);
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

PrintedRecord frmDataEntry::printedRecord() const { return {txtCemetery->currentText(), record_->printed()}; }
