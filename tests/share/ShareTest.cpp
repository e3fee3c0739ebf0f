#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>

#include "DataGen.h"
#include "backup/BackupFixture.h"
#include "core/history/History.h"
#include "core/maps/MapRows.h"
#include "core/program/Zel1.h"
#include "core/share/OfficeShare.h"
#include "core/store/ServerFolder.h"
#include "core/store/Statement.h"
#include "core/store/TableCopy.h"
#include "support/CliRun.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestServer.h"

namespace {

QString serverDatabase() {
  EXPECT_EQ(TestServer::shared().problem(), QString());
  return TestServer::shared().newDatabase();
}

// Every value of a query's rows with its type, as the engine gives it.
QStringList cells(Connection& cn, const QByteArray& sql) {
  QStringList out;
  Statement st(cn, sql);
  while (st.next())
    for (int c = 0; c < st.columnCount(); ++c)
      out << QStringLiteral("%1:%2").arg(int(st.type(c))).arg(QString::fromLatin1(st.blob(c).toByteArray().toHex()));
  return out;
}

// A data folder as an office has it: records of two cemeteries, lot types with prices, a history of
// changes and removals, two maps and a table of the office's own.
class Share : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    DataGen::Options o;
    o.records = 60;
    Connection& cn = ZEL1.cnData;
    DataGen::fill(cn, o);
    History::updateRecords(cn, QStringLiteral("remarks='moved'"), QStringLiteral("recid<5"));
    History::removeRow(cn, QStringLiteral("zel"), 7);
    exec(QStringLiteral("create table notes (id integer primary key, body text, picture blob)"));
    exec(QStringLiteral("insert into notes values (1, 'gate key at the office', x'00ff10'), (2, null, null), "
                        "(3, 'tab' || char(9) || '\\N' || char(10), x'')"));
    // More records than a server gives a copy at once, with awkward texts, empty and missing
    // values, amounts and dates.
    exec(QStringLiteral(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2100) "
        "insert into zel (csection, lot, remarks, purchprice, burialfee, deathdate) select 'Q', i, "
        "case i % 4 when 0 then null when 1 then '' when 2 then 'tab' || char(9) || '\\N \"q\"' || char(13, 10) "
        "|| 'Łódź 東京' else 'r' || i end, case when i % 3 = 0 then null else i * 12345 end, -i, "
        "case when i % 5 = 0 then null else '2001-02-03' end from n"));
    notes = cells(cn, "select * from notes order by id");
    historyEntries = scalar(QStringLiteral("select count(*) from history")).toLongLong();
    cn.close();
    writeMap(folder->file(QStringLiteral("zelmap1.dat")), QStringLiteral("A,1,1"));
    writeMap(folder->file(QStringLiteral("zelmap2.dat")), QStringLiteral("B,2,2"));
    dir = folder->path();
    exported = exportOf(dir);
    ASSERT_GT(exported.count('\n'), 50);
  }
  static QByteArray exportOf(const QString& folder) {
    const Outcome r = cli({"export", folder, "-o", "-"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    return r.out;
  }
  QString dir;
  QByteArray exported;
  QStringList notes;
  qint64 historyEntries = 0;
};

TEST_F(Share, TheServerFolderASecondComputerAndABackupOfItGiveTheSameExport) {
  const QString url = serverDatabase();
  const QByteArray map1 = fileBytes(dir + "zelmap1.dat");
  const Outcome shared = cli({"share", dir, url});
  ASSERT_EQ(shared.code, 0) << shared.err.toStdString();
  EXPECT_TRUE(shared.out.contains("zelbeforeshare")) << shared.out.toStdString();
  EXPECT_EQ(serverOfFolder(dir), url);
  EXPECT_FALSE(QFile::exists(dir + "zel.mdb"));
  EXPECT_FALSE(QFile::exists(dir + "zelmap1.dat"));
  EXPECT_EQ(QDir(dir).entryList({"zel.mdb.moved-to-server-*"}).size(), 1);
  ASSERT_EQ(QDir(dir).entryList({"zelbeforeshare*.zip"}).size(), 1);

  EXPECT_EQ(exportOf(dir).toStdString(), exported.toStdString());
  // The maps on the server are those the Map Check compares with (they disagree with the records).
  const Outcome checked = cli({"check", dir});
  EXPECT_RUN(checked, 3, "Place not on the map 28");
  EXPECT_TRUE(checked.out.contains("the map zelmap2.dat loads")) << checked.out.toStdString();
  EXPECT_TRUE(checked.out.contains("the change history holds")) << checked.out.toStdString();
  {
    Connection cn;
    cn.openServer(url);
    const History::Verdict v = History::verify(cn);
    EXPECT_TRUE(v.ok) << v.problem.toStdString();
    EXPECT_EQ(v.entries, historyEntries + 1);  // and the share itself
    EXPECT_EQ(History::entries(cn).back().kind, History::Kind::Shared);
    EXPECT_EQ(MapRows::bytes(cn, "zelmap1.dat"), map1);
    EXPECT_EQ(cells(cn, "select * from notes order by id"), notes);
    // New records are numbered after the highest the file ever gave.
    EXPECT_EQ(addRow(cn, "zel", {{"csection", "N"}}), 2161);
    cn.execute(QStringLiteral("delete from zel where recid=2161"));
  }

  TestFolder second(false);
  EXPECT_RUN(cli({"init", second.path(), "--server", url}), 0, "");
  EXPECT_EQ(exportOf(second.path()).toStdString(), exported.toStdString());

  QTemporaryDir target;
  const QString archive = target.filePath("office.zip");
  EXPECT_RUN(cli({"backup", dir, archive}), 0, "");
  EXPECT_RUN(cli({"restore", archive, dir, "--yes"}), 1, "on a server");
  TestFolder plain(false);
  EXPECT_RUN(cli({"restore", archive, plain.path(), "--yes"}), 0, "");
  EXPECT_EQ(exportOf(plain.path()).toStdString(), exported.toStdString());
  EXPECT_EQ(fileBytes(plain.file("zelmap1.dat")), map1);
  EXPECT_RUN(cli({"check", plain.path()}), 3, "Place not on the map 28");
  Connection restored, cn;
  openProgramDatabase(restored, plain.file("zel.mdb"));
  cn.openServer(url);
  EXPECT_EQ(cells(restored, "select * from notes order by id"), notes);
  const QStringList tables = TableCopy::tables(restored);
  TableCopy::Summary back = TableCopy::summarize(restored, tables);
  back["history: rows"] = QString::number(back["history: rows"].toLongLong() - 1);  // the restore's own
  EXPECT_EQ(TableCopy::differences(TableCopy::summarize(cn, tables), back, "on the server", "restored"),
            QStringList());
}

// The share's or the backup's connection ended by the server half-way through the records (a first
// batch of them read) fails the copy, never makes a shorter one: the server keeps no tables, the
// folder is as it was, an earlier archive stays.
TEST_F(Share, AConnectionEndedHalfWayThroughTheCopyFailsItAndChangesNothing) {
  const QString url = serverDatabase();
  Connection admin;
  admin.openServer(url);
  struct Hook {
    explicit Hook(Connection& admin) {
      TableCopy::setRowHookForTesting([&admin](const QString& table, qint64 rows) {
        if (table == "zel" && rows == 1)
          scalarOn(admin,
                   "select pg_terminate_backend(pid, 60000) from pg_stat_activity where datname = "
                   "current_database() and pid <> pg_backend_pid()");
      });
    }
    ~Hook() { TableCopy::setRowHookForTesting({}); }
  };
  const QMap<QString, QByteArray> before = snapshot(dir);
  {
    Hook hook(admin);
    const OfficeShare::Result r = OfficeShare::share(dir, url);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.text.contains("The table zel could not be copied")) << r.text.toStdString();
  }
  EXPECT_EQ(snapshot(dir), before);
  EXPECT_EQ(OfficeShare::missingTables(admin).size(), 4);

  const Outcome shared = cli({"share", dir, url});
  ASSERT_EQ(shared.code, 0) << shared.err.toStdString();
  QTemporaryDir target;
  const QString archive = target.filePath("office.zip");
  EXPECT_RUN(cli({"backup", dir, archive}), 0, "");
  const QMap<QString, QByteArray> archived = snapshot(target.path());
  {
    Hook hook(admin);
    const DataBackup::Result r = DataBackup::backup(dir, archive);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.reason.contains("The table zel could not be copied")) << r.reason.toStdString();
  }
  EXPECT_EQ(snapshot(target.path()), archived);
  EXPECT_EQ(exportOf(dir).toStdString(), exported.toStdString());
}

