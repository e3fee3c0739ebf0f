// The reports that set the map beside the records, the aged receivables, and reports as files.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>

#include "core/maps/MapFile.h"
#include "core/maps/MapRows.h"
#include "core/maps/MapStore.h"
#include "core/program/Zel1.h"
#include "core/reports/ReportFiles.h"
#include "core/reports/Reports.h"
#include "core/store/DbError.h"
#include "gui/app/Startup.h"
#include "gui/controls/GridControl.h"
#include "gui/maps/frmViewMap.h"
#include "support/Engines.h"
#include "support/FailingDevice.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"

namespace {

using Report::Id;

const Report::Format kFormat{QLocale::c(), QStringLiteral("mm-dd-yyyy")};

constexpr quint32 kWhite = 0xFFFFFF, kBlack = 0x000000, kGreen = 0x008000;

struct MapCellSpec {
  int row, col;
  const char* text;
  quint32 back;
};

void writeMap(qint32 cemetery, int rows, int cols, std::initializer_list<MapCellSpec> cells) {
  MapSheetData sheet;
  sheet.maxRows = rows;
  sheet.maxCols = cols;
  sheet.defaultBack = kGreen;
  for (const MapCellSpec& c : cells)
    sheet.cells.push_back({c.row, c.col, QString::fromUtf8(c.text), true, c.back, false, 0});
  const QString file = MapFile::fileName(ZEL1.DataPath, cemetery);
  MapFile::save(file, sheet);
  if (ZEL1.cnData.isServer()) {
    // A server keeps its maps as rows.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    putMapBytes(ZEL1.cnData, MapStore::nameOf(cemetery), f.readAll());
  }
}

// A record of a cemetery at a place; more columns and their SQL literals may follow.
qint64 record(int cemetery, const char* place, const QString& columns = {}, const QString& values = {}) {
  const QStringList p = QString::fromUtf8(place).split(u',');
  exec(QStringLiteral("insert into zel (cemeteryid, csection, lot, grave%1) values (%2, '%3', '%4', '%5'%6)")
           .arg(columns.isEmpty() ? QString() : QStringLiteral(", ") + columns)
           .arg(cemetery)
           .arg(p[0], p[1], p[2], values.isEmpty() ? QString() : QStringLiteral(", ") + values));
  return scalar(QStringLiteral("select max(recid) from zel")).toLongLong();
}

Report::Table build(Id id, int cemetery = 1, QDate today = QDate::currentDate()) {
  Report::Sources sources{ZEL1.DataPath, [today] { return today; }};
  return Report::build(id, ZEL1.cnData, {cemetery, QStringLiteral("Oak Hill")}, kFormat, sources);
}

// A row as "text|text", marked: ">" right-aligned, "*" bold; empty cells at the end left off.
std::string line(const Report::Row& row) {
  QStringList out;
  for (const Report::Cell& c : row)
    out << (c.bold ? QStringLiteral("*") : QString()) + (c.align == Report::Align::Right ? ">" : "") + c.text;
  while (!out.isEmpty() && out.back().isEmpty()) out.removeLast();
  return out.join(u'|').toStdString();
}

using Lines = std::vector<std::string>;
Lines lines(const Report::Table& t) {
  Lines out;
  for (const Report::Row& r : t.rows) out.push_back(line(r));
  return out;
}

// Cemetery 1: sections A (every state, one place drawn twice, one without a record, one with a
// state letter its data contradict), 9 and 10 (a place two records share; an open record without
// a lot type), a burial lot without a place, and a record on no cell. Cemetery 2 agrees with its
// map; cemetery 3 has none.
// On the file and on a server.
class PlaceReports : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    exec(QStringLiteral(
        "insert into lots (lotid, lotdesc, lotsize) values (1, 'Single', '4x8'), (2, 'Double', "
        "'8x8'), (3, 'Niche', '')"));
    writeMap(1, 3, 7,
             {{1, 1, "A,1,1", kWhite},
              {1, 2, "A,1,2", kWhite},
              {1, 3, "A,1,3", kWhite},
              {1, 4, "A,1,4", kWhite},
              {1, 5, " A,1,5 ", kWhite},
              {1, 6, "", kWhite},
              {1, 7, "Section A", kBlack},
              {2, 1, "a,2,1", kWhite},
              {2, 2, "10,1,1", kWhite},
              {2, 3, "9,1,1", kWhite},
              {2, 4, "A,1,2", kWhite},
              {2, 5, "A,1", kWhite},
              {3, 1, "", kBlack}});
    open = record(1, "A,1,1", QStringLiteral("lotid, status"), QStringLiteral("1, ' '"));
    sold = record(1, "A,1,2", QStringLiteral("ownerlastname, status"), QStringLiteral("'Ames', 'S'"));
    record(1, "A,1,3", QStringLiteral("interlastname, status"), QStringLiteral("'Bell', 'R'"));
    record(1, "A,1,4", QStringLiteral("interdate, interfirstname, status"),
           QStringLiteral("'1990-05-01', 'Cy', 'B'"));
    wrong = record(1, "a, 2 ,1", QStringLiteral("interlastname, interdate, status"),
                   QStringLiteral("'Dunn', '1991-01-01', 'S'"));
    shared1 = record(1, "9,1,1", QStringLiteral("lotid, status"), QStringLiteral("2, ''"));
    shared2 = record(1, "9,1,1", QStringLiteral("lotid"), QStringLiteral("1"));
    record(1, "10,1,1", QStringLiteral("lotid, status"), QStringLiteral("0, 'x'"));
    lost = record(1, "Z,9,9", QStringLiteral("purchdate, status"), QStringLiteral("'2001-02-03', 'S'"));
    writeMap(2, 1, 2, {{1, 1, "A,1,5", kWhite}, {1, 2, "A,1,6", kWhite}});
    record(2, "A,1,5", QStringLiteral("ownerfirstname, status"), QStringLiteral("'Eve', 'S'"));
    record(3, "A,1,1", QStringLiteral("ownerfirstname, status"), QStringLiteral("'Flo', 'S'"));
    record(3, "A,1,2", QStringLiteral("status"), QStringLiteral("'B'"));
  }
  qint64 open = 0, sold = 0, wrong = 0, shared1 = 0, shared2 = 0, lost = 0;
};
ZEL_ON_BOTH_ENGINES(PlaceReports);

