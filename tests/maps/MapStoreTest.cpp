// Maps as files of the data folder or as rows on a server, through the one seam every map path uses.
#include <gtest/gtest.h>

#include <QBuffer>

#include "core/history/History.h"
#include "core/maps/MapStore.h"
#include "core/program/Zel1.h"
#include "core/reports/Reports.h"
#include "core/store/Connection.h"
#include "core/store/ServerFolder.h"
#include "core/store/Statement.h"
#include "gui/controls/GridControl.h"
#include "gui/maps/frmMapEdit.h"
#include "support/Engines.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestServer.h"

namespace {

const QString kMap = QStringLiteral("zelmap3.dat");

MapSheetData sheetWith(const QString& text) {
  MapSheetData s;
  s.maxRows = 40;
  s.maxCols = 30;
  s.cells = {{1, 1, text, true, 0x000000, false, 0},
             {2, 3, QStringLiteral("Łąka,7,2"), false, 0, true, 0xFF0000}};
  return s;
}

MapFile::Header headerOf(const MapSheetData& s) {
  return {s.maxRows, s.maxCols, s.defaultBack, s.defaultFore, quint32(s.cells.size())};
}

MapStore::Saved put(Connection& cn, const QString& name, const MapSheetData& s, qint64 version,
                    const MapStore::AfterSave& then = {}) {
  return MapStore::save(
      cn, ZEL1.DataPath, name, headerOf(s),
      [&](const auto& out) {
        for (const MapCell& c : s.cells) out(c);
      },
      version, then);
}

QByteArray bytesOf(const MapSheetData& s) {
  QByteArray bytes;
  QBuffer out(&bytes);
  out.open(QIODevice::WriteOnly);
  MapFile::write(out, headerOf(s), [&](const auto& put) {
    for (const MapCell& c : s.cells) put(c);
  });
  return bytes;
}

// The texts of a stored map's cells, "row,col=text" each; throws what the load throws.
QStringList textsOf(Connection& cn, const QString& name, qint64* version = nullptr) {
  QStringList out;
  const qint64 v = MapStore::load(
      cn, ZEL1.DataPath, name, [](const MapFile::Header&) {},
      [&](MapCell&& c) { out << QStringLiteral("%1,%2=%3").arg(c.row).arg(c.col).arg(c.text); });
  if (version) *version = v;
  return out;
}

class MapStoreTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    exec(QStringLiteral("insert into cemetery (cemeteryid, name) values (3, 'Oak Hill')"));
    ZEL1.CurrentCemeteryId = 3;
  }
  // Puts bytes in place of a stored map, as a damaged disk or a faulty program would.
  void overwrite(const QString& name, const QByteArray& bytes) {
    if (!onServer()) return writeFile(ZEL1.DataPath + name, bytes);
    Statement st(ZEL1.cnData, "update zelmaps set bytes = ? where name = ?");
    const QByteArray n = name.toUtf8();
    st.bindBlob(1, bytes);
    st.bindText(2, n);
    st.next();
  }
  ScriptedMessages msgs;
};
ZEL_ON_BOTH_ENGINES(MapStoreTest);

}  // namespace

