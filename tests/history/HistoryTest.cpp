// The change history on a real database file (the records an emptying import keeps on both engines):
// what each change writes, what a failure leaves, removed records put back, the refusals of the
// triggers, the hash chain and the erasure.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include "core/backup/DataBackup.h"
#include "core/history/History.h"
#include "core/import/RecordImport.h"
#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/Schema.h"
#include "support/Engines.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

using History::Kind;

namespace {

template <class Base>
class HistoryFixture : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    if (::testing::Test::HasFatalFailure()) return;
    History::setIdentityForTesting(QStringLiteral("clerk"), QStringLiteral("office-pc"));
    cemetery = save(0, {{"name", "Oak Hill"}}, "cemetery");
    lot = save(0, {{"lotdesc", "Single"}}, "lots");
  }
  void TearDown() override {
    History::setIdentityForTesting({}, {});
    Base::TearDown();
  }

  // A record saved the way the record form saves it; id 0 adds one.
  qint64 save(qint64 id, Fields fields, const char* table = "zel") {
    RecordSet rs(&cn);
    const QString t = QLatin1String(table);
    const QString key = t == u"zel"    ? QStringLiteral("recid")
                        : t == u"lots" ? QStringLiteral("lotid")
                                       : QStringLiteral("cemeteryid");
    rs.open(QStringLiteral("select * from %1 where %2=%3").arg(t, key).arg(id), RecordSet::Cursor::Static);
    if (id == 0) rs.addNew();
    for (const auto& [name, value] : fields) rs.assign(QString::fromLatin1(name), value);
    return History::saveRow(cn, rs, t);
  }
  qint64 grave(const char* section, const char* lot, const char* graveNo, Fields more = {}) {
    const qint64 id = save(
        0,
        {{"cemeteryid", cemetery}, {"lotid", lot}, {"csection", section}, {"lot", lot}, {"grave", graveNo}});
    if (more.size()) save(id, more);
    return id;
  }
  // The kinds of the entries written after the entry `after`, oldest first.
  std::vector<Kind> kindsAfter(qint64 after) {
    std::vector<Kind> out;
    for (const History::Entry& e : History::entries(cn))
      if (e.id > after) out.push_back(e.kind);
    return out;
  }
  qint64 lastId() {
    const auto all = History::entries(cn);
    return all.empty() ? 0 : all.back().id;
  }

  Connection& cn = ZEL1.cnData;
  qint64 cemetery = 0, lot = 0;
};

using HistoryTest = HistoryFixture<DataTest>;
using KeptRecordsTest = HistoryFixture<EngineTest>;
ZEL_ON_BOTH_ENGINES(KeptRecordsTest);

}  // namespace