TEST_P(PlaceReports, AvailableGravesCountsSpacesAndStatesPerSectionAndByLotType) {
  const Report::Table t = build(Id::AvailableGraves);
  EXPECT_EQ(t.title, "Available Graves for Oak Hill");
  EXPECT_EQ(lines(t), (Lines{
                          // section|spaces|no record|open|sold|reserved|buried|available
                          "9|>1|>0|>2|>0|>0|>0|>1",
                          "10|>1|>0|>1|>0|>0|>0|>1",
                          "A|>6|>1|>1|>2|>1|>1|>2",  // A,1,2 is drawn twice
                          "No place written|>1|>1|>0|>0|>0|>0|>1",
                          "Not on the map|||>0|>1|>0|>0",
                          "*Total|*>9|*>2|*>4|*>3|*>1|*>1|*>5",
                          "*Available by Lot Type|||||||*>Available",
                          "Double (8x8)|||||||>1",
                          "Single (4x8)|||||||>1",
                          "Open, no lot type given|||||||>1",
                          "No record|||||||>2",
                      }));
  EXPECT_EQ(line(t.countLine), "*Count: 9 records");
  EXPECT_EQ(t.countRow(), t.count() + 2);

  // A map whose every place has a record; no map at all.
  EXPECT_EQ(lines(build(Id::AvailableGraves, 2)),
            (Lines{"A|>2|>1|>0|>1|>0|>0|>1", "*Total|*>2|*>1|*>0|*>1|*>0|*>0|*>1",
                   "*Available by Lot Type|||||||*>Available", "No record|||||||>1"}));
  const Report::Table none = build(Id::AvailableGraves, 3);
  EXPECT_EQ(lines(none), (Lines{"No map for this cemetery|||>0|>1|>0|>1"}));
  EXPECT_EQ(line(none.countLine), "*Count: 2 records");
}

