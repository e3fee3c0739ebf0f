#include "gui/cemeteries/frmAddress.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "gui/cemeteries/ManagerDialog.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"

frmAddress::frmAddress(const OwnerAddress& address, QWidget* parent) : QDialog(parent) {
  ui_.setupUi(this);
  fitAddressWidths(fontMetrics(), ui_.txtState, ui_.txtZipCode);

  // Load: copy the record form's texts in. A longer stored text is shown whole, not cut to the
  // typing limit, so Save never shortens it.
  setFieldText(ui_.txtAddr1, address.addr1, 50);
  setFieldText(ui_.txtAddr2, address.addr2, 50);
  setFieldText(ui_.txtCity, address.city, 20);
  setFieldText(ui_.txtState, address.state, 2);
  setFieldText(ui_.txtZipCode, address.zipCode, 10);
  setFieldText(ui_.txtPhone, address.phone, 50);

  setMinimumWidth(460);
  adjustSize();
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) {
    const QRect g = s->geometry();
    move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
  }

  connectCommand(ui_.Command1, &QPushButton::clicked, this, [this] { Command1Click(); });
  connectCommand(ui_.Command2, &QPushButton::clicked, this, [this] { Command2Click(); });
  addHelpKey(this, 4);
}

OwnerAddress frmAddress::address() const {
  return {ui_.txtAddr1->text(), ui_.txtAddr2->text(),   ui_.txtCity->text(),
          ui_.txtState->text(), ui_.txtZipCode->text(), ui_.txtPhone->text()};
}

void frmAddress::Command1Click() { accept(); }

void frmAddress::Command2Click() { reject(); }

std::optional<OwnerAddress> frmAddress::edit(const OwnerAddress& address, QWidget* parent) {
  frmAddress dlg(address, parent);
  if (messages().execModal(dlg) != QDialog::Accepted) return std::nullopt;
  return dlg.address();
}