TEST_F(HistoryTest, EveryChangeWritesItsEntries) {
  const auto all = History::entries(cn);
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[0].kind, Kind::Begins);
  EXPECT_EQ(all[1].kind, Kind::CemeteryAdded);
  EXPECT_EQ(all[1].user, "clerk");
  EXPECT_EQ(all[1].computer, "office-pc");
  EXPECT_EQ(all[1].time.timeSpec(), Qt::UTC);

  // A record: added with its contents, saved one entry per changed field, an unchanged save none.
  qint64 mark = lastId();
  const qint64 id = grave("A", "1", "1");
  save(id, {{"interlastname", "Byrne"}, {"purchprice", "1500.5"}, {"interdate", QDate(2020, 3, 1)}});
  save(id, {{"interlastname", "Byrne"}});
  EXPECT_EQ(kindsAfter(mark),
            (std::vector<Kind>{Kind::RecordAdded, Kind::RecordSaved, Kind::RecordSaved, Kind::RecordSaved}));
  const auto own = History::ofRecord(cn, id);
  ASSERT_EQ(own.size(), 4u);
  EXPECT_EQ(own.back().kind, Kind::RecordAdded);  // newest first
  EXPECT_EQ(History::valueIn(History::contentsOf(own.back()), QStringLiteral("csection")), "A");
  QStringList changed;
  for (const auto& e : own)
    if (e.kind == Kind::RecordSaved) changed << e.field + u'=' + e.oldValue + u'>' + e.newValue;
  changed.sort();
  EXPECT_EQ(changed, (QStringList{"interdate=>2020-03-01", "interlastname=>Byrne", "purchprice=>1500.50"}));

  // A bulk repair writes the fields it changed, for each record it changed.
  mark = lastId();
  EXPECT_EQ(History::updateRecords(cn, QStringLiteral("status='Q'"), QStringLiteral("interlastname='Byrne'")),
            1);
  ASSERT_EQ(History::ofRecord(cn, id).front().field, "status");

  // Cemetery and lot type: added, changed, removed.
  const qint64 c = save(0, {{"name", "Elm Row"}}, "cemetery");
  save(c, {{"city", "Kells"}}, "cemetery");
  EXPECT_TRUE(History::removeRow(cn, QStringLiteral("cemetery"), c));
  const qint64 l = save(0, {{"lotdesc", "Double"}}, "lots");
  save(l, {{"lotprice", "800"}}, "lots");
  EXPECT_TRUE(History::removeRow(cn, QStringLiteral("lots"), l));
  EXPECT_EQ(History::ofTable(cn, QStringLiteral("cemetery"), c).size(), 3u);
  EXPECT_EQ(History::ofTable(cn, QStringLiteral("lots"), l).front().kind, Kind::LotRemoved);

  // Map, restore, sharing: one entry each, with what they are about.
  History::mapSaved(cn, cemetery, {QStringLiteral("2,3: A1 -> A2")});
  History::restored(cn, QStringLiteral("zel20261201.zip"),
                    QDateTime(QDate(2026, 12, 1), QTime(9, 0), QTimeZone::utc()));
  History::shared(cn, QStringLiteral("records.example.org"));
  const auto tail = History::entries(cn);
  EXPECT_TRUE(tail[tail.size() - 3].detail.contains(u"2,3: A1 -> A2"));
  EXPECT_TRUE(tail[tail.size() - 2].detail.contains(u"zel20261201.zip"));
  EXPECT_TRUE(tail[tail.size() - 2].detail.contains(u"2026-12-01T09:00"));
  EXPECT_EQ(tail.back().kind, Kind::Shared);
  EXPECT_EQ(kindsAfter(mark).size(), 10u);
  EXPECT_TRUE(History::verify(cn).ok);
}