TEST_P(PlaceReports, MapCheckListsEachKindOfDisagreementWithItsRecord) {
  const Report::Table t = build(Id::MapCheck);
  EXPECT_EQ(t.title, "Map Check for Oak Hill");
  EXPECT_EQ(t.recordColumn, 0);
  auto n = [](qint64 id) { return std::to_string(id); };
  EXPECT_EQ(lines(t),
            (Lines{
                n(lost) + "|Place not on the map|Z,9,9|No cell of the map names this place",
                n(sold) + "|Place drawn more than once|A,1,2|Cells at row 1, column 2; row 2, column 4",
                n(shared1) + "|Place shared by records|9,1,1|Same place as record " + n(shared2),
                n(shared2) + "|Place shared by records|9,1,1|Same place as record " + n(shared1),
                n(wrong) + "|State disagrees with data|a,2,1|Stored as SOLD; Save would make it BURIED",
            }));
  EXPECT_EQ(line(t.countLine), "|*Count: 5");

  const Report::Table agreeing = build(Id::MapCheck, 2);
  EXPECT_EQ(lines(agreeing), (Lines{"|No disagreements found."}));
  EXPECT_EQ(line(agreeing.countLine), "|*Count: 0");
  EXPECT_EQ(agreeing.countRow(), 3);

  // Without a map the records are still checked against each other and their data.
  EXPECT_EQ(lines(build(Id::MapCheck, 3)),
            (Lines{"|This cemetery has no map.||Places were not compared with a map.",
                   scalar("select recid from zel where cemeteryid=3 and status='B'").toStdString() +
                       "|State disagrees with data|A,1,2|Stored as BURIED; Save would make it OPEN"}));

  // Records without any place are one line, not each a place shared with all the others.
  const qint64 a = record(3, ",,"), b = record(3, " , , ");
  const Report::Table placeless = build(Id::MapCheck, 3);
  EXPECT_EQ(line(placeless.rows.back()), "|Records without a place||2 records have no place: " +
                                             std::to_string(a) + ", " + std::to_string(b));
  EXPECT_EQ(line(placeless.countLine), "|*Count: 2");
}

TEST_P(PlaceReports, ADamagedMapFileIsAFailureNamingIt) {
  const QString name = MapStore::nameOf(1), file = MapStore::shownName(ZEL1.cnData, ZEL1.DataPath, name);
  const QByteArray sound = onServer() ? MapRows::bytes(ZEL1.cnData, name) : fileBytes(file);
  // Garbage in the header, and one changed byte of the last cell that only the checksum finds, after
  // every cell was read.
  for (const qsizetype at : {qsizetype(20), sound.size() - 21}) {
    QByteArray bytes = sound;
    if (at == 20)
      bytes.replace(at, 7, "garbage");
    else
      bytes[at] = char(bytes[at] ^ 0x01);
    if (onServer())
      putMapBytes(ZEL1.cnData, name, bytes);
    else
      writeFile(file, bytes);
    for (Id id : {Id::AvailableGraves, Id::MapCheck}) {
      try {
        build(id);
        ADD_FAILURE() << "no failure, damage at byte " << at;
      } catch (const DbError& e) {
        EXPECT_EQ(e.code(), DbError::Corrupt);
        EXPECT_TRUE(e.description().contains(file)) << e.what();
      }
    }
  }
}