TEST_F(Share, APasswordADatabaseInUseAndAServerWithoutTheTablesAreRefused) {
  const QMap<QString, QByteArray> before = snapshot(dir);
  const QString url = serverDatabase();
  EXPECT_RUN(cli({"share", dir, url + " password=secret"}), 1, "holds a password");
  EXPECT_RUN(cli({"init", QDir(dir).filePath("second"), "--server", url}), 1, "run zelmora-cli share");
  {
    Connection cn;
    cn.openServer(url);
    Schema::create(cn);
  }
  EXPECT_RUN(cli({"share", dir, url}), 1, "already holds the program's tables");
  EXPECT_EQ(snapshot(dir), before);
}

// A share killed after each of its steps (archive, copy committed, zel.server written, each file
// moved aside) leaves a folder that opens, on its file or on the server, with the same records.
TEST_F(Share, AShareKilledBetweenItsStepsLeavesAFolderThatOpens) {
  for (int step = 1; step <= 6; ++step) {
    SCOPED_TRACE(step);
    QTemporaryDir copy;
    const QString path = copy.path() + u'/';
    for (const QString& name : QDir(dir).entryList({"zel*"}, QDir::Files))
      QFile::copy(dir + name, path + name);
    const QString url = serverDatabase();
    const pid_t child = fork();
    if (child == 0) {
      OfficeShare::setStepHookForTesting([step](int reached) {
        if (reached == step) _exit(2);
      });
      _exit(OfficeShare::share(path, url).ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    EXPECT_EQ(serverOfFolder(path).isEmpty(), step < 3);
    EXPECT_EQ(exportOf(path).toStdString(), exported.toStdString());
    // A copy committed before the kill is taken up again by the next share of the folder.
    if (step == 2) {
      const Outcome again = cli({"share", path, url});
      EXPECT_RUN(again, 0, "was interrupted after the records were copied");
      EXPECT_EQ(exportOf(path).toStdString(), exported.toStdString());
      EXPECT_RUN(cli({"check", path}), 3, "Place not on the map 28");
    }
  }
}

// The records an emptying import kept go with the history onto the server and back into an archive,
// and verify on either side; one of them is put back whole on the server.
TEST_F(Share, TheRecordsAnEmptyingImportKeptGoToTheServerAndBack) {
  History::Contents first;
  {
    Connection cn;
    openProgramDatabase(cn, dir + "zel.mdb");
    first = History::readRow(cn, "zel", 1).value();
  }
  const QString csv = QDir(dir).filePath("new.csv");
  {
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Z,1\nZ,2\n");
  }
  EXPECT_RUN(cli({"import", csv, dir, "--map", "1=cSection,2=Lot", "--empty-first", "--yes"}), 0, "");
  const QString url = serverDatabase();
  const Outcome shared = cli({"share", dir, url});
  ASSERT_EQ(shared.code, 0) << shared.err.toStdString();
  const Outcome checked = cli({"check", dir});
  EXPECT_TRUE(checked.out.contains("the change history holds")) << checked.out.toStdString();
  size_t removed = 0;
  {
    Connection cn;
    cn.openServer(url);
    const auto all = History::removedRecords(cn);
    removed = all.size();
    const auto one = std::find_if(all.begin(), all.end(), [](const History::Removed& r) {
      return r.entry.kind == History::Kind::RecordsRemoved && r.entry.recordId == 1;
    });
    ASSERT_NE(one, all.end());
    const qint64 back = History::putBack(cn, one->entry.id, 1);
    auto after = History::readRow(cn, "zel", back).value();
    after.front().second = first.front().second;  // recid
    EXPECT_EQ(after, first);
    const History::Verdict v = History::verify(cn);
    EXPECT_TRUE(v.ok) << v.problem.toStdString();
  }
  QTemporaryDir target;
  const QString archive = target.filePath("office.zip");
  EXPECT_RUN(cli({"backup", dir, archive}), 0, "");
  TestFolder plain(false);
  EXPECT_RUN(cli({"restore", archive, plain.path(), "--yes"}), 0, "");
  Connection file;
  openProgramDatabase(file, plain.file("zel.mdb"));
  const History::Verdict v = History::verify(file);
  EXPECT_TRUE(v.ok) << v.problem.toStdString();
  EXPECT_EQ(History::removedRecords(file).size(), removed);
}

}  // namespace