TEST_F(HistoryTest, ImportRestoreAndMapWriteTheirEntries) {
  const qint64 kept = grave("A", "1", "1", {{"interlastname", "Byrne"}});
  DelimitedText::Table table;
  table.append(1, {u"F", u"1"});
  table.append(2, {u"F", u"2"});
  RecordImport::Plan plan;
  QString error;
  plan.mapping = RecordImport::parseMapping(QStringLiteral("1=cSection,2=Lot"), &error).value();
  plan.firstRow = 1;
  plan.lastRow = 2;
  plan.dateFormat = QStringLiteral("mm-dd-yyyy");
  plan.fileName = QStringLiteral("burials.csv");
  ASSERT_EQ(RecordImport::write(cn, RecordImport::TableSource(table), plan, true), 2);
  // The emptied table's records are kept as removed, then the import says what it did.
  const auto all = History::entries(cn);
  const qint64 last = scalar("select max(recid) from zel").toLongLong();
  EXPECT_EQ(all.back().kind, Kind::Imported);
  EXPECT_EQ(all.back().detail,
            QStringLiteral("file: burials.csv\nrows: 2\nrecords added: %1-%2\nemptied first: yes")
                .arg(last - 1)
                .arg(last));
  EXPECT_EQ(all[all.size() - 2].kind, Kind::RecordsRemoved);
  EXPECT_EQ(History::removedRecords(cn).front().entry.recordId, kept);

  // A map: the changed cells; saved again unchanged, nothing.
  const QString map = MapFile::fileName(folder->path(), qint32(cemetery));
  MapSheetData sheet{10, 10, 0xFFFFFF, 0, {{0, 0, QStringLiteral("6.0")}, {2, 3, QStringLiteral("A,1,1")}}};
  MapFile::save(map, sheet);
  History::mapFileSaved(cn, cemetery, map, {});
  const QByteArray first = fileBytes(map);
  sheet.cells[1].text = QStringLiteral("A,1,2");
  MapFile::save(map, sheet);
  History::mapFileSaved(cn, cemetery, map, first);
  History::mapFileSaved(cn, cemetery, map, fileBytes(map));
  auto maps = History::ofTable(cn, QStringLiteral("cemetery"), cemetery);
  ASSERT_EQ(maps[0].kind, Kind::MapSaved);
  EXPECT_EQ(maps[0].detail, "2,3: A,1,1 -> A,1,2");
  EXPECT_TRUE(maps[1].detail.contains(u"2,3:  -> A,1,1"));
  EXPECT_EQ(maps[2].kind, Kind::CemeteryAdded);

  // A restore: the restored database's own history goes on with the restore.
  QTemporaryDir target;
  const DataBackup::Result made = DataBackup::backup(
      folder->path(), DataBackup::archiveName(target.path(), QDateTime::currentDateTime()));
  ASSERT_TRUE(made.ok()) << made.reason.toStdString();
  const qint64 before = lastId();
  save(last, {{"grave", "9"}});
  cn.close();
  ASSERT_TRUE(DataBackup::restore(made.archive, folder->path()).ok());
  openProgramDatabase(cn, folder->file(QStringLiteral("zel.mdb")));
  const auto restored = History::entries(cn);
  EXPECT_EQ(restored[restored.size() - 2].id, before);
  EXPECT_EQ(restored.back().kind, Kind::Restored);
  EXPECT_TRUE(restored.back().detail.startsWith("archive: " + QFileInfo(made.archive).fileName()));
  EXPECT_TRUE(History::verify(cn).ok);
}

TEST_F(HistoryTest, AFailedOrRefusedChangeWritesNone) {
  const qint64 id = grave("A", "1", "1");
  const qint64 mark = lastId();
  exec("create temp trigger refuse before update on zel begin select raise(abort, 'disk says no'); end");
  EXPECT_THROW(save(id, {{"interlastname", "Byrne"}}), DbError);
  EXPECT_THROW(History::updateRecords(cn, QStringLiteral("grave='2'"), QStringLiteral("1=1")), DbError);
  exec("drop trigger refuse");
  // A change the history itself cannot take is taken back whole too.
  exec("create temp trigger refuse before insert on history begin select raise(abort, 'full'); end");
  EXPECT_THROW(save(id, {{"interlastname", "Byrne"}}), DbError);
  EXPECT_THROW(History::removeRow(cn, QStringLiteral("zel"), id), DbError);
  exec("drop trigger refuse");
  EXPECT_FALSE(cn.inTransaction());
  EXPECT_EQ(scalar("select interlastname from zel"), "");
  EXPECT_EQ(scalar("select count(*) from zel"), "1");
  EXPECT_EQ(lastId(), mark);

  // Inside a caller's transaction the failed change goes back alone.
  cn.beginTransaction();
  exec("update zel set grave='7'");
  exec("create temp trigger refuse before insert on history begin select raise(abort, 'full'); end");
  EXPECT_THROW(save(id, {{"interlastname", "Byrne"}}), DbError);
  exec("drop trigger refuse");
  cn.commit();
  EXPECT_EQ(scalar("select grave || ifnull(interlastname, '-') from zel"), "7-");
}

