// The record form on a server while another clerk changes the same record.

#include <QPushButton>
#include <QRadioButton>
#include <tuple>

#include "RecordFormFixture.h"
#include "core/store/Connection.h"
#include "gui/backup/frmBackupRestore.h"
#include "gui/cemeteries/frmAddress.h"
#include "gui/maps/frmMapEdit.h"
#include "support/Engines.h"

namespace {

class ServerRecordForm : public RecordForm {
 protected:
  void SetUp() override {
    RecordForm::SetUp();
    database = openServerData();
    other.openServer(database);
    addCemetery(QStringLiteral("Oakwood"));
    addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
    open();
    placeNew(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    type(form->ui().txtInterredLastName, QStringLiteral("Smith"));
    form->mnuSaveClick();
    id = form->ui().txtRecordNum->text();
    ASSERT_FALSE(id.isEmpty());
  }
  void TearDown() override {
    other.close();
    RecordForm::TearDown();
  }
  QString stored(const char* columns) const {
    return scalar(QStringLiteral("select %1 from zel where recid=%2").arg(QLatin1String(columns), id));
  }
  void saveAnswering(MessageService::Answer answer) {
    msgs->expectQuestion(QStringLiteral("*"), answer);
    form->mnuSaveClick();
  }

  Connection other;
  QString database;
  QString id;
};

}  // namespace

TEST_F(ServerRecordForm, ASaveOverAnotherClerksChangeNamesItAndTheClerkCancelsSavesOverOrReloads) {
  other.execute(QStringLiteral("update zel set interlastname='Brown', remarks='theirs' where recid=") + id);
  type(form->ui().txtVault, QStringLiteral("V1"));
  saveAnswering(MessageService::Answer::Cancel);
  const QString asked = msgs->last();
  EXPECT_TRUE(asked.startsWith(QLatin1String("Another clerk changed this record since it was shown")))
      << asked.toStdString();
  EXPECT_TRUE(asked.contains(QLatin1String("Interred Last Name: \"Smith\", now \"Brown\"")))
      << asked.toStdString();
  EXPECT_TRUE(asked.contains(QLatin1String("Remarks: (empty), now \"theirs\""))) << asked.toStdString();
  EXPECT_FALSE(asked.contains(QLatin1String("Vault"))) << asked.toStdString();
  EXPECT_EQ(form->ui().txtVault->text(), QStringLiteral("V1"));
  EXPECT_TRUE(ZEL1.RecordChanged);
  EXPECT_EQ(stored("coalesce(vault, '')"), QString());

  // Save Over: the typed field goes over, the other clerk's fields stay and show.
  saveAnswering(MessageService::Answer::Yes);
  EXPECT_FALSE(ZEL1.RecordChanged);
  EXPECT_EQ(stored("vault || '/' || interlastname || '/' || remarks"), QStringLiteral("V1/Brown/theirs"));
  EXPECT_EQ(form->ui().txtInterredLastName->text(), QStringLiteral("Brown"));
  EXPECT_EQ(form->ui().txtRemarks->text(), QStringLiteral("theirs"));

  // Reload: the other clerk's values replace the typed ones.
  other.execute(QStringLiteral("update zel set vault='V2' where recid=") + id);
  type(form->ui().txtVault, QStringLiteral("V3"));
  saveAnswering(MessageService::Answer::No);
  EXPECT_EQ(form->ui().txtVault->text(), QStringLiteral("V2"));
  EXPECT_FALSE(ZEL1.RecordChanged);
  EXPECT_EQ(stored("vault"), QStringLiteral("V2"));
  // Saved again without anybody in between: no question.
  type(form->ui().txtVault, QStringLiteral("V4"));
  form->mnuSaveClick();
  EXPECT_EQ(stored("vault"), QStringLiteral("V4"));
}

TEST_F(ServerRecordForm, ARecordRemovedMeanwhileIsSavedOverAsANewRecord) {
  other.execute(QStringLiteral("delete from zel where recid=") + id);
  type(form->ui().txtRemarks, QStringLiteral("kept"));
  saveAnswering(MessageService::Answer::Yes);
  EXPECT_TRUE(msgs->log().back().text.startsWith(QLatin1String("Another clerk removed this record")));
  const QString now = form->ui().txtRecordNum->text();
  EXPECT_NE(now, id);
  EXPECT_EQ(scalar(QStringLiteral("select interlastname || '/' || remarks from zel where recid=") + now),
            QStringLiteral("Smith/kept"));
  EXPECT_FALSE(ZEL1.RecordChanged);
}

TEST_F(ServerRecordForm, ARemoveOfARecordChangedMeanwhileNamesTheChangesAndOneRemovedMeanwhileMovesOn) {
  const auto remove = [this](std::optional<MessageService::Answer> reload) {
    msgs->expectQuestion(QStringLiteral("*"), MessageService::Answer::Yes);  // sure?
    if (reload) msgs->expectQuestion(QStringLiteral("*"), *reload);
    form->mnuRemoveClick();
  };
  other.execute(QStringLiteral("update zel set remarks='theirs' where recid=") + id);
  remove(MessageService::Answer::No);
  EXPECT_EQ(msgs->last(), QStringLiteral("Another clerk changed this record since it was shown; it was not "
                                         "removed.\n\nRemarks: (empty), now \"theirs\"\n\nReload the record "
                                         "as it is stored now? You can remove it then."));
  EXPECT_EQ(stored("remarks"), QStringLiteral("theirs"));
  // Reloaded, the record as stored now is shown, and then it goes.
  remove(MessageService::Answer::Yes);
  EXPECT_EQ(form->ui().txtRemarks->text(), QStringLiteral("theirs"));
  remove(std::nullopt);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("0"));

