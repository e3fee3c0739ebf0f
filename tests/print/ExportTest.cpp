#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "core/export/ExportWriter.h"
#include "core/program/Zel1.h"
#include "gui/records/RecordPrintout.h"
#include "support/Engines.h"
#include "support/FailingDevice.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"

namespace {

qint64 addRow(const char* table, Fields values) {
  return ::addRow(ZEL1.cnData, QLatin1String(table), values);
}

// The message names the file as it was written.
QString completeMessage() { return "Export complete. File named " + ZEL1.DataPath + "zel.csv was created."; }

template <class Base>
class ExportOf : public Base {
 protected:
  QString csv() const { return ZEL1.dataFile("zel.csv"); }
  void exportOk() {
    ScriptedMessages m;
    m.expectSaveFile(csv()).expectFileWritten(completeMessage());
    exportRecords();
  }
  // Exports into zel.csv expecting a failure; the message shown.
  QString exportFails() {
    ScriptedMessages m;
    m.expectSaveFile(csv()).expectInfo("*");
    exportRecords();
    return m.log().size() == 2 ? m.log()[1].text : QString();
  }
};
using Export = ExportOf<DataTest>;
// The same bytes from the file and from a server.
class ExportOnEngines : public ExportOf<EngineTest> {};
ZEL_ON_BOTH_ENGINES(ExportOnEngines);

}  // namespace

TEST_P(ExportOnEngines, WritesEveryRecordByTheItemRules) {
  const qint64 oak = addRow("cemetery", {{"name", "Oak Hill"}});
  const qint64 mary = addRow("cemetery", {{"name", "Saint Mary's"}});
  const qint64 gone = addRow("cemetery", {{"name", "Closed"}});
  const qint64 single = addRow("lots", {{"lotdesc", "Single"}, {"lotprice", Money::fromUnits(300)}});
  const qint64 family = addRow("lots", {{"lotdesc", "Family, 4 \"large\""}});
  const qint64 dropped = addRow("lots", {{"lotdesc", "Dropped"}});

  // Section B sorts after section A although it was stored first.
  addRow("zel", {{"cemeteryid", oak},
                 {"csection", "B"},
                 {"lot", "1"},
                 {"grave", "1"},
                 {"lotid", single},
                 {"age", 0.5},
                 {"purchprice", Money::fromScaled(-35000)},
                 {"status", "R"}});
  addRow("zel", {{"cemeteryid", oak},
                 {"csection", "A"},
                 {"lot", "1"},
                 {"grave", "1"},
                 {"lotid", single},
                 {"vault", "Concrete"},
                 {"ownerlastname", "Smith, Jr."},
                 {"ownerfirstname", "John"},
                 {"owneraddress1", "1 Main St"},
                 {"owneraddress2", ""},
                 {"ownercity", "Springfield"},
                 {"ownerstate", "IL"},
                 {"ownerzip", "62701"},
                 {"ownerphone", "555-0100"},
                 {"interlastname", "Doe"},
                 {"interfirstname", "Jane"},
                 {"sex", "F"},
                 {"age", 85.0},
                 {"internum", 117.0},
                 {"interdate", QDate(2020, 3, 4)},
                 {"deedbook", "B-7"},
                 {"deedpage", 33.0},
                 {"certnum", "C-1001"},
                 {"purchprice", Money::fromScaled(2507500)},
                 {"burialfee", Money::fromUnits(300)},
                 {"amtpaid", Money::fromScaled(125000)},
                 {"birthplace", "Zürich"},
                 {"latereside", "Shelbyville"},
                 {"socialstate", "Widow"},
                 {"birthdate", QDate(1935, 1, 2)},
                 {"deathdate", Value(QDateTime(QDate(2020, 3, 1), QTime(14, 5, 9)), true)},
                 {"deathcause", "Old age"},
                 {"undertaker", "Miller & Sons"},
                 {"nearestrelative", "John"},
                 {"remarks", "Known as \"Babe\", loved"},
                 {"status", "B"}});
  addRow("zel", {{"cemeteryid", mary},
                 {"csection", "A"},
                 {"lot", "1"},
                 {"grave", "2"},
                 {"lotid", family},
                 {"remarks", ""}});
  // No lot type, a deleted lot type, a deleted cemetery: written with an empty cell there.
  addRow("zel", {{"cemeteryid", oak}, {"csection", "A"}, {"lot", "0"}, {"grave", "1"}, {"lotid", 0}});
  addRow("zel", {{"cemeteryid", oak}, {"csection", "A"}, {"lot", "0"}, {"grave", "2"}, {"lotid", dropped}});
  addRow("zel", {{"cemeteryid", gone}, {"csection", "A"}, {"lot", "0"}, {"grave", "3"}, {"lotid", single}});
  exec(QString("delete from lots where lotid = %1").arg(dropped));
  exec(QString("delete from cemetery where cemeteryid = %1").arg(gone));

  ZEL1.rsRecords.open("select * from zel", RecordSet::Cursor::Static);  // as the form holds it
  exportOk();
  EXPECT_FALSE(ZEL1.rsRecords.isOpen());

  expectFile(fileBytes(csv()), "export.csv");
}