TEST_F(HistoryTest, RemovedRecordsComeBackWhole) {
  const qint64 id = grave("B", "4", "2",
                          {{"interlastname", "O'Hara"},
                           {"interfirstname", "Nuala"},
                           {"owneraddress1", "1 Quay St"},
                           {"age", "81"},
                           {"purchprice", "1234.5"},
                           {"deathdate", QDate(1999, 7, 3)},
                           {"status", "B"},
                           {"sex", "F"}});
  const auto before = History::readRow(cn, QStringLiteral("zel"), id).value();
  ASSERT_TRUE(History::removeRow(cn, QStringLiteral("zel"), id));
  EXPECT_EQ(scalar("select count(*) from zel"), "0");
  EXPECT_FALSE(History::removeRow(cn, QStringLiteral("zel"), id));

  for (const char* find : {"", "o'hara", "Nuala", "B / 4 / 2"}) {
    SCOPED_TRACE(find);
    const auto found = History::removedRecords(cn, QString::fromUtf8(find));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].place(), "B / 4 / 2");
    EXPECT_EQ(found[0].name(), "Nuala O'Hara");
  }
  EXPECT_TRUE(History::removedRecords(cn, QStringLiteral("Smith")).empty());

  const qint64 removedEntry = History::removedRecords(cn).front().entry.id;
  const qint64 back = History::putBack(cn, removedEntry);
  EXPECT_NE(back, id);
  auto after = History::readRow(cn, QStringLiteral("zel"), back).value();
  after.front().second = before.front().second;  // recid
  EXPECT_EQ(after, before);
  EXPECT_TRUE(History::ofRecord(cn, back).front().newValue.contains(QString::number(id)));
  // Twice would make two records of one grave.
  EXPECT_THROW(History::putBack(cn, removedEntry), DbError);
  EXPECT_EQ(scalar("select count(*) from zel"), "1");
}

// The records an emptying import removes are kept beside one entry: read back, put back and erased
// one by one, guarded as entries are, and covered by the chain.
TEST_P(KeptRecordsTest, AnImportThatEmptiesTheTableKeepsEachRecordWhole) {
  const qint64 first = grave("E", "1", "1",
                             {{"interlastname", "O'Hara"},
                              {"owneraddress1", "1 Quay St"},
                              {"ownerphone", "555 0101"},
                              {"age", "81.5"},
                              {"purchprice", "1234.5"},
                              {"deathdate", QDate(1999, 7, 3)},
                              {"remarks", "two\nlines, 'quoted' \\ back"}});
  const qint64 second = grave("E", "1", "2", {{"ownerlastname", "Walsh"}});
  const auto before = History::readRow(cn, QStringLiteral("zel"), first).value();
  const qint64 mark = lastId();
  DelimitedText::Table table;
  table.append(1, {u"F", u"1"});
  RecordImport::Plan plan;
  plan.mapping = RecordImport::parseMapping(QStringLiteral("1=cSection,2=Lot")).value();
  plan.firstRow = plan.lastRow = 1;
  ASSERT_EQ(RecordImport::write(cn, RecordImport::TableSource(table), plan, true), 1);
  ASSERT_EQ(kindsAfter(mark), (std::vector<Kind>{Kind::RecordsRemoved, Kind::Imported}));
  const qint64 kept = mark + 1;

  const auto found = History::removedRecords(cn, QStringLiteral("o'hara"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].entry.id, kept);
  EXPECT_EQ(found[0].entry.recordId, first);
  EXPECT_EQ(found[0].contents, before);
  EXPECT_EQ(History::removedRecords(cn, QStringLiteral("E / 1 / 2")).front().entry.recordId, second);
  EXPECT_EQ(History::contentsOf(History::ofRecord(cn, first).front()), before);
  const qint64 back = History::putBack(cn, kept, first);
  auto after = History::readRow(cn, QStringLiteral("zel"), back).value();
  after.front().second = before.front().second;  // recid
  EXPECT_EQ(after, before);
  EXPECT_THROW(History::putBack(cn, kept, back), DbError);

  // The record's saved address and phone, and the two it was kept with.
  EXPECT_EQ(History::eraseOwner(cn, first), 4);
  const auto erased = History::removedRecords(cn, QStringLiteral("o'hara")).back().contents;
  EXPECT_EQ(History::valueIn(erased, QStringLiteral("ownerphone")),
            History::erasedText(QDateTime::currentDateTimeUtc().date(), QStringLiteral("clerk")));
  EXPECT_EQ(History::valueIn(erased, QStringLiteral("interlastname")), "O'Hara");
  EXPECT_EQ(History::eraseOwner(cn, first), 0);
  History::Verdict v = History::verify(cn);
  EXPECT_TRUE(v.ok) << v.problem.toStdString();

  for (const char* sql : {"update history_rows set contents='x'", "update history_rows set recid=1",
                          "update history_rows set id=id+10", "delete from history_rows"}) {
    SCOPED_TRACE(sql);
    EXPECT_THROW(exec(QLatin1String(sql)), DbError);
    exec("insert into history_erasing values (1)");
    EXPECT_THROW(exec(QLatin1String(sql)), DbError);
    exec("delete from history_erasing");
  }
  // Outside the program the triggers can be dropped: the chain still tells.
  exec(onServer() ? "drop trigger history_rows_no_update on history_rows"
                  : "drop trigger history_rows_no_update");
  exec("update history_rows set contents=replace(contents, 'Walsh', 'Welsh')");
  v = History::verify(cn);
  EXPECT_EQ(v.firstBad, kept);
  EXPECT_TRUE(v.problem.contains(u"removed records")) << v.problem.toStdString();
  exec("update history_rows set contents=replace(contents, 'Welsh', 'Walsh')");
  EXPECT_TRUE(History::verify(cn).ok);
  // An erased value is taken only for one.
  exec("update history_rows set personal=replace(personal, 'erased on', 'wiped on')");
  EXPECT_EQ(History::verify(cn).firstBad, kept);
  exec("update history_rows set personal=replace(personal, 'wiped on', 'erased on')");
  if (onServer()) return;

  // A file whose kept rows were read in the order of the engine's rowid, before they had an id: they
  // are numbered in that order when it opens, and still verify.
  exec("create table unnumbered (entry integer, recid integer, contents text, personal text)");
  exec("insert into unnumbered select entry, recid, contents, personal from history_rows order by id desc");
  exec("drop table history_rows");
  exec("create table history_rows (entry integer, recid integer, contents text, personal text)");
  exec("insert into history_rows select * from unnumbered order by rowid desc");
  exec("drop table unnumbered");
  cn.close();
  openProgramDatabase(cn, folder->file(QStringLiteral("zel.mdb")));
  EXPECT_EQ(scalar("select group_concat(recid) from (select recid from history_rows order by id)"),
            QStringLiteral("%1,%2").arg(first).arg(second));
  v = History::verify(cn);
  EXPECT_TRUE(v.ok) << v.problem.toStdString();
  EXPECT_THROW(exec("delete from history_rows"), DbError);
  EXPECT_EQ(History::removedRecords(cn, QStringLiteral("Walsh")).size(), 1u);
}