TEST_P(MapStoreTest, WritesReadsAndListsMaps) {
  Connection& cn = ZEL1.cnData;
  EXPECT_EQ(MapStore::names(cn, ZEL1.DataPath), QStringList());
  EXPECT_FALSE(MapStore::exists(cn, ZEL1.DataPath, kMap));
  EXPECT_EQ(MapStore::load(cn, ZEL1.DataPath, kMap, {}, {}), 0) << "no map: nothing delivered";

  const MapStore::Saved first = put(cn, kMap, sheetWith(QStringLiteral("A,1,1")), 0);
  EXPECT_TRUE(first.written);
  EXPECT_EQ(first.version, 1);
  ASSERT_TRUE(put(cn, QStringLiteral("zelmap12.dat"), sheetWith(QStringLiteral("B,1,1")), 0).written);
  EXPECT_EQ(MapStore::names(cn, ZEL1.DataPath), QStringList({"zelmap12.dat", "zelmap3.dat"}));
  // The same bytes as the map file, wherever it is kept.
  EXPECT_EQ(MapStore::fetch(cn, ZEL1.DataPath, kMap)->bytes, bytesOf(sheetWith(QStringLiteral("A,1,1"))));
  EXPECT_EQ(textsOf(cn, kMap), QStringList({"1,1=A,1,1", "2,3=Łąka,7,2"}));

  // A save over the version read counts on; the file has no versions.
  const MapStore::Saved second = put(cn, kMap, sheetWith(QStringLiteral("A,1,2")), first.version);
  EXPECT_TRUE(second.written);
  EXPECT_EQ(second.version, onServer() ? 2 : 1);
  qint64 version = 0;
  EXPECT_EQ(textsOf(cn, kMap, &version).first(), "1,1=A,1,2");
  EXPECT_EQ(version, second.version);
}

TEST_P(MapStoreTest, ADamagedMapIsRefusedWithItsNameAndKeptAsideByTheEditor) {
  Connection& cn = ZEL1.cnData;
  const QByteArray good = bytesOf(sheetWith(QStringLiteral("A,1,1")));
  ASSERT_TRUE(put(cn, kMap, sheetWith(QStringLiteral("A,1,1")), 0).written);
  const QString shown = MapStore::shownName(cn, ZEL1.DataPath, kMap);
  const QString refusal =
      QStringLiteral("The map file %1 cannot be read: it is damaged or is not a map file of this program.")
          .arg(shown);
  QByteArray flipped = good;
  flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x01);
  for (const QByteArray& bad : {QByteArray("not a map at all, nothing like one"), good.left(good.size() / 2),
                                flipped, good + QByteArray(1, '\0')}) {
    overwrite(kMap, bad);
    bool delivered = false;
    try {
      MapStore::load(cn, ZEL1.DataPath, kMap, {}, [&](MapCell&&) { delivered = true; });
      ADD_FAILURE() << "a damaged map was read";
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), DbError::Corrupt);
      EXPECT_EQ(e.description(), refusal);
    }
    EXPECT_FALSE(delivered);
  }

  // The editor says so and, when asked to, keeps the bytes under a name of their own before drawing
  // a new map; the map saved on closing is a sound one.
  const QString kept = QStringLiteral("zelmap3.unreadable.dat");
  msgs.expectQuestion(
      refusal +
          (onServer() ? QStringLiteral("\n\nStart a new map? The unreadable map is kept as ")
                      : QStringLiteral("\n\nStart a new map? The unreadable file is kept as ")) +
          MapStore::shownName(cn, ZEL1.DataPath, kept) + QStringLiteral("."),
      MessageService::Answer::Yes);
  std::unique_ptr<frmMapEdit> w(frmMapEdit::open());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(MapStore::fetch(cn, ZEL1.DataPath, kept)->bytes, good + QByteArray(1, '\0'));
  w->ui().Spread1->setText(1, 1, QStringLiteral("C,1,1"));
  EXPECT_TRUE(w->close());
  EXPECT_TRUE(textsOf(cn, kMap).contains("1,1=C,1,1"));
}