// The demo data folder as shipped: its planted disagreements, and its map counted cell by cell as
// the map viewer colours it.
TEST(DemoReports, MapCheckFindsWhatThePlantingPutThereAndAvailableGravesAgreesWithTheMap) {
  TestFolder folder(false);
  folder.copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zeldemo.mdb"), QStringLiteral("zel.mdb"));
  folder.copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zelmap1.dat"));
  ASSERT_TRUE(openProgramDatabase(ZEL1.cnData, folder.file(QStringLiteral("zel.mdb"))));
  auto at = [](const char* section, const char* lot, const char* grave) {
    return scalar(
               QStringLiteral("select group_concat(recid) from zel where cemeteryid=1 and csection='%1' and "
                              "lot='%2' and grave='%3' order by recid")
                   .arg(QLatin1String(section), QLatin1String(lot), QLatin1String(grave)))
        .toStdString();
  };
  const std::string shared = at("A", "3", "3"), first = shared.substr(0, shared.find(',')),
                    second = shared.substr(shared.find(',') + 1);
  EXPECT_EQ(lines(build(Id::MapCheck)),
            (Lines{at("A", "2", "2") + "|Place not on the map|A,2,2|No cell of the map names this place",
                   at("A", "2", "1") +
                       "|Place drawn more than once|A,2,1|Cells at row 3, column 1; row 3, column 2",
                   first + "|Place shared by records|A,3,3|Same place as record " + second,
                   second + "|Place shared by records|A,3,3|Same place as record " + first,
                   at("A", "6", "1") +
                       "|State disagrees with data|A,6,1|Stored as SOLD; Save would make it RESERVED"}));
  EXPECT_EQ(lines(build(Id::MapCheck, 2)),
            (Lines{"|This cemetery has no map.||Places were not compared with a map.",
                   "|No disagreements found."}));

  // Spaces and available (white) spaces of each section, as the viewer shows them; a place drawn
  // twice (A,2,1) is one space.
  ScriptedMessages msgs;
  ZEL1.CurrentCemeteryId = 1;
  frmViewMap viewer;
  viewer.show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(viewer.coloured());
  std::map<std::string, std::pair<int, int>> seen;
  int spaces = 0, available = 0;
  QSet<QString> drawn;
  const GridControl& g = *viewer.Spread1;
  for (int r = 1; r <= g.maxRows(); ++r)
    for (int c = 1; c <= g.maxCols(); ++c)
      if (g.text(r, c).count(u',') == 2 && !drawn.contains(g.text(r, c).toUpper())) {
        drawn.insert(g.text(r, c).toUpper());
        const bool white = g.backColor(r, c) == QColor(Qt::white);
        auto& [n, free] = seen[g.text(r, c).section(u',', 0, 0).toStdString()];
        ++n;
        ++spaces;
        free += white;
        available += white;
      }
  ASSERT_EQ(seen.size(), 4u);
  int sections = 0;
  for (const Report::Row& row : build(Id::AvailableGraves).rows) {
    const std::string name = row[0].text.toStdString();
    const std::pair counted{row[1].text.toInt(), row[7].text.toInt()};
    if (seen.count(name)) {
      ++sections;
      EXPECT_EQ(counted, seen[name]) << name;
    }
    if (name == "Total") {
      EXPECT_EQ(counted, (std::pair{spaces, available}));
    }
  }
  EXPECT_EQ(sections, 4);
}

TEST(AgedReceivables, BalancesGoIntoTheirAgeColumnsPerPurchaserWithExactTotals) {
  TestFolder folder;
  auto owes = [](const char* last, const char* first, const char* date, const char* price, const char* paid,
                 int cemetery = 1) {
    exec(QStringLiteral("insert into zel (cemeteryid, ownerlastname, ownerfirstname, purchdate, purchprice, "
                        "burialfee, amtpaid) values (%1, '%2', '%3', %4, %5, 0, %6)")
             .arg(cemetery)
             .arg(QLatin1String(last), QLatin1String(first), QLatin1String(date), sqlMoney(price),
                  sqlMoney(paid)));
  };
  // Today is 31 March 2024: 30 days back is current, 31 to 60 and 61 to 90 days have their own
  // columns, 91 is over 90; a date ahead counts as current, a missing or broken one as no date.
  owes("Adams", "John", "'2024-03-01'", "100", "0");
  owes("adams", "john", "'2024-03-02'", "50.25", "0");
  owes("Adams", "John", "'2024-01-31'", "10", "0");
  owes("Baker", "Ann", "'2024-02-29'", "20", "0");
  owes("Baker", "Ann", "'2024-01-01'", "30", "0");
  owes("Baker", "Ann", "'2023-12-31'", "40", "0");
  owes("Carter", "Cy", "NULL", "5.50", "0");
  owes("Carter", "Cy", "'soon'", "1", "0");
  owes("Carter", "Cy", "'2024-04-10'", "7", "0");
  owes("Drake", "Di", "'2024-03-31'", "75", "100");    // overpaid
  owes("Eaton", "Ed", "'2024-01-01'", "10", "10");     // paid up
  owes("Fox", "Flo", "'2024-01-01'", "10.004", "10");  // less than a cent: paid up as shown
  owes("", " ", "'2023-01-01'", "3", "0");
  owes("Adams", "John", "'2024-01-01'", "99", "0", 2);

  const Report::Table t = build(Id::AgedReceivables, 1, QDate(2024, 3, 31));
  EXPECT_EQ(t.title, "Aged Receivables for Oak Hill");
  QStringList headers;
  for (const Report::Column& c : t.columns) headers << c.header;
  EXPECT_EQ(headers, (QStringList{"Purchaser", "Current", "31-60 Days", "61-90 Days", "Over 90 Days",
                                  "No Date", "Total Due"}));
  EXPECT_EQ(lines(t), (Lines{"(no purchaser)||||>3.00||>3.00", "Adams, John|>150.25|>10.00||||>160.25",
                             "Baker, Ann||>20.00|>30.00|>40.00||>90.00", "Carter, Cy|>7.00||||>6.50|>13.50",
                             "Drake, Di|>-25.00|||||>-25.00"}));
  EXPECT_EQ(line(t.countLine), "*Count: 5|*>132.25|*>30.00|*>30.00|*>43.00|*>6.50|*>241.75");
  EXPECT_EQ(t.total, Money::parse(QStringLiteral("241.75")));
  EXPECT_EQ(t.countRow(), 6);
}

