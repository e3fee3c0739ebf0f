#include "gui/cemeteries/ManagerDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/program/Zel1.h"
#include "core/store/RecordSet.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"

namespace {

const QString kSaveFirst = QStringLiteral("Do you want to save your changes first?");

}  // namespace

void setFieldText(QLineEdit* field, const QString& text, int limit) {
  field->setMaxLength(std::max(limit, int(text.size())));
  field->setText(text);
}

AddressFields makeAddressFields(QWidget* parent, int cityLimit) {
  auto line = [parent](const char* name, int limit) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(limit);
    return e;
  };
  AddressFields f{line("txtAddr1", 50), line("txtAddr2", 50),   line("txtCity", cityLimit),
                  line("txtState", 2),  line("txtZipCode", 10), line("txtPhone", 50)};
  const QFontMetrics fm = parent->fontMetrics();
  f.state->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("MMMM")) + 12);
  f.zipCode->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("00000-00000")) + 12);
  return f;
}

int addAddressRows(QGridLayout* grid, int row, const AddressFields& f) {
  auto label = [](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, buddy->parentWidget());
    l->setBuddy(buddy);
    return l;
  };
  grid->addWidget(label(QStringLiteral("Address 1"), f.addr1), row, 0);
  grid->addWidget(f.addr1, row++, 1, 1, 3);
  grid->addWidget(label(QStringLiteral("Address 2"), f.addr2), row, 0);
  grid->addWidget(f.addr2, row++, 1, 1, 3);
  grid->addWidget(label(QStringLiteral("City/State/Zip"), f.city), row, 0);
  grid->addWidget(f.city, row, 1);
  grid->addWidget(f.state, row, 2);
  grid->addWidget(f.zipCode, row++, 3);
  grid->addWidget(label(QStringLiteral("Phone"), f.phone), row, 0);
  grid->addWidget(f.phone, row++, 1, 1, 3);
  return row;
}

void makeIdField(QLineEdit* field) {
  field->setReadOnly(true);
  field->setFocusPolicy(Qt::NoFocus);
  QPalette p = field->palette();
  p.setColor(QPalette::Base, p.color(QPalette::Window));
  field->setPalette(p);
}

ManagerDialog::ManagerDialog(const Table& table, QWidget* parent) : QDialog(parent), table_(table) {
  setObjectName(table.objectName);
  setWindowTitle(table.caption);

  List1 = new QListWidget(this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->viewport()->installEventFilter(this);
  lblHint = new QLabel(QStringLiteral("Double-click to Modify"), this);
  lblHint->setObjectName(QStringLiteral("lblHint"));

  auto makeButton = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  Command4 = makeButton("Command4", QStringLiteral("&New"));
  Command2 = makeButton("Command2", QStringLiteral("Sa&ve"));
  Command3 = makeButton("Command3", QStringLiteral("&Help"));
  Command1 = makeButton("Command1", QStringLiteral("Close"));

  connectCommand(Command4, &QPushButton::clicked, this, [this] { Command4Click(); });
  connectCommand(Command2, &QPushButton::clicked, this, [this] { Command2Click(); });
  connectCommand(Command3, &QPushButton::clicked, this, [this] { Command3Click(); });
  addHelpKey(this, table_.helpTopic);
  connectCommand(Command1, &QPushButton::clicked, this, [this] { Command1Click(); });
  connectCommand(List1, &QListWidget::itemDoubleClicked, this, [this] { List1DblClick(); });
}

void ManagerDialog::finishLayout(QGridLayout* fields) {
  auto* listBox = new QVBoxLayout;
  listBox->addWidget(lblHint);
  listBox->addWidget(List1, 1);

  auto* top = new QHBoxLayout;
  top->addLayout(fields, 3);
  top->addLayout(listBox, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {Command4, Command2, Command3, Command1}) buttons->addWidget(b);

  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top, 1);
  outer->addLayout(buttons);

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
  QListWidgetItem* item = List1->currentItem();
  return item && item->isSelected() ? List1->row(item) : -1;
}

void ManagerDialog::selectId(qint64 id) {
  for (int i = 0; i < List1->count(); ++i) {
    if (List1->item(i)->data(Qt::UserRole).toLongLong() == id) {
      List1->setCurrentRow(i);
      return;
    }
  }
}

void ManagerDialog::fillList() {
  List1->clear();
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(table_.listSql);
    for (; !rs.eof(); rs.moveNext()) {
      auto* item = new QListWidgetItem(rs.field(table_.listColumn).toString(), List1);
      item->setData(Qt::UserRole, rs.field(table_.idColumn).toInt());
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
}

bool ManagerDialog::askSaveFirst() {
  if (!ZEL1.ManagerChanged) return true;
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
  List1->setCurrentRow(-1);
  List1->clearSelection();
  firstField()->setFocus();
  ZEL1.ManagerChanged = false;
  return true;
}

void ManagerDialog::Command4Click() { newEntry(); }

bool ManagerDialog::Command2Click() { return save(); }

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
    if (idText.isEmpty()) rs.addNew();
    writeFields(rs);
    rs.update();
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
  const qint64 id = List1->item(index)->data(Qt::UserRole).toLongLong();
  if (!askSaveFirst()) return;
  selectId(id);
  openEntry(id);
}

void ManagerDialog::openEntry(qint64 id) {
  idField()->setText(QString::number(id));
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(table_.rowSql + idField()->text(), RecordSet::Cursor::Static);
    if (rs.eof()) {
      // Gone since the list was filled.
      clearFields();
      fillList();
    } else {
      readFields(rs);
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
  firstField()->setFocus();
  ZEL1.ManagerChanged = false;
}

bool ManagerDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == List1->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::RightButton) {
      List1MouseDown(me->button());
      return true;  // the entry acted on is the one already selected
    }
  }
  return QDialog::eventFilter(watched, event);
}

void ManagerDialog::List1MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton || selectedIndex() < 0) return;
  deleteEntry();
}

void ManagerDialog::deleteEntry() {
  QListWidgetItem* item = List1->item(selectedIndex());
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
      ZEL1.cnData.execute(table_.deleteSql + QString::number(id));
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
