#include "gui/cemeteries/frmAddress.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "core/history/History.h"
#include "core/program/Zel1.h"
#include "gui/cemeteries/ManagerDialog.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/ReadOnly.h"

frmAddress::frmAddress(const OwnerAddress& address, QWidget* parent, qint64 recid)
    : QDialog(parent), recid_(recid) {
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
  connectCommand(ui_.cmdErase, &QPushButton::clicked, this, [this] { cmdEraseClick(); });
  ui_.cmdErase->setEnabled(recid_ > 0);
  if (!readOnlyReason().isEmpty()) {
    showReadOnly(this, {ui_.txtAddr1, ui_.txtAddr2, ui_.txtCity, ui_.txtState, ui_.txtZipCode, ui_.txtPhone});
    ui_.Command1->setEnabled(false);
    ui_.cmdErase->setEnabled(false);
  }
  addHelpKey(this, 4);
}

OwnerAddress frmAddress::address() const {
  return {ui_.txtAddr1->text(), ui_.txtAddr2->text(),   ui_.txtCity->text(),
          ui_.txtState->text(), ui_.txtZipCode->text(), ui_.txtPhone->text()};
}

void frmAddress::Command1Click() { accept(); }

void frmAddress::Command2Click() { reject(); }

void frmAddress::cmdEraseClick() {
  if (recid_ <= 0) return;
  if (messages().question(
          QStringLiteral("This replaces the purchaser's stored address and phone, in this record "
                         "and in all of its history, by a note of who erased them and "
                         "when. It cannot be undone.\n\nDo you want to erase them?"),
          true) != MessageService::Answer::Yes)
    return;
  History::eraseOwner(ZEL1.cnData, recid_);
  erased_ = true;
  reject();
}

std::optional<OwnerAddress> frmAddress::edit(const OwnerAddress& address, QWidget* parent, qint64 recid,
                                             bool* erased) {
  frmAddress dlg(address, parent, recid);
  const int result = messages().execModal(dlg);
  if (erased) *erased = dlg.erased();
  if (result != QDialog::Accepted) return std::nullopt;
  return dlg.address();
}