TEST(ReportFiles, CsvAndTextKeepEveryShownCellOfEveryRow) {
  Report::Table t;
  t.title = QStringLiteral("Sample");
  t.columns = {{QStringLiteral("Rec ID"), Report::Align::Left, 0},
               {QStringLiteral("Name"), Report::Align::Left, 10},
               {QStringLiteral("Amount"), Report::Align::Right, 8}};
  t.rows = {{{QStringLiteral("7")},
             {QStringLiteral("Ames, Al\nAmes, \"Bea\"")},
             {QStringLiteral("1.50"), Report::Align::Right}},
            {{QStringLiteral("8")}, {QStringLiteral("Zoë")}, {}}};
  t.gap = 2;
  t.countLine = {{},
                 {QStringLiteral("Count: 2"), Report::Align::Left, true},
                 {QStringLiteral("1.50"), Report::Align::Right}};

  // The hidden column is left out; the empty gap row and the count line are rows of their own.
  expectFile(Report::toCsv(t), "report-table.csv");
  expectFile(Report::toText(t).toUtf8(), "report-table.txt");

  // Texts a spreadsheet would run as formulas get an apostrophe before them; amounts stay.
  t.rows = {{{}, {QStringLiteral("=cmd|' /C calc'!A0")}, {QStringLiteral("-1.50")}},
            {{}, {QStringLiteral("\tx")}, {QStringLiteral("-.50")}}};
  EXPECT_TRUE(Report::toCsv(t).startsWith("Name,Amount\r\n'=cmd|' /C calc'!A0,-1.50\r\n'\tx,-.50\r\n"))
      << Report::toCsv(t).constData();
}

TEST(ReportFiles, AFailedSaveNamesTheFileAndLeavesWhatWasThere) {
  TestFolder folder(false);
  Report::Table t;
  t.columns = {{QStringLiteral("A"), Report::Align::Left, std::nullopt}};
  const QString file = folder.file(QStringLiteral("report.csv"));
  ASSERT_NO_THROW(Report::saveCsv(file, t));
  EXPECT_EQ(QFile(file).size(), 3 + 2);  // "A" and the empty count line

  // A folder in the way of the file, and a folder that is not there.
  const QString blocked = folder.file(QStringLiteral("blocked.csv"));
  ASSERT_TRUE(QDir().mkdir(blocked));
  ASSERT_TRUE(QFile::copy(file, blocked + QStringLiteral("/inside.csv")));
  for (const QString& target : {blocked, folder.file(QStringLiteral("missing/report.csv"))}) {
    try {
      Report::saveCsv(target, t);
      ADD_FAILURE() << "saved to " << target.toStdString();
    } catch (const DbError& e) {
      EXPECT_TRUE(e.description().startsWith(QStringLiteral("The report could not be saved to ") + target))
          << e.what();
    }
  }
  EXPECT_TRUE(QFile::exists(blocked + QStringLiteral("/inside.csv")));
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("report.csv")});

  // A write that fails half-way keeps the earlier file.
  QFile before(file);
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray earlier = before.readAll();
  before.close();
  EXPECT_THROW(Report::saveFile(file,
                                [](QIODevice& d) {
                                  d.write("half");
                                  return false;
                                }),
               DbError);
  QFile after(file);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), earlier);

  // Rows are written a chunk at a time: a disk that fills up after the first chunks fails the write.
  t.rows.assign(100000, Report::Row{{QStringLiteral("a row of some length")}});
  for (auto write : {&Report::writeCsv, &Report::writeText}) {
    FailingDevice full(300 * 1024);
    EXPECT_FALSE(write(full, t));
    EXPECT_EQ(full.size(), 300 * 1024);
  }
}

}  // namespace
