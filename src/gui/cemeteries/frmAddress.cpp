#include "gui/cemeteries/frmAddress.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "gui/cemeteries/ManagerDialog.h"
#include "gui/controls/MessageService.h"
#include "ui_frmAddress.h"

frmAddress::frmAddress(const OwnerAddress& address, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmAddress>()) {
  ui_->setupUi(this);
  txtAddr1 = ui_->txtAddr1;
  txtAddr2 = ui_->txtAddr2;
  txtCity = ui_->txtCity;
  txtState = ui_->txtState;
  txtZipCode = ui_->txtZipCode;
  txtPhone = ui_->txtPhone;
  Command1 = ui_->Command1;
  Command2 = ui_->Command2;
  // Wide enough for their texts in the window's own font.
  const QFontMetrics fm = fontMetrics();
  txtState->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("MMMM")) + 12);
  txtZipCode->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("00000-00000")) + 12);

  // Load: copy the record form's texts in. A longer stored text is shown whole, not cut to the
  // typing limit, so Save never shortens it.
  setFieldText(txtAddr1, address.addr1, 50);
  setFieldText(txtAddr2, address.addr2, 50);
  setFieldText(txtCity, address.city, 20);
  setFieldText(txtState, address.state, 2);
  setFieldText(txtZipCode, address.zipCode, 10);
  setFieldText(txtPhone, address.phone, 50);

  adjustSize();
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) {
    const QRect g = s->geometry();
    move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
  }

  connect(Command1, &QPushButton::clicked, this, [this] { Command1Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2Click(); });
  addHelpKey(this, 4);
}

frmAddress::~frmAddress() = default;

OwnerAddress frmAddress::address() const {
  return {txtAddr1->text(), txtAddr2->text(),   txtCity->text(),
          txtState->text(), txtZipCode->text(), txtPhone->text()};
}

void frmAddress::Command1Click() { accept(); }

void frmAddress::Command2Click() { reject(); }

std::optional<OwnerAddress> frmAddress::edit(const OwnerAddress& address, QWidget* parent) {
  frmAddress dlg(address, parent);
  if (messages().execModal(dlg) != QDialog::Accepted) return std::nullopt;
  return dlg.address();
}