TEST_P(MapStoreTest, TheMapReportsReadTheStoredMap) {
  Connection& cn = ZEL1.cnData;
  MapSheetData s = sheetWith(QStringLiteral("A,1,1"));
  s.cells[0].back = 0xFFFFFF;
  s.cells[1].text = QStringLiteral("A,1,2");
  ASSERT_TRUE(put(cn, kMap, s, 0).written);
  for (const char* grave : {"1", "9"})
    exec(QStringLiteral("insert into zel (cemeteryid, csection, lot, grave) values (3, 'A', '1', '%1')")
             .arg(QLatin1String(grave)));
  const auto build = [&] {
    return Report::build(Report::Id::MapCheck, cn, {3, QStringLiteral("Oak Hill")},
                         {QLocale::c(), QStringLiteral("mm-dd-yyyy")}, {ZEL1.DataPath});
  };
  QStringList rows;
  for (const Report::Row& r : build().rows) {
    QStringList cells;
    for (const Report::Cell& c : r) cells << c.text;
    rows << cells.join(u'|');
  }
  // The record at A,1,9 is the one place the map does not draw.
  ASSERT_EQ(rows.size(), 1) << rows.join(u'\n').toStdString();
  EXPECT_TRUE(
      rows[0].endsWith(QStringLiteral("|Place not on the map|A,1,9|No cell of the map names this place")))
      << rows[0].toStdString();

  overwrite(kMap, QByteArray("not a map"));
  try {
    build();
    ADD_FAILURE() << "a damaged map was reported on";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.description().startsWith(
        QStringLiteral("The map file %1 cannot be read").arg(MapStore::shownName(cn, ZEL1.DataPath, kMap))));
  }
}

namespace {

// A data folder of a server, opened as the program opens it, and a second clerk's connection to it.
class ServerMapTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    ASSERT_EQ(TestServer::shared().problem(), QString());
    database = TestServer::shared().newDatabase();
    writeFile(ZEL1.DataPath + QLatin1String(kServerFile), database.toUtf8());
    openProgramDatabase(ZEL1.cnData, ZEL1.DataPath + QStringLiteral("zel.mdb"));
    ASSERT_TRUE(ZEL1.cnData.isServer());
    exec(QStringLiteral("insert into cemetery (cemeteryid, name) values (3, 'Oak Hill')"));
    ZEL1.CurrentCemeteryId = 3;
    other.openServer(database);
  }
  void TearDown() override {
    other.close();
    History::setIdentityForTesting({}, {});
    DataTest::TearDown();
  }
  // The other clerk saves the map over the version it read, with its history entry.
  MapStore::Saved otherSaves(const QString& text, qint64 version) {
    History::setIdentityForTesting(QStringLiteral("clerk2"), QStringLiteral("desk2"));
    const QByteArray before = MapStore::fetch(other, ZEL1.DataPath, kMap)->bytes;
    const MapStore::Saved saved =
        put(other, kMap, sheetWith(text), version,
            [&](const auto& b, const auto& a) { History::mapBytesSaved(other, 3, b, a); });
    History::setIdentityForTesting(QStringLiteral("clerk1"), QStringLiteral("desk1"));
    return saved;
  }
  QString database;
  Connection other;
  ScriptedMessages msgs;
};

}  // namespace

TEST_F(ServerMapTest, ASaveOverAnotherClerksSaveIsRefusedAndNothingIsOverwritten) {
  // A server database made before the maps were rows gets their table when its folder opens.
  exec(QStringLiteral("drop table zelmaps"));
  openProgramDatabase(ZEL1.cnData, ZEL1.DataPath + QStringLiteral("zel.mdb"));
  Connection& cn = ZEL1.cnData;
  const MapStore::Saved first = put(cn, kMap, sheetWith(QStringLiteral("A,1,1")), 0);
  ASSERT_TRUE(first.written);

  // Both read version 1; the other clerk saves first, and this save is refused.
  EXPECT_TRUE(otherSaves(QStringLiteral("B,2,2"), first.version).written);
  const MapStore::Saved late = put(cn, kMap, sheetWith(QStringLiteral("A,9,9")), first.version);
  EXPECT_FALSE(late.written);
  EXPECT_EQ(textsOf(cn, kMap).first(), "1,1=B,2,2");
  // A map made anew where another clerk made one meanwhile, or saved after it was removed: the same.
  EXPECT_FALSE(put(cn, kMap, sheetWith(QStringLiteral("A,9,9")), 0).written);
  exec(QStringLiteral("delete from zelmaps where name = 'zelmap3.dat'"));
  EXPECT_FALSE(put(cn, kMap, sheetWith(QStringLiteral("A,9,9")), 2).written);
  EXPECT_FALSE(MapStore::exists(cn, ZEL1.DataPath, kMap));
  // A history entry that fails takes the map's row with it: both or neither.
  EXPECT_THROW(put(cn, kMap, sheetWith(QStringLiteral("A,9,9")), 0,
                   [](const auto&, const auto&) { throw DbError(DbError::IoErr, 0, QStringLiteral("no")); }),
               DbError);
  EXPECT_FALSE(MapStore::exists(cn, ZEL1.DataPath, kMap));
}