TEST_F(HistoryTest, TriggersRefuseEditsAndCheckNamesAnEntryChangedOutside) {
  const qint64 id = grave("A", "1", "1", {{"interlastname", "Byrne"}});
  const qint64 mark = lastId();
  grave("A", "1", "2", {{"interlastname", "Walsh"}});
  for (const char* sql : {"update history set newvalue='Burns' where field='interlastname'",
                          "delete from history where id=2", "delete from history"}) {
    SCOPED_TRACE(sql);
    EXPECT_THROW(exec(QLatin1String(sql)), DbError);
  }
  // The erasure's flag lets values change, never a hash or who and when.
  exec("insert into history_erasing values (1)");
  EXPECT_THROW(exec("update history set username='x' where id=2"), DbError);
  EXPECT_THROW(exec("update history set hash=null where id=2"), DbError);
  exec("delete from history_erasing");
  EXPECT_TRUE(History::verify(cn).ok);

  // Outside the program the triggers can be dropped: the chain still tells.
  exec("drop trigger history_no_update");
  exec(
      QStringLiteral("update history set newvalue='Burns' where recid=%1 and field='interlastname'").arg(id));
  History::Verdict v = History::verify(cn);
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.firstBad, History::ofRecord(cn, id).front().id);
  EXPECT_TRUE(v.problem.contains(u"new value"));
  exec(
      QStringLiteral("update history set newvalue='Byrne' where recid=%1 and field='interlastname'").arg(id));
  EXPECT_TRUE(History::verify(cn).ok);

  exec(QStringLiteral("update history set username='nobody' where id=%1").arg(mark + 1));
  EXPECT_EQ(History::verify(cn).firstBad, mark + 1);
  exec(QStringLiteral("update history set username='clerk' where id=%1").arg(mark + 1));

  exec("drop trigger history_no_delete");
  exec(QStringLiteral("delete from history where id=%1").arg(mark));
  v = History::verify(cn);
  EXPECT_EQ(v.firstBad, mark + 1);
  EXPECT_TRUE(v.problem.contains(u"missing"));
}

