#include "gui/history/frmHistory.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/controls/MessageService.h"
#include "gui/history/HistoryText.h"

void centreOnScreen(QWidget* dialog) {
  QScreen* s = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect g = s->availableGeometry();
  // Room for a window manager's frame around it.
  dialog->resize(std::min(dialog->width(), g.width() - 40), std::min(dialog->height(), g.height() - 60));
  dialog->move(g.x() + (g.width() - dialog->width()) / 2, g.y() + (g.height() - dialog->height()) / 2);
}

frmHistory::frmHistory(const QString& title, const std::vector<HistoryLine>& lines, QWidget* parent)
    : QDialog(parent), lines_(lines) {
  setObjectName(QStringLiteral("frmHistory"));
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);

  lblCount = new QLabel(this);
  lblCount->setObjectName(QStringLiteral("lblCount"));
  lblCount->setText(lines.empty() ? QStringLiteral("No changes are recorded.")
                                  : QStringLiteral("%1 entries, newest first.").arg(lines.size()));
  layout->addWidget(lblCount);

  List1 = new QTableWidget(int(lines.size()), 6, this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setHorizontalHeaderLabels({QStringLiteral("When"), QStringLiteral("User"),
                                    QStringLiteral("Computer"), QStringLiteral("Field"),
                                    QStringLiteral("Old Value"), QStringLiteral("New Value")});
  HistoryText::setUpEntryList(List1);
  for (int r = 0; r < int(lines.size()); ++r) {
    const HistoryLine& l = lines[size_t(r)];
    const QString texts[] = {l.when, l.user, l.computer, l.what, l.oldValue, l.newValue};
    for (int c = 0; c < 6; ++c) {
      auto* item = new QTableWidgetItem(QString(texts[c]).replace(u'\n', u' '));
      item->setToolTip(texts[c]);
      List1->setItem(r, c, item);
    }
  }
  List1->resizeColumnsToContents();
  // A long value does not push the others out of sight: the pane below shows it whole.
  for (int c = 3; c < 6; ++c) List1->setColumnWidth(c, std::min(List1->columnWidth(c), 220));
  layout->addWidget(List1, 1);

  txtDetail = new QPlainTextEdit(this);
  txtDetail->setObjectName(QStringLiteral("txtDetail"));
  txtDetail->setReadOnly(true);
  txtDetail->setMaximumHeight(fontMetrics().lineSpacing() * 9);
  layout->addWidget(txtDetail);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  Command1 = new QPushButton(QStringLiteral("Close"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  buttons->addWidget(Command1);
  layout->addLayout(buttons);

  connect(Command1, &QPushButton::clicked, this, &QDialog::reject);
  connect(List1, &QTableWidget::itemSelectionChanged, this, [this] { showDetail(); });
  if (!lines.empty()) List1->selectRow(0);
  addHelpKey(this, 3);

  resize(760, 480);
  centreOnScreen(this);
}

void frmHistory::showDetail() {
  const int row = List1->currentRow();
  if (row < 0 || row >= int(lines_.size())) return txtDetail->clear();
  const HistoryLine& l = lines_[size_t(row)];
  QString text = l.when + QStringLiteral(", ") + l.user + QStringLiteral(" on ") + l.computer +
                 QStringLiteral(": ") + l.what;
  if (!l.oldValue.isEmpty()) text += QStringLiteral("\nWas: ") + l.oldValue;
  if (!l.newValue.isEmpty()) text += QStringLiteral("\nNow: ") + l.newValue;
  txtDetail->setPlainText(text);
}

void frmHistory::showEntries(const QString& title, const std::vector<HistoryLine>& lines, QWidget* parent) {
  frmHistory dlg(title, lines, parent);
  messages().execModal(dlg);
}