  // Removed by the other clerk first: said once, and the form is empty for a new record.
  placeNew(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("1"));
  form->mnuSaveClick();
  other.execute(QStringLiteral("delete from zel"));
  msgs->expectQuestion(QStringLiteral("*"), MessageService::Answer::Yes);
  msgs->expectInfo(QStringLiteral("Another clerk removed this record already."));
  form->mnuRemoveClick();
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
}

TEST_F(ServerRecordForm, ARoleThatMayOnlyReadBrowsesEveryWindowButNoneOffersAChange) {
  exec(QStringLiteral(
      "do $$ begin if not exists (select from pg_roles where rolname = 'zel_reader') then create role "
      "zel_reader login; end if; end $$; grant select on all tables in schema public to zel_reader"));
  ZEL1.CurrentCemeteryId = qint32(scalar(QStringLiteral("select max(cemeteryid) from cemetery")).toInt());
  form.reset();
  ZEL1.cnData.close();
  ZEL1.cnData.openServer(database + QStringLiteral(" user=zel_reader"));
  const Ui::frmDataEntry& ui = open().ui();
  EXPECT_TRUE(form->windowTitle().endsWith(QLatin1String(" (read only)")));
  for (QAction* a : {ui.mnuNew, ui.mnuSave, ui.mnuRemove, ui.mnuImport, ui.Toolbar1_Save})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_FALSE(ui.txtCemetery->isEnabled());
  // Browsing shows the record; typing takes nothing, so leaving it asks nothing.
  ui.mnuGetFirst->trigger();
  EXPECT_EQ(ui.txtInterredLastName->text(), QStringLiteral("Smith"));
  QTest::keyClicks(ui.txtRemarks, QStringLiteral("x"));
  EXPECT_EQ(ui.txtRemarks->text(), QString());

  // The managers and the address dialog show their entries, without New, Save or Erase.
  using Case = std::tuple<QPushButton*, const char*, const char*>;
  for (const Case& c :
       {Case{ui.Command1, "frmCemeteryMgr", "Command2"}, Case{ui.Command2, "frmLotMgr", "Command4"},
        Case{ui.Command3, "frmAddress", "cmdErase"}}) {
    const char* off = std::get<2>(c);
    msgs->expectModal(QLatin1String(std::get<1>(c)), [off](QDialog& d) {
      EXPECT_TRUE(d.windowTitle().endsWith(QLatin1String(" (read only)"))) << d.objectName().toStdString();
      EXPECT_FALSE(d.findChild<QPushButton*>(QLatin1String(off))->isEnabled()) << off;
      return int(QDialog::Rejected);
    });
    std::get<0>(c)->click();
  }
  // The map editor sets no cells and saves nothing when it closes; a restore is not offered.
  {
    frmMapEdit map;
    EXPECT_FALSE(map.ui().Command1->isEnabled());
    EXPECT_TRUE(map.close());
  }
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zelmaps")), QStringLiteral("0"));
  EXPECT_FALSE(frmBackupRestore(nullptr, folder->file(QStringLiteral("placement.ini"))).Option2->isEnabled());
}