TEST_F(HistoryTest, ErasureReplacesTheOwnersDataEverywhereAndKeepsTheChain) {
  const qint64 id =
      grave("C", "1", "1",
            {{"ownerlastname", "Dunne"}, {"owneraddress1", "3 Mill Lane"}, {"ownerphone", "555 0101"}});
  save(id, {{"ownerphone", "555 0202"}});
  const qint64 other = grave("C", "1", "2", {{"owneraddress1", "9 Far Rd"}});
  ASSERT_TRUE(History::removeRow(cn, QStringLiteral("zel"), other));
  const qint64 removedId = grave("C", "1", "3", {{"ownerzip", "D04"}});
  ASSERT_TRUE(History::removeRow(cn, QStringLiteral("zel"), removedId));

  EXPECT_EQ(History::ownerPersonalFields(), (QStringList{"owneraddress1", "owneraddress2", "ownercity",
                                                         "ownerstate", "ownerzip", "ownerphone"}));
  // Record: 2 values; entries: address and phone of the first save, both phones of the second.
  EXPECT_EQ(History::eraseOwner(cn, id), 6);
  const QString erased = History::erasedText(QDateTime::currentDateTimeUtc().date(), QStringLiteral("clerk"));
  EXPECT_EQ(
      scalar(QStringLiteral("select owneraddress1 || '|' || ownerphone || '|' || ownerlastname from zel "
                            "where recid=%1")
                 .arg(id)),
      erased + u'|' + erased + QStringLiteral("|Dunne"));
  const auto own = History::ofRecord(cn, id);
  EXPECT_EQ(own.front().kind, Kind::OwnerErased);
  for (const auto& e : own) {
    EXPECT_FALSE(e.oldValue.contains(u"555") || e.newValue.contains(u"555") || e.detail.contains(u"Mill"));
  }
  // A removed record is erased through its own number; another record keeps its data.
  EXPECT_EQ(History::eraseOwner(cn, removedId), 2);  // its save and its removal
  EXPECT_TRUE(
      History::removedRecords(cn, QStringLiteral("C / 1 / 2")).front().entry.detail.contains(u"Far Rd"));
  EXPECT_THROW(History::eraseOwner(cn, 999), DbError);
  EXPECT_EQ(History::eraseOwner(cn, id), 0);  // nothing left to erase

  History::Verdict v = History::verify(cn);
  EXPECT_TRUE(v.ok) << v.problem.toStdString();
  // An erased value changed afterwards is not an erasure.
  exec("drop trigger history_no_update");
  exec(QStringLiteral("update history set newvalue='555 9999' where recid=%1 and field='ownerphone' and "
                      "newvalue like 'erased%'")
           .arg(id));
  EXPECT_FALSE(History::verify(cn).ok);
}