TEST_F(ServerMapTest, TheEditorSaysAnotherClerkSavedAndOffersToReloadOrKeepItsMap) {
  Connection& cn = ZEL1.cnData;
  ASSERT_TRUE(put(cn, kMap, sheetWith(QStringLiteral("A,1,1")), 0).written);
  auto editor = std::make_unique<frmMapEdit>();
  GridControl& g = *editor->ui().Spread1;
  EXPECT_EQ(g.text(1, 1), "A,1,1");

  // An undisturbed save writes the row and its history entry together.
  g.setText(5, 5, QStringLiteral("A,5,5"));
  ASSERT_TRUE(editor->close());
  EXPECT_EQ(MapStore::fetch(cn, ZEL1.DataPath, kMap)->version, 2);
  auto entries = History::ofTable(cn, QStringLiteral("cemetery"), 3);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.front().kind, History::Kind::MapSaved);
  EXPECT_TRUE(entries.front().detail.contains(QStringLiteral("5,5:  -> A,5,5")));

  editor = std::make_unique<frmMapEdit>();
  frmMapEdit& w = *editor;
  w.ui().Spread1->setText(6, 6, QStringLiteral("mine"));
  ASSERT_TRUE(otherSaves(QStringLiteral("B,2,2"), 2).written);

  // Reload: the editor stays open and shows the other clerk's map; who saved it is named.
  msgs.expectQuestion(QStringLiteral("*"), MessageService::Answer::No);
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(msgs.last().startsWith(QStringLiteral(
      "The map was saved or removed on another computer since this editor opened it (last saved by clerk2 on "
      "desk2 at ")))
      << msgs.last().toStdString();
  EXPECT_EQ(w.ui().Spread1->text(1, 1), "B,2,2");
  EXPECT_EQ(w.ui().Spread1->text(6, 6), "");

  // Keep: after another save by the other clerk, this map goes under a new name and the editor closes.
  w.ui().Spread1->setText(6, 6, QStringLiteral("mine"));
  ASSERT_TRUE(otherSaves(QStringLiteral("C,3,3"), 3).written);
  msgs.expectQuestion(QStringLiteral("*"), MessageService::Answer::Cancel);
  EXPECT_FALSE(w.close());
  msgs.expectQuestion(QStringLiteral("*"), MessageService::Answer::Yes);
  msgs.expectInfo(QStringLiteral("Your map is kept as zelmap3.kept.dat on the server."));
  EXPECT_TRUE(w.close());
  EXPECT_EQ(textsOf(cn, kMap).first(), "1,1=C,3,3");
  EXPECT_TRUE(textsOf(cn, QStringLiteral("zelmap3.kept.dat")).contains("6,6=mine"));

  // Removed meanwhile: reloading shows no map, and the next save makes it anew.
  frmMapEdit again;
  again.ui().Spread1->setText(7, 7, QStringLiteral("mine"));
  exec(QStringLiteral("delete from zelmaps where name = 'zelmap3.dat'"));
  msgs.expectQuestion(QStringLiteral("*"), MessageService::Answer::No);
  EXPECT_FALSE(again.close());
  EXPECT_EQ(again.ui().Spread1->text(1, 1), "");
  EXPECT_EQ(again.ui().Spread1->text(7, 7), "");
  EXPECT_TRUE(again.close());
  EXPECT_EQ(MapStore::fetch(cn, ZEL1.DataPath, kMap)->version, 1);
}
