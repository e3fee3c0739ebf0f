#include "gui/cemeteries/frmCemeterySelect.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>

#include "core/program/Zel1.h"
#include "core/store/DbError.h"
#include "core/store/RecordSet.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "ui_frmCemeterySelect.h"

frmCemeterySelect::frmCemeterySelect(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmCemeterySelect>()) {
  ui_->setupUi(this);
  Label1 = ui_->Label1;
  List1 = ui_->List1;
  Buttons = ui_->Buttons;
  ZEL1.CurrentCemeteryId = 0;
  addHelpKey(this, 6);

  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) {
    const QRect g = s->geometry();
    move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
  }

  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(QStringLiteral("select * from cemetery order by name collate names"));
    for (; !rs.eof(); rs.moveNext()) {
      auto* item = new QListWidgetItem(rs.field(QStringLiteral("Name")).toString(), List1);
      item->setData(Qt::UserRole, rs.field(QStringLiteral("cemeteryid")).toInt());
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
  // The first entry is current, so that Enter alone chooses it.
  if (List1->count() > 0) List1->setCurrentRow(0);
  List1->setFocus();

  connectCommand(List1, &QListWidget::itemDoubleClicked, this, [this] { List1DblClick(); });
  connectCommand(Buttons, &QDialogButtonBox::accepted, this, [this] { List1DblClick(); });
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

frmCemeterySelect::~frmCemeterySelect() = default;

void frmCemeterySelect::List1DblClick() {
  QListWidgetItem* item = List1->currentItem();
  if (!item) return;
  ZEL1.CurrentCemeteryId = qint32(item->data(Qt::UserRole).toLongLong());
  ZEL1.CurrentCemeteryName = item->text();
  accept();
}

bool frmCemeterySelect::choose(QWidget* parent) {
  frmCemeterySelect dlg(parent);
  if (dlg.List1->count() == 0) {
    messages().information(QString::fromLatin1(kNothingToChoose));
    return false;
  }
  messages().execModal(dlg);
  return ZEL1.CurrentCemeteryId > 0;
}

bool settleCemetery(const QString& noneMessage, const std::function<bool()>& choose) {
  ZEL1.CurrentCemeteryId = 0;
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(QStringLiteral("select count(*) as cnt from cemetery"));
    const qint64 count = rs.field(QStringLiteral("cnt")).toInt();
    rs.close();
    if (count == 0) {
      messages().information(noneMessage);
      return false;
    }
    if (count == 1) {
      rs.open(QStringLiteral("select * from cemetery"));
      ZEL1.CurrentCemeteryId = qint32(rs.field(QStringLiteral("cemeteryid")).toInt());
      rs.close();
      return ZEL1.CurrentCemeteryId > 0;
    }
  } catch (const DbError& e) {
    showFailure(e);
    return false;
  }
  return choose ? choose() : frmCemeterySelect::choose();
}

std::optional<QString> cemeteryName(qint32 cemeteryId) {
  RecordSet rs(&ZEL1.cnData);
  rs.open(QStringLiteral("select * from cemetery where cemeteryid=") + QString::number(cemeteryId));
  std::optional<QString> name;
  if (!rs.eof()) name = rs.field(QStringLiteral("Name")).toString();
  return name;
}
