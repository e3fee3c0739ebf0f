#pragma once

#include <QString>
#include <optional>

#include "core/store/Money.h"
#include "gui/cemeteries/frmAddress.h"

class QComboBox;
class QWidget;

// What the record form does with its cemetery and lot type lists, its two "Modify" buttons, its
// "Address" button and the cemetery choice of its map command. The form passes its own controls.
namespace cemeteries {

// Both cemetery lists of the record form (txtCemetery and Combo1) from one reading: every cemetery
// in name order, text Name, item data cemeteryid. Nothing is selected afterwards.
void fillCemeteryLists(QComboBox* txtCemetery, QComboBox* Combo1);
// Every lot type in description order: text "lotdesc, lotsize" (both trimmed), item data lotid.
void fillLotTypeList(QComboBox* txtLotInfo);

// The price of a lot type; nothing when no such lot type exists or it has no price stored.
std::optional<Money> lotPrice(qint64 lotId);

// txtLotInfo click: the record is changed; returns the price to put into txtPurchPrice, or nothing
// when no entry is selected, its lot type is gone or has no price (the purchase price then stays).
std::optional<Money> txtLotInfoClick(QComboBox* txtLotInfo);

// The cemetery manager and the lot type manager, modal; the caller rebuilds its lists afterwards.
void openCemeteryManager(QWidget* parent = nullptr);
void openLotManager(QWidget* parent = nullptr);
// Command3 ("Address"): the owner address dialog on the form's six texts. Returns true when Save
// changed them; the record is then marked changed so the edit is not lost by moving away. recid is
// the stored record (0 for a new one); erased tells when the dialog erased its stored values.
bool Command3Click(OwnerAddress& address, QWidget* parent = nullptr, qint64 recid = 0,
                   bool* erased = nullptr);

// The cemetery whose map the record form's map command shows (settleCemetery with the record
// form's message and the chooser over parent). True when ZEL1.CurrentCemeteryId names a cemetery
// afterwards.
bool settleMapCemetery(QWidget* parent = nullptr);

}  // namespace cemeteries
