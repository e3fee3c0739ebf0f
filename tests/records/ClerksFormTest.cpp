// The record form on a server while another clerk changes the same record.

#include "RecordFormFixture.h"
#include "core/store/Connection.h"
#include "support/Engines.h"

namespace {

class ServerRecordForm : public RecordForm {
 protected:
  void SetUp() override {
    RecordForm::SetUp();
    other.openServer(openServerData());
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
