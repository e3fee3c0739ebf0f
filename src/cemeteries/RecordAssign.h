#pragma once

#include <QString>
#include <optional>

#include "cemeteries/frmAddress.h"
#include "store/Money.h"

class QComboBox;
class QWidget;

// What the record form does with its cemetery and lot type lists, its two "Modify" buttons, its
// "Address" button and the cemetery choice of its map command. The form passes its own controls.
namespace cemeteries {

// Every cemetery in name order: text Name, item data cemeteryid. Nothing is selected afterwards.
void fillCemeteryList(QComboBox* list);
// Both cemetery lists of the record form (txtCemetery and Combo1) from one reading.
void fillCemeteryLists(QComboBox* txtCemetery, QComboBox* Combo1);
// Every lot type in description order: text "lotdesc, lotsize" (both trimmed), item data lotid.
void fillLotTypeList(QComboBox* txtLotInfo);

// The price of a lot type; nothing when no such lot type exists. A lot type without a price
// gives 0.
std::optional<Money> lotPrice(qint64 lotId);

// txtCemetery click: the record is changed.
void txtCemeteryClick();
// txtLotInfo click: the record is changed; returns the price to put into txtPurchPrice, or nothing
// when no entry is selected or its lot type is gone (the purchase price then stays as it is).
std::optional<Money> txtLotInfoClick(QComboBox* txtLotInfo);

// Command1 ("Modify" beside the cemetery list): the cemetery manager, then both lists rebuilt.
void Command1Click(QComboBox* txtCemetery, QComboBox* Combo1, QWidget* parent = nullptr);
// Command2 ("Modify" beside the lot type list): the lot type manager, then the list rebuilt.
void Command2Click(QComboBox* txtLotInfo, QWidget* parent = nullptr);
// Command3 ("Address"): the owner address dialog on the form's six texts. Returns true when Save
// changed them; the record is then marked changed so the edit is not lost by moving away.
bool Command3Click(OwnerAddress& address, QWidget* parent = nullptr);

// The cemetery whose map the record form's map command shows: none existing gives the message
// and false; exactly one is taken without asking; otherwise the chooser decides. True when
// ZEL1.CurrentCemeteryId names a cemetery afterwards.
bool settleMapCemetery(QWidget* parent = nullptr);

}  // namespace cemeteries
