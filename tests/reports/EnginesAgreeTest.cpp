// The same records on the file and on a server: every report of every cemetery, the export, and the
// export imported back agree line for line.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "DataGen.h"
#include "core/export/ExportWriter.h"
#include "core/import/RecordImport.h"
#include "core/maps/MapRows.h"
#include "core/program/Zel1.h"
#include "core/reports/Reports.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestServer.h"

namespace {

const Report::Format kFormat{QLocale::c(), QStringLiteral("mm-dd-yyyy")};

// A report as lines of its cells' texts, its title first and its count line last.
QStringList lines(const Report::Table& t) {
  QStringList out{t.title};
  const auto line = [](const Report::Row& row) {
    QStringList cells;
    for (const Report::Cell& c : row) cells << c.text;
    return cells.join(u'|');
  };
  for (const Report::Row& row : t.rows) out << line(row);
  out << line(t.countLine);
  return out;
}

// Where the server's lines first differ from the file's: "" when they agree.
std::string difference(const QStringList& server, const QStringList& file) {
  for (qsizetype i = 0; i < std::max(server.size(), file.size()); ++i)
    if (server.value(i) != file.value(i))
      return QStringLiteral("line %1:\nserver: %2\nfile:   %3")
          .arg(i)
          .arg(server.value(i), file.value(i))
          .toStdString();
  return {};
}

QStringList exported(Connection& cn) {
  RecordSet rs(&cn);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  const ExportWriter::Result r = ExportWriter::write(cn, rs, out);
  EXPECT_TRUE(r.ok) << r.error.toStdString();
  return QString::fromUtf8(out.data()).split(u'\n');
}

class EnginesAgree : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    folder->copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zelmap1.dat"));
    ASSERT_EQ(TestServer::shared().problem(), QString());
    server.openServer(TestServer::shared().newDatabase());
    server.setDateDisplayFormat(ZEL1.cnData.dateDisplayFormat());
    Schema::create(server);
    QFile map(folder->path() + QStringLiteral("zelmap1.dat"));
    ASSERT_TRUE(map.open(QIODevice::ReadOnly));
    putMapBytes(server, QStringLiteral("zelmap1.dat"), map.readAll());
    // The demo's records, with the places its map disagrees with.
    DataGen::Options o;
    o.disagreements = true;
    DataGen::fill(ZEL1.cnData, o);
    DataGen::fill(server, o);
  }
  void TearDown() override {
    server.close();
    DataTest::TearDown();
  }
  Connection server;
};

TEST_F(EnginesAgree, EveryReportOfEveryCemetery) {
  const Report::Sources sources{ZEL1.DataPath, [] { return QDate(2026, 6, 1); }};
  for (const Report::Definition& d : Report::definitions())
    for (qint32 cemetery : {1, 2}) {
      SCOPED_TRACE(QStringLiteral("%1 of cemetery %2").arg(QLatin1String(d.key)).arg(cemetery).toStdString());
      const QStringList file =
          lines(Report::build(d.id, ZEL1.cnData, {cemetery, "Oak Hill"}, kFormat, sources));
      EXPECT_GT(file.size(), 2) << "a report with rows";
      EXPECT_EQ(
          difference(lines(Report::build(d.id, server, {cemetery, "Oak Hill"}, kFormat, sources)), file), "");
    }
}

// The export of the same records is the same bytes; imported back over them (emptying first) on
// either engine, the records export the same again.
TEST_F(EnginesAgree, ExportAndTheExportImportedBack) {
  const QStringList file = exported(ZEL1.cnData);
  ASSERT_GT(file.size(), 300);
  EXPECT_EQ(difference(exported(server), file), "");

  const QString csv = folder->file(QStringLiteral("zel.csv"));
  writeFile(csv, file.join(u'\n').toUtf8());
  DelimitedText::Table table;
  DelimitedText::Options options;
  options.format = *DelimitedText::formatFor(csv);
  const DelimitedText::Result loaded = DelimitedText::loadTable(csv, options, table);
  ASSERT_TRUE(loaded.ok) << loaded.error.toStdString();
  // The export's titles as the import's names: its cemetery and lot type columns by theirs.
  QStringList names;
  for (const QString& t : ExportWriter::titles())
    names << (t == "Name"                 ? QStringLiteral("Cemetery")
              : t == "LotDesc"            ? QStringLiteral("LotType")
              : RecordImport::fieldFor(t) ? t
                                          : QString());
  for (Connection* cn : {&ZEL1.cnData, &server}) {
    RecordImport::Plan plan;
    plan.mapping = *RecordImport::mappingFromNames(names);
    plan.firstRow = 2;
    plan.lastRow = loaded.lastDataRow;
    plan.dateFormat = cn->dateDisplayFormat();
    plan.names = RecordImport::names(*cn);
    RecordImport::Check problems;
    EXPECT_EQ(RecordImport::write(*cn, RecordImport::TableSource(table), plan, true, {}, &problems),
              file.size() - 2);
    EXPECT_TRUE(problems.problems.empty());
  }
  const QStringList again = exported(ZEL1.cnData);
  EXPECT_EQ(again.size(), file.size());
  EXPECT_EQ(difference(exported(server), again), "");
}

}  // namespace
