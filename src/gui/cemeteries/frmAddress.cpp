#include "gui/cemeteries/frmAddress.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/cemeteries/ManagerDialog.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"

frmAddress::frmAddress(const OwnerAddress& address, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAddress"));
  setWindowTitle(QStringLiteral("Owner Address Information"));

  const AddressFields f = makeAddressFields(this, 20);
  txtAddr1 = f.addr1;
  txtAddr2 = f.addr2;
  txtCity = f.city;
  txtState = f.state;
  txtZipCode = f.zipCode;
  txtPhone = f.phone;

  Command1 = new QPushButton(QStringLiteral("Sa&ve"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2 = new QPushButton(QStringLiteral("Close"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command1->setAutoDefault(false);
  Command2->setAutoDefault(false);

  auto* grid = new QGridLayout;
  addAddressRows(grid, 0, f);
  grid->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(grid);
  outer->addStretch(1);
  outer->addLayout(buttons);

  // Load: copy the record form's texts in. A longer stored text is shown whole, not cut to the
  // typing limit, so Save never shortens it.
  setFieldText(txtAddr1, address.addr1, 50);
  setFieldText(txtAddr2, address.addr2, 50);
  setFieldText(txtCity, address.city, 20);
  setFieldText(txtState, address.state, 2);
  setFieldText(txtZipCode, address.zipCode, 10);
  setFieldText(txtPhone, address.phone, 50);

  setMinimumWidth(460);
  adjustSize();
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) {
    const QRect g = s->geometry();
    move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
  }

  connectCommand(Command1, &QPushButton::clicked, this, [this] { Command1Click(); });
  connectCommand(Command2, &QPushButton::clicked, this, [this] { Command2Click(); });
  addHelpKey(this, 4);
}

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
