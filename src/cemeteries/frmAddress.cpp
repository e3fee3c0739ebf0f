#include "cemeteries/frmAddress.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "cemeteries/ManagerDialog.h"
#include "controls/MessageService.h"

frmAddress::frmAddress(const OwnerAddress& address, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAddress"));
  setWindowTitle(QStringLiteral("Owner Address Information"));

  auto line = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QLatin1String(name));
    return e;
  };
  txtAddr1 = line("txtAddr1");
  txtAddr2 = line("txtAddr2");
  txtCity = line("txtCity");
  txtState = line("txtState");
  txtZipCode = line("txtZipCode");
  txtPhone = line("txtPhone");
  txtState->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("MMMM")) + 12);
  txtZipCode->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000-00000")) + 12);

  Command1 = new QPushButton(QStringLiteral("Sa&ve"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2 = new QPushButton(QStringLiteral("Close"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command1->setAutoDefault(false);
  Command2->setAutoDefault(false);

  auto* grid = new QGridLayout;
  auto label = [this](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, this);
    l->setBuddy(buddy);
    return l;
  };
  grid->addWidget(label(QStringLiteral("Address 1"), txtAddr1), 0, 0);
  grid->addWidget(txtAddr1, 0, 1, 1, 3);
  grid->addWidget(label(QStringLiteral("Address 2"), txtAddr2), 1, 0);
  grid->addWidget(txtAddr2, 1, 1, 1, 3);
  grid->addWidget(label(QStringLiteral("City/State/Zip"), txtCity), 2, 0);
  grid->addWidget(txtCity, 2, 1);
  grid->addWidget(txtState, 2, 2);
  grid->addWidget(txtZipCode, 2, 3);
  grid->addWidget(label(QStringLiteral("Phone"), txtPhone), 3, 0);
  grid->addWidget(txtPhone, 3, 1, 1, 3);
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

  connect(Command1, &QPushButton::clicked, this, [this] { Command1Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2Click(); });
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
