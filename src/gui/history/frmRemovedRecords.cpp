#include "gui/history/frmRemovedRecords.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/program/Zel1.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/ReadOnly.h"
#include "gui/history/HistoryText.h"
#include "gui/history/frmHistory.h"

frmRemovedRecords::frmRemovedRecords(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmRemovedRecords"));
  setWindowTitle(QStringLiteral("Removed records"));
  auto* layout = new QVBoxLayout(this);

  auto* findRow = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("&Find place or name:"), this);
  txtFind = new QLineEdit(this);
  txtFind->setObjectName(QStringLiteral("txtFind"));
  txtFind->setClearButtonEnabled(true);
  label->setBuddy(txtFind);
  findRow->addWidget(label);
  findRow->addWidget(txtFind, 1);
  layout->addLayout(findRow);

  auto* split = new QSplitter(Qt::Vertical, this);
  List1 = new QTableWidget(0, 5, split);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setHorizontalHeaderLabels({QStringLiteral("Removed"), QStringLiteral("By"),
                                    QStringLiteral("Record #"), QStringLiteral("Place"),
                                    QStringLiteral("Name")});
  HistoryText::setUpEntryList(List1);
  txtContents = new QPlainTextEdit(split);
  txtContents->setObjectName(QStringLiteral("txtContents"));
  txtContents->setReadOnly(true);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  layout->addWidget(split, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  Command1 = new QPushButton(QStringLiteral("&Put Back as a New Record"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setAutoDefault(false);
  Command2 = new QPushButton(QStringLiteral("Close"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setAutoDefault(false);
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  layout->addLayout(buttons);
  // Removed records can be read; putting one back is a change.
  readOnly_ = !readOnlyReason().isEmpty();
  if (readOnly_) showReadOnly(this, {});

  connectCommand(txtFind, &QLineEdit::textChanged, this, [this] { txtFindChange(); });
  connect(List1, &QTableWidget::itemSelectionChanged, this, [this] { showContents(); });
  connectCommand(Command1, &QPushButton::clicked, this, [this] { Command1Click(); });
  connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
  addHelpKey(this, 3);

  resize(760, 520);
  centreOnScreen(this);
  fill();
  txtFind->setFocus();
}

void frmRemovedRecords::txtFindChange() { fill(); }

void frmRemovedRecords::fill() {
  removed_.clear();
  List1->setRowCount(0);
  try {
    removed_ = History::removedRecords(ZEL1.cnData, txtFind->text().trimmed());
  } catch (const std::exception& e) {
    showFailure(e);
  }
  List1->setRowCount(int(removed_.size()));
  for (int r = 0; r < int(removed_.size()); ++r) {
    const History::Removed& x = removed_[size_t(r)];
    const QString texts[] = {HistoryText::localTime(x.entry.time), x.entry.user,
                             QString::number(x.entry.recordId), x.place(), x.name()};
    for (int c = 0; c < 5; ++c) List1->setItem(r, c, new QTableWidgetItem(texts[c]));
  }
  List1->resizeColumnsToContents();
  if (!removed_.empty()) List1->selectRow(0);
  showContents();
}

const History::Removed* frmRemovedRecords::selected() const {
  const auto rows = List1->selectionModel()->selectedRows();
  if (rows.isEmpty() || rows.first().row() >= int(removed_.size())) return nullptr;
  return &removed_[size_t(rows.first().row())];
}

void frmRemovedRecords::showContents() {
  const History::Removed* x = selected();
  Command1->setEnabled(x != nullptr && !readOnly_);
  txtContents->setPlainText(x ? HistoryText::contentsText(QStringLiteral("zel"), x->contents) : QString());
}

void frmRemovedRecords::Command1Click() {
  const History::Removed* x = selected();
  if (!x) return;
  try {
    putBack_ = History::putBack(ZEL1.cnData, x->entry.id, x->entry.recordId);
  } catch (const std::exception& e) {
    // A place taken since, or a cemetery or lot type gone: the window stays for another choice.
    showFailure(e);
    return;
  }
  accept();
}

qint64 frmRemovedRecords::choose(QWidget* parent) {
  frmRemovedRecords dlg(parent);
  return messages().execModal(dlg) == QDialog::Accepted ? dlg.putBackRecord() : 0;
}