TEST_P(ExportOnEngines, EmptyDatabaseGivesTheTitleLineAndASecondExportReplacesTheFirst) {
  exportOk();
  expectFile(fileBytes(csv()), "export-empty.csv");

  const qint64 c = addRow("cemetery", {{"name", "Oak Hill"}});
  const qint64 l = addRow("lots", {{"lotdesc", "Single"}});
  addRow("zel", {{"cemeteryid", c}, {"csection", "A"}, {"lotid", l}, {"interdate", Value()}});
  exportOk();
  const QList<QByteArray> lines = fileBytes(csv()).split('\n');
  ASSERT_EQ(lines.size(), 3);  // two lines and nothing after the last line end
  EXPECT_TRUE(lines[1].startsWith("\"Oak Hill\",\"A\",#NULL#,#NULL#,\"Single\","));
  EXPECT_TRUE(lines[2].isEmpty());
  // Nothing left beside the file from writing it aside.
  EXPECT_EQ(QDir(ZEL1.DataPath).entryList({"zel.csv*"}, QDir::Files).size(), 1);

  // Anywhere the user chooses; the message names the whole path and its button opens the folder,
  // or says which folder it could not open (no desktop opener installed).
  QTemporaryDir elsewhere;
  const QString chosen = elsewhere.filePath("records for the office.csv");
  {
    ScriptedMessages m;
    m.expectSaveFile(chosen)
        .expectFileWritten("Export complete. File named " + chosen + " was created.", true)
        .expectDocument(elsewhere.path(), false)
        .expectInfo("The folder " + elsewhere.path() +
                    " could not be opened: no program to show folders was found.");
    exportRecords();
  }
  EXPECT_EQ(fileBytes(chosen), fileBytes(csv()));
  // Cancelled: nothing is written.
  QFile::remove(chosen);
  {
    ScriptedMessages m;
    m.expectSaveFile(QString());
    exportRecords();
  }
  EXPECT_FALSE(QFile::exists(chosen));
}

TEST_F(Export, FailuresNameTheFileAndKeepTheEarlierExport) {
  exportOk();
  const QByteArray earlier = fileBytes(csv());

  // A failing query: the earlier file stays as it was, rsRecords ends closed.
  const QString failed = "The export file " + csv() + " could not be written.\n\n";
  exec("drop table lots");
  QString why = exportFails();
  EXPECT_TRUE(why.startsWith(failed) && why.contains("lots", Qt::CaseInsensitive)) << why.toStdString();
  EXPECT_EQ(fileBytes(csv()), earlier);
  EXPECT_FALSE(ZEL1.rsRecords.isOpen());
  EXPECT_EQ(QDir(ZEL1.DataPath).entryList({"zel.csv*"}, QDir::Files).size(), 1);

  // A folder in the way of the file.
  ASSERT_TRUE(QFile::remove(csv()));
  ASSERT_TRUE(QDir(ZEL1.DataPath).mkdir("zel.csv"));
  why = exportFails();
  EXPECT_TRUE(why.startsWith(failed) && why.size() > failed.size()) << why.toStdString();
  EXPECT_TRUE(QFileInfo(csv()).isDir());

  // A data folder that does not exist.
  ZEL1.DataPath = ZEL1.DataPath + "missing/";
  EXPECT_TRUE(exportFails().startsWith("The export file " + csv() + " could not be written."));
}