TEST_F(HistoryTest, PurchasersOverTime) {
  const qint64 id = grave(
      "D", "2", "5", {{"ownerfirstname", "Ann"}, {"ownerlastname", "Lee"}, {"purchdate", QDate(1990, 1, 5)}});
  save(id, {{"ownerlastname", "Kerr"}, {"purchdate", QDate(2001, 6, 1)}});
  save(id, {{"purchdate", QDate(2001, 6, 2)}});  // a corrected date, not a new purchaser
  save(id, {{"ownerfirstname", "Tom"}, {"ownerlastname", "Byrne"}, {"purchdate", QDate(2015, 2, 9)}});
  grave("D", "2", "6");  // never sold

  const auto list = History::purchasers(cn, id);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].lastName, "Lee");
  EXPECT_EQ(list[0].purchaseDate, "1990-01-05");
  EXPECT_EQ(list[1].firstName + u' ' + list[1].lastName, "Ann Kerr");
  EXPECT_EQ(list[1].purchaseDate, "2001-06-02");
  EXPECT_EQ(list[2].lastName, "Byrne");
  EXPECT_TRUE(list[2].from.isValid());

  const auto reg = History::rightsOfBurial(cn, cemetery);
  ASSERT_EQ(reg.size(), 1u);
  EXPECT_EQ(reg[0].cemetery, "Oak Hill");
  EXPECT_EQ(reg[0].grave, "5");
  EXPECT_EQ(reg[0].purchasers.size(), 3u);

  // A record from before the history: its first purchaser is what the first save replaced.
  exec("insert into zel (cemeteryid, csection, lot, grave, ownerlastname) values (1, 'E', '1', '1', 'Old')");
  const qint64 older = scalar("select max(recid) from zel").toLongLong();
  save(older, {{"ownerlastname", "New"}});
  const auto two = History::purchasers(cn, older);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].lastName, "Old");
  EXPECT_FALSE(two[0].from.isValid());
  EXPECT_EQ(two[1].lastName, "New");
}

TEST(HistoryFile, ADatabaseFromBeforeTheHistoryStartsIt) {
  TestFolder folder(false);
  folder.copyIn(QStringLiteral(ZEL_TEST_DATA_DIR "/zel341.mdb"), QStringLiteral("zel.mdb"));
  Connection cn;
  openProgramDatabase(cn, folder.file(QStringLiteral("zel.mdb")));
  EXPECT_TRUE(History::entries(cn).empty());
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select count(*) from zel")), "12");
  History::restored(cn, QStringLiteral("a.zip"), QDateTime());
  auto all = History::entries(cn);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].kind, Kind::Begins);
  EXPECT_EQ(all[1].kind, Kind::Restored);
  // Opened again, it is current: no second beginning.
  cn.close();
  openProgramDatabase(cn, folder.file(QStringLiteral("zel.mdb")));
  History::restored(cn, QStringLiteral("b.zip"), QDateTime());
  all = History::entries(cn);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].kind, Kind::Restored);
  EXPECT_TRUE(History::verify(cn).ok);
}

// An erased address leaves no copy in the file's bytes: not in the record, its history or the
// records an emptying import kept, nor on the pages that import freed (the file deletes securely).
// The file is not encrypted here, so its bytes can be read.
TEST(HistoryFile, AnErasedAddressLeavesNoCopyInTheFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("plain.mdb"));
  Connection cn;
  cn.create(path, QString());
  Schema::create(cn);
  cn.execute(QStringLiteral("insert into cemetery (name) values ('Oak Hill')"));
  cn.execute(QStringLiteral("insert into lots (lotdesc) values ('Single')"));
  DelimitedText::Table table;
  for (int i = 1; i <= 300; ++i)
    table.append(i, {u"A", QString::number(i), QStringLiteral("%1 Quay-Street").arg(i, 4, 10, QChar(u'0'))});
  RecordImport::Plan plan;
  plan.mapping = RecordImport::parseMapping(QStringLiteral("1=cSection,2=Lot,3=OwnerAddress1")).value();
  plan.firstRow = 1;
  plan.lastRow = 300;
  ASSERT_EQ(RecordImport::write(cn, RecordImport::TableSource(table), plan, false), 300);
  plan.lastRow = 1;
  ASSERT_EQ(RecordImport::write(cn, RecordImport::TableSource(table), plan, true), 1);
  const qint64 id =
      scalarOn(cn, QStringLiteral("select recid from history_rows where personal like '%0017 Quay-Street%'"))
          .toLongLong();
  ASSERT_GT(id, 0);
  EXPECT_EQ(History::eraseOwner(cn, id), 1);
  const History::Verdict v = History::verify(cn);
  EXPECT_TRUE(v.ok) << v.problem.toStdString();
  cn.close();
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  EXPECT_FALSE(bytes.contains("0017 Quay-Street"));
  EXPECT_TRUE(bytes.contains("0018 Quay-Street"));  // kept, not erased
}
