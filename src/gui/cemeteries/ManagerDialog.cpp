#include "gui/cemeteries/ManagerDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "core/history/History.h"
#include "core/program/Zel1.h"
#include "core/store/RecordSet.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/ReadOnly.h"
#include "gui/history/HistoryText.h"
#include "gui/history/frmHistory.h"

namespace {

const QString kSaveFirst = QStringLiteral("Do you want to save your changes first?");

}  // namespace

void setFieldText(QLineEdit* field, const QString& text, int limit) {
  field->setMaxLength(std::max(limit, int(text.size())));
  field->setText(text);
}

void fitAddressWidths(const QFontMetrics& fm, QLineEdit* state, QLineEdit* zipCode) {
  state->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("MMMM")) + 12);
  zipCode->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("00000-00000")) + 12);
}

void makeIdField(QLineEdit* field) {
  field->setReadOnly(true);
  field->setFocusPolicy(Qt::NoFocus);
  QPalette p = field->palette();
  p.setColor(QPalette::Base, p.color(QPalette::Window));
  field->setPalette(p);
}

ManagerDialog::ManagerDialog(const Table& table, QWidget* parent) : QDialog(parent), table_(table) {
  ui_.setupUi(this);
  setObjectName(table.objectName);
  setWindowTitle(table.caption);
  ui_.List1->viewport()->installEventFilter(this);

  connectCommand(ui_.Command4, &QPushButton::clicked, this, [this] { Command4Click(); });
  connectCommand(ui_.Command2, &QPushButton::clicked, this, [this] { Command2Click(); });
  connectCommand(ui_.Command3, &QPushButton::clicked, this, [this] { Command3Click(); });
  addHelpKey(this, table_.helpTopic);
  connectCommand(ui_.Command1, &QPushButton::clicked, this, [this] { Command1Click(); });
  connectCommand(ui_.cmdHistory, &QPushButton::clicked, this, [this] { cmdHistoryClick(); });
  connectCommand(ui_.List1, &QListWidget::itemDoubleClicked, this, [this] { List1DblClick(); });
}

void ManagerDialog::finish() {
  if (!readOnlyReason().isEmpty()) {
    // The entries can be opened and read, their history too; nothing is added, saved or deleted.
    readOnly_ = true;
    QList<QWidget*> fields;
    for (QWidget* w : fieldsArea()->findChildren<QWidget*>()) fields << w;
    showReadOnly(this, fields);
    ui_.Command4->setEnabled(false);
    ui_.Command2->setEnabled(false);
  }
  adjustSize();
  centre();
  fillList();
  ZEL1.ManagerChanged = false;
}

void ManagerDialog::watch(QLineEdit* field) {
  connect(field, &QLineEdit::textChanged, this, [] { ZEL1.ManagerChanged = true; });
}

void ManagerDialog::watch(QPlainTextEdit* field) {
  connect(field, &QPlainTextEdit::textChanged, this, [] { ZEL1.ManagerChanged = true; });
}

void ManagerDialog::centre() {
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect g = s->geometry();
  move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
}

int ManagerDialog::selectedIndex() const {
  QListWidgetItem* item = ui_.List1->currentItem();
  return item && item->isSelected() ? ui_.List1->row(item) : -1;
}

void ManagerDialog::selectId(qint64 id) {
  for (int i = 0; i < ui_.List1->count(); ++i) {
    if (ui_.List1->item(i)->data(Qt::UserRole).toLongLong() == id) {
      ui_.List1->setCurrentRow(i);
      return;
    }
  }
}