TEST_F(Export, TwoReadersWriteTheLinesOfOne) {
  const qint64 c = addRow("cemetery", {{"name", "Oak Hill"}});
  ZEL1.cnData.beginTransaction();
  // Sections stored in no order, read in the order of places (S2 before S10), with records alike in
  // every sort key: the halves must join into the one order.
  for (int i = 0; i < 300; ++i)
    exec(QString("insert into zel (cemeteryid, csection, lot, grave, ownerlastname, purchprice, remarks) "
                 "values (%1, 'S%2', '%3', '1', '%4', %5, 'r%6')")
             .arg(c)
             .arg(i * 37 % 30)
             .arg(i % 3)
             .arg(i % 2 ? "Smith" : "smith")
             .arg(qint64(i) * -2500)
             .arg(i));
  ZEL1.cnData.commit();
  const auto exported = [](qint64 splitFrom) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const ExportWriter::Result r = ExportWriter::write(ZEL1.cnData, ZEL1.rsRecords, out, "out", splitFrom);
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.records, 300);
    return out.data();
  };
  const QByteArray one = exported(1000000);
  EXPECT_EQ(exported(0), one);
  EXPECT_FALSE(ZEL1.cnData.inTransaction());
  // A record without a section sorts first, outside every range of sections.
  exec("update zel set csection = null where remarks = 'r299'");
  EXPECT_EQ(exported(0), exported(1000000));
}

// A server's rows are read as they come: odd characters come through as stored, and rows cut off in
// the middle (the server process ended by another connection) fail the export, never read as a
// shorter one; the earlier file is kept.
TEST_F(Export, ServerRowsAsTheyComeKeepOddTextsAndFailWhenCutOff) {
  const QString database = openServerData();
  const QString odd = QString::fromUtf8("tab\there \\N \"q\" line\nend\r\\ \x01\x08\x0b\x0c Łódź 東京");
  addRow("zel", {{"csection", "A"}, {"remarks", odd}});
  // Far more than the first chunk of the file and what the connection buffers: the server is still
  // sending when the first chunk is written.
  ZEL1.cnData.engine().execute(
      "insert into zel (csection, lot, remarks) select 'B', g::text, repeat('x', 400) "
      "from generate_series(1, 20000) g");
  exportOk();
  const QByteArray earlier = fileBytes(csv());
  EXPECT_TRUE(earlier.contains(",\"A\",") && earlier.contains(ExportWriter::item(Value(odd))));
  EXPECT_EQ(earlier.count("\r\n"), 20002);  // the titles and every row

  // A device that fills up stops the rows half-way; the connection is ready for the next export.
  FailingDevice full(1000);
  EXPECT_EQ(ExportWriter::write(ZEL1.cnData, ZEL1.rsRecords, full).error, "No space left on device");
  exportOk();
  EXPECT_EQ(fileBytes(csv()), earlier);

  // A device whose first write ends the export's server process from a second connection.
  struct Cutting : QIODevice {
    std::function<void()> cut;
    qint64 written = 0;
    qint64 writeData(const char*, qint64 len) override {
      if (written == 0) cut();
      written += len;
      return len;
    }
    qint64 readData(char*, qint64) override { return -1; }
  } out;
  Connection admin;
  admin.openServer(database);
  const QString pid = scalarOn(ZEL1.cnData, "select pg_backend_pid()");
  out.cut = [&] { scalarOn(admin, "select pg_terminate_backend(" + pid + ")"); };
  out.open(QIODevice::WriteOnly);
  const ExportWriter::Result r = ExportWriter::write(ZEL1.cnData, ZEL1.rsRecords, out);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.isEmpty());
  EXPECT_LT(out.written, earlier.size());

  // The lost connection's next export fails too, and keeps the earlier file as it was.
  EXPECT_TRUE(exportFails().startsWith("The export file " + csv() + " could not be written."));
  EXPECT_EQ(fileBytes(csv()), earlier);
  EXPECT_EQ(QDir(ZEL1.DataPath).entryList({"zel.csv*"}, QDir::Files).size(), 1);
}

TEST(ExportItems, NumbersDatesAndGuardedTexts) {
  const std::pair<Value, const char*> cases[] = {
      {Value(1500.0), "1500"},
      {Value(-2.25), "-2.25"},
      {Value(0.1), "0.1"},
      {Value(0.00001), "0.00001"},
      {Value(qint64(-7)), "-7"},
      {Value(Money::fromScaled(15000000)), "1500"},
      {Value(Money::fromScaled(-2500)), "-0.25"},
      {Value(QDateTime(QDate(2001, 2, 3), QTime(0, 0)), true), "#2001-02-03#"},
      {Value(QDate(987, 6, 5)), "#0987-06-05#"},
      {Value(""), "\"\""},
      {Value(), "#NULL#"},
      // Texts a spreadsheet would run as formulas are guarded (so that the import takes off only
      // ours); numbers are not.
      {Value("=cmd|' /C calc'!A0"), "\"'=cmd|' /C calc'!A0\""},
      {Value("@SUM(1)"), "\"'@SUM(1)\""},
      {Value("'+x"), "\"''+x\""},
      {Value("-12.50"), "\"-12.50\""}};
  for (const auto& [value, item] : cases) EXPECT_EQ(ExportWriter::item(value), item) << item;
}
