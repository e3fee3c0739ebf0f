#include "gui/cemeteries/RecordAssign.h"

#include <QComboBox>

#include "core/program/Zel1.h"
#include "core/store/RecordSet.h"
#include "gui/cemeteries/frmCemeteryMgr.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/cemeteries/frmLotMgr.h"
#include "gui/controls/MessageService.h"

namespace cemeteries {

namespace {

void fillCemeteries(std::initializer_list<QComboBox*> lists) {
  for (QComboBox* l : lists) l->clear();
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(QStringLiteral("select * from cemetery order by name"));
    for (; !rs.eof(); rs.moveNext()) {
      const QString name = rs.field(QStringLiteral("Name")).toString();
      const qint32 id = qint32(rs.field(QStringLiteral("cemeteryid")).toInt());
      for (QComboBox* l : lists) l->addItem(name, id);
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
  for (QComboBox* l : lists) l->setCurrentIndex(-1);
}

}  // namespace

void fillCemeteryLists(QComboBox* txtCemetery, QComboBox* Combo1) { fillCemeteries({txtCemetery, Combo1}); }

void fillLotTypeList(QComboBox* txtLotInfo) {
  txtLotInfo->clear();
  RecordSet rs(&ZEL1.cnData);
  try {
    rs.open(QStringLiteral("select * from lots order by lotdesc"));
    for (; !rs.eof(); rs.moveNext()) {
      const QString text = rs.field(QStringLiteral("lotdesc")).toString().trimmed() + QStringLiteral(", ") +
                           rs.field(QStringLiteral("lotsize")).toString().trimmed();
      txtLotInfo->addItem(text, qint32(rs.field(QStringLiteral("lotid")).toInt()));
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
  txtLotInfo->setCurrentIndex(-1);
}

std::optional<Money> lotPrice(qint64 lotId) {
  RecordSet rs(&ZEL1.cnData);
  std::optional<Money> price;
  try {
    rs.open(QStringLiteral("select * from lots where lotid=") + QString::number(lotId));
    if (!rs.eof()) {
      const Value v = rs.field(QStringLiteral("lotprice"));
      if (!v.isNull()) price = v.toMoney();
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
  return price;
}

std::optional<Money> txtLotInfoClick(QComboBox* txtLotInfo) {
  ZEL1.RecordChanged = true;
  if (txtLotInfo->currentIndex() < 0) return std::nullopt;
  return lotPrice(txtLotInfo->currentData().toLongLong());
}

void openCemeteryManager(QWidget* parent) {
  frmCemeteryMgr mgr(parent);
  messages().execModal(mgr);
}

void openLotManager(QWidget* parent) {
  frmLotMgr mgr(parent);
  messages().execModal(mgr);
}

bool Command3Click(OwnerAddress& address, QWidget* parent, qint64 recid, bool* erased) {
  std::optional<OwnerAddress> edited = frmAddress::edit(address, parent, recid, erased);
  if (!edited || *edited == address) return false;
  address = *edited;
  ZEL1.RecordChanged = true;
  return true;
}

bool settleMapCemetery(QWidget* parent) {
  return settleCemetery(
      QStringLiteral("No cemeteries exist. You must first create cemeteries and them build a map for it "
                     "in order to use this feature."),
      [parent] { return frmCemeterySelect::choose(parent); });
}

}  // namespace cemeteries