void ManagerDialog::fillList() {
  ui_.List1->clear();
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(table_.listSql);
    for (; !rs.eof(); rs.moveNext()) {
      auto* item = new QListWidgetItem(rs.field(table_.listColumn).toString(), ui_.List1);
      item->setData(Qt::UserRole, rs.field(table_.idColumn).toInt());
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
}

bool ManagerDialog::askSaveFirst() {
  if (!ZEL1.ManagerChanged || readOnly_) return true;
  // Cancel (and Escape) stays with the edits; No alone lets them go.
  const MessageService::Answer answer = messages().questionWithCancel(kSaveFirst);
  if (answer == MessageService::Answer::Cancel) return false;
  if (answer != MessageService::Answer::Yes) return true;
  // A refused Save keeps the window as it is, so the edits are not lost behind the user's back.
  return save();
}

bool ManagerDialog::newEntry() {
  if (!askSaveFirst()) return false;
  clearFields();
  ui_.List1->setCurrentRow(-1);
  ui_.List1->clearSelection();
  firstField()->setFocus();
  ZEL1.ManagerChanged = false;
  return true;
}

void ManagerDialog::Command4Click() { newEntry(); }

bool ManagerDialog::Command2Click() { return save(); }

QString ManagerDialog::tableName() const {
  return table_.idColumn.compare(QLatin1String("LotID"), Qt::CaseInsensitive) == 0
             ? QStringLiteral("lots")
             : QStringLiteral("cemetery");
}

bool ManagerDialog::save() {
  if (requiredEmpty()) {
    messages().information(table_.emptyMessage);
    return false;
  }
  const QString idText = idField()->text();
  const qint64 id = qint64(leadingNumber(idText));
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(table_.rowSql + QString::number(id), RecordSet::Cursor::Static);
    if (idText.isEmpty())
      rs.addNew();
    else if (version_)
      rs.expectVersion(*version_);
    writeFields(rs);
    History::saveRow(ZEL1.cnData, rs, tableName());
  } catch (const DbError& e) {
    showFailure(e);
    return false;
  }
  ZEL1.ManagerChanged = false;
  fillList();
  newEntry();
  return true;
}

void ManagerDialog::List1DblClick() {
  const int index = selectedIndex();
  if (index < 0) return;
  // Saving refills the list; the entry double-clicked is found again by its id.
  const qint64 id = ui_.List1->item(index)->data(Qt::UserRole).toLongLong();
  if (!askSaveFirst()) return;
  selectId(id);
  openEntry(id);
}

void ManagerDialog::openEntry(qint64 id) {
  idField()->setText(QString::number(id));
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(table_.rowSql + idField()->text(), RecordSet::Cursor::Static);
    version_.reset();
    if (rs.eof()) {
      // Gone since the list was filled.
      clearFields();
      fillList();
    } else {
      readFields(rs);
      version_ = rs.version();
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
  firstField()->setFocus();
  ZEL1.ManagerChanged = false;
}

bool ManagerDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_.List1->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::RightButton) {
      List1MouseDown(me->button());
      return true;  // the entry acted on is the one already selected
    }
  }
  return QDialog::eventFilter(watched, event);
}

void ManagerDialog::List1MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton || selectedIndex() < 0 || readOnly_) return;
  deleteEntry();
}

void ManagerDialog::deleteEntry() {
  QListWidgetItem* item = ui_.List1->item(selectedIndex());
  const qint64 id = item->data(Qt::UserRole).toLongLong();
  const QString name = item->text();
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(table_.inUseSql + QString::number(id));
    if (!rs.eof()) {
      messages().information(table_.inUseMessage);
    } else if (messages().question(table_.deleteQuestion + QStringLiteral("\n\n") + name, true) ==
               MessageService::Answer::Yes) {
      rs.close();
      History::removeRow(ZEL1.cnData, tableName(), id);
      QApplication::processEvents();
      fillList();
      // Edits of the entry just deleted have nowhere to go.
      if (idField()->text() == QString::number(id)) ZEL1.ManagerChanged = false;
      newEntry();
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
}

void ManagerDialog::cmdHistoryClick() {
  qint64 id = idField()->text().toLongLong();
  QString name;
  if (id > 0) {
    for (int i = 0; i < ui_.List1->count(); ++i)
      if (ui_.List1->item(i)->data(Qt::UserRole).toLongLong() == id) name = ui_.List1->item(i)->text();
  } else if (const int i = selectedIndex(); i >= 0) {
    id = ui_.List1->item(i)->data(Qt::UserRole).toLongLong();
    name = ui_.List1->item(i)->text();
  }
  const QString title = id > 0 ? QStringLiteral("History of ") + (name.isEmpty() ? QString::number(id) : name)
                               : table_.historyTitle;
  frmHistory::showEntries(title, HistoryText::lines(History::ofTable(ZEL1.cnData, table_.historyTable, id)),
                          this);
}

void ManagerDialog::Command3Click() { messages().showHelp(table_.helpTopic); }

void ManagerDialog::Command1Click() { reject(); }

void ManagerDialog::reject() {
  if (closing_) return;
  // Every way of closing asks about unsaved edits, not only the Close button.
  if (!askSaveFirst()) return;
  closing_ = true;
  QDialog::reject();
  closing_ = false;
}
