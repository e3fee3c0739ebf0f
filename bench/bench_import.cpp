// The import of a comma-delimited file of 100,000 lines (unless --records says) with 20 mapped
// columns: loading it into the
// import window's grid (target 2 s, peak memory under 300 MB), writing its rows as records (target
// 3 s), and the whole import beside the sqlcipher command's .import of the same file into a table
// (target: within twice its time).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "BenchRecords.h"
#include "BenchShell.h"
#include "PeakMemory.h"
#include "core/import/RecordImport.h"
#include "core/program/Zel1.h"
#include "core/store/Schema.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/MessageService.h"
#include "gui/import/GridSource.h"
#include "gui/import/frmImport.h"
#include "support/ScriptedMessages.h"

namespace {

const int kLines = benchRecords();
const char* const kMapping =
    "1=cSection,2=Lot,3=Grave,4=OwnerLastName,5=OwnerFirstName,6=OwnerAddress1,7=OwnerCity,8=OwnerState,"
    "9=OwnerZip,10=OwnerPhone,11=InterLastName,12=InterFirstName,13=Sex,14=Age,15=InterNum,16=InterDate,"
    "17=DeathDate,18=PurchPrice,19=BurialFee,20=Remarks";

struct Fixture {
  QTemporaryDir dir;
  QString csv;
  ScriptedMessages msgs{ScriptedMessages::Mode::Permissive};

  Fixture() {
    ZEL1.reset();
    ZEL1.DataPath = dir.path() + QLatin1Char('/');
    ZEL1.DateDisplayFormat = QStringLiteral("mm-dd-yyyy");
    ZEL1.cnData.create(ZEL1.dataFile(QStringLiteral("zel.mdb")), QString::fromLatin1(kDatabasePassword));
    Schema::create(ZEL1.cnData);
    ZEL1.cnData.execute(QStringLiteral("insert into cemetery (name) values ('Bench')"));
    ZEL1.cnData.execute(QStringLiteral("insert into lots (lotdesc) values ('Single')"));
    csv = ZEL1.dataFile(QStringLiteral("people.csv"));
    QFile f(csv);
    f.open(QIODevice::WriteOnly);
    QByteArray out;
    static const char* const last[] = {"Smith", "Jones", "O'Neil", "Brown", "Miller", "Garcia", "Wilson"};
    static const char* const first[] = {"John", "Mary", "Ann", "Robert", "Linda", "James"};
    for (int i = 0; i < kLines; ++i) {
      const QByteArray n = QByteArray::number(i);
      out += char('A' + i % 26);
      out += ',' + QByteArray::number(i / 26 % 400 + 1) + ',' + QByteArray::number(i % 12 + 1);
      out += QByteArray(",") + last[i % 7] + ',' + first[i % 6];
      out += ",\"" + QByteArray::number(i % 2999 + 1) + " Elm St, Apt " + QByteArray::number(i % 40) + '"';
      out += ",Springfield,IL," + QByteArray::number(10000 + i % 89999) + ",(555) 201-" + n.right(4);
      out += QByteArray(",") + last[(i + 3) % 7] + ',' + first[(i + 2) % 6] + ',' + (i % 2 ? "M" : "F");
      out += ',' + QByteArray::number(i % 100) + ',' + n;
      // Dates spread over two centuries, in the form's order and in ISO form.
      const QDate interment = QDate(1850, 1, 1).addDays(qint64(i) * 7919 % 73000);
      out += ',' + interment.toString(QStringLiteral("MM-dd-yyyy")).toLatin1();
      out += ',' + interment.addDays(-(i % 9)).toString(Qt::ISODate).toLatin1();
      out += ',' + QByteArray::number(500 + i % 2000) + ".50," + QByteArray::number(i % 900) + ",\"";
      out += i % 10 ? QByteArray("Plot near the \"\"old\"\" oak") : QByteArray("Moved here\r\nfrom Ohio");
      out += "\"\r\n";
    }
    f.write(out);
    msgs.defaults.openFile = csv;
  }
  ~Fixture() {
    setMessageService(nullptr);
    ZEL1.reset();
  }
  void emptyRecords() { ZEL1.cnData.execute(QStringLiteral("delete from zel")); }
};

Fixture* g_fixture = nullptr;
double g_whole = 0, g_wholeWindow = 0, g_shell = 0, g_shellIndexed = 0, g_shellAll = 0;
double g_wholeCpu = 0, g_shellCpu = 0, g_shellIndexedCpu = 0, g_shellAllCpu = 0;

// The window's load: the file into the grid, the mapping row, the column widths. Runs first, so
// that the process's peak memory is the load's.
void BM_LoadIntoGrid(benchmark::State& state) {
  for (auto _ : state) {
    auto w = std::make_unique<frmImport>();
    w->mnuImportClick();
    if (!w->mnuImport2->isVisible()) {
      state.SkipWithError(qPrintable(g_fixture->msgs.last()));
      return;
    }
    state.PauseTiming();
    w.reset();
    state.ResumeTiming();
  }
  state.counters["VmHWM_MB"] = double(peakKb()) / 1024.0;
}
BENCHMARK(BM_LoadIntoGrid)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

RecordImport::Plan plan(int rows, int firstRow = 1) {
  RecordImport::Plan p;
  p.mapping = *RecordImport::parseMapping(QString::fromLatin1(kMapping));
  p.firstRow = firstRow;
  p.lastRow = rows + firstRow - 1;
  p.dateFormat = ZEL1.DateDisplayFormat;
  return p;
}

// Writing the loaded rows as records, from the window's grid.
void BM_WriteRecords(benchmark::State& state) {
  frmImport w;
  w.mnuImportClick();
  const GridSource source(*w.Spread1);
  for (auto _ : state) {
    state.PauseTiming();
    g_fixture->emptyRecords();
    state.ResumeTiming();
    RecordImport::write(ZEL1.cnData, source, plan(kLines, 2), false);
  }
}
BENCHMARK(BM_WriteRecords)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The parts of the whole import: the file read into memory, then every mapped cell converted once.
void BM_ReadFile(benchmark::State& state) {
  for (auto _ : state) {
    DelimitedText::Table table;
    DelimitedText::loadTable(g_fixture->csv, DelimitedText::Options(), table);
    benchmark::DoNotOptimize(table.rowCount());
  }
}
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_CheckValues(benchmark::State& state) {
  DelimitedText::Table table;
  DelimitedText::loadTable(g_fixture->csv, DelimitedText::Options(), table);
  const RecordImport::TableSource source(table);
  for (auto _ : state) benchmark::DoNotOptimize(RecordImport::check(source, plan(table.rowCount())).rows);
}
BENCHMARK(BM_CheckValues)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The whole import without a window, as a command line runs it: read the file, write the rows and
// list what did not convert.
void BM_WholeImport(benchmark::State& state) {
  const bool ownPeak = resetPeak();
  for (auto _ : state) {
    state.PauseTiming();
    g_fixture->emptyRecords();
    state.ResumeTiming();
    DelimitedText::Table table;
    DelimitedText::Options o;
    DelimitedText::loadTable(g_fixture->csv, o, table);
    const RecordImport::TableSource source(table);
    RecordImport::Check problems;
    RecordImport::write(ZEL1.cnData, source, plan(table.rowCount()), false, {}, &problems);
    if (!problems.problems.empty()) {
      state.SkipWithError("values that do not convert");
      return;
    }
  }
  if (ownPeak) state.counters["VmHWM_MB"] = double(peakKb()) / 1024.0;
}
BENCHMARK(BM_WholeImport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The import over a full table, emptied first: /0 as it would run without the change history (a
// plain delete, each freed page zeroed, then the import), /1 by the import itself, which keeps every
// removed record in the history in the same transaction. /1 carries x_plain, its time over /0's:
// what keeping the records costs.
void BM_WholeImportEmptyingFirst(benchmark::State& state) {
  static double plainSeconds = 0;
  DelimitedText::Table table;
  DelimitedText::Options o;
  DelimitedText::loadTable(g_fixture->csv, o, table);
  const RecordImport::TableSource source(table);
  const bool keeping = state.range(0) == 1;
  double total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    g_fixture->emptyRecords();
    RecordImport::write(ZEL1.cnData, source, plan(table.rowCount()), false, {}, nullptr);
    state.ResumeTiming();
    QElapsedTimer t;
    t.start();
    if (!keeping) g_fixture->emptyRecords();
    RecordImport::write(ZEL1.cnData, source, plan(table.rowCount()), keeping, {}, nullptr);
    total += double(t.nsecsElapsed()) / 1e9;
  }
  const double mean = total / double(state.iterations());
  if (!keeping)
    plainSeconds = mean;
  else if (plainSeconds > 0)
    state.counters["x_plain"] = mean / plainSeconds;
}
BENCHMARK(BM_WholeImportEmptyingFirst)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// The whole import in the window: load, map, the two questions, check and write.
void BM_WholeImportWindow(benchmark::State& state) {
  const QStringList names = QString::fromLatin1(kMapping).split(u',');
  for (auto _ : state) {
    state.PauseTiming();
    g_fixture->emptyRecords();
    state.ResumeTiming();
    frmImport w;
    w.mnuImportClick();
    for (int c = 1; c <= names.size(); ++c) w.Spread1->setText(1, c, names[c - 1].section(u'=', 1));
    // Empty first, skip row 2, and Yes to the dates the record form would refuse (interments
    // beyond today among the generated ones).
    g_fixture->msgs.verify();  // drops answers a run before did not use
    g_fixture->msgs.expectQuestion(QStringLiteral("*"), MessageService::Answer::No)
        .expectQuestion(QStringLiteral("*"), MessageService::Answer::No)
        .expectQuestion(QStringLiteral("*"), MessageService::Answer::Yes);
    w.mnuImport2Click();
    if (g_fixture->msgs.last() != QLatin1String("Import Complete.")) {
      state.SkipWithError(qPrintable(g_fixture->msgs.last()));
      return;
    }
  }
}
BENCHMARK(BM_WholeImportWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Processor time of the finished child processes: the shell's own, where the machine is shared.
double childCpuMs() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The sqlcipher shell reading the same file into a table of 20 text columns, in a new keyed database
// opened as the program opens its own, in one transaction.
void shellImport(benchmark::State& state, const QByteArray& after) {
  QStringList cols;
  for (int c = 1; c <= 20; ++c) cols << QStringLiteral("c%1 text collate nocase").arg(c);
  const QString db = g_fixture->dir.filePath(QStringLiteral("shell.mdb"));
  const QByteArray script = sqlcipherKeyLine() +
                            "PRAGMA journal_mode=DELETE;\nPRAGMA synchronous=FULL;\ncreate table t (" +
                            cols.join(u',').toUtf8() + ");\nbegin;\n.mode csv\n.import " +
                            g_fixture->csv.toUtf8() + " t\n" + after + "commit;\n";
  const double before = childCpuMs();
  for (auto _ : state) {
    state.PauseTiming();
    QFile::remove(db);
    state.ResumeTiming();
    const QString error = runSqlcipher(db, script);
    if (!error.isEmpty()) {
      state.SkipWithError(error.toStdString().c_str());
      return;
    }
  }
  state.counters["shell_cpu_ms"] = (childCpuMs() - before) / double(state.iterations());
}

void BM_SqlcipherImport(benchmark::State& state) { shellImport(state, {}); }
BENCHMARK(BM_SqlcipherImport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// For comparison only: the same with the indexes that table zel keeps on these columns, built after
// the rows as the import builds them.
void BM_SqlcipherImportIndexed(benchmark::State& state) {
  shellImport(state,
              "create index t_place on t (c1, c2, c3);\ncreate index t_interred on t (c11, c12);\n"
              "create index t_owner on t (c4, c5);\ncreate index t_death on t (c17);\n");
}
BENCHMARK(BM_SqlcipherImportIndexed)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same with all nine indexes of table zel, built as the import builds them: the columns the
// file leaves out (cemetery, lot type, birth date) added with the defaults the import gives them,
// the shell's own order of text in place of the program's order of places.
void BM_SqlcipherImportAllIndexes(benchmark::State& state) {
  shellImport(state,
              "alter table t add column cemeteryid integer default 1;\n"
              "alter table t add column lotid integer default 1;\nalter table t add column birthdate date;\n"
              "create index t_place on t (cemeteryid, c1, c2, c3);\ncreate index t_location on t (c1, c2, c3);\n"
              "create index t_interred on t (c11, c12);\ncreate index t_owner on t (c4, c5);\n"
              "create index t_death on t (c17);\ncreate index t_birth on t (birthdate);\n"
              "create index t_lot on t (lotid);\ncreate index t_place_order on t (cemeteryid, c1, c2, c3);\n"
              "create index t_location_order on t (c1, c2, c3);\n");
}
BENCHMARK(BM_SqlcipherImportAllIndexes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const double seconds = r.GetAdjustedRealTime() / 1000.0;
      if (r.run_name.function_name == "BM_WholeImport") g_whole = seconds;
      if (r.run_name.function_name == "BM_WholeImportWindow") g_wholeWindow = seconds;
      if (r.run_name.function_name == "BM_SqlcipherImport") g_shell = seconds;
      if (r.run_name.function_name == "BM_SqlcipherImportIndexed") g_shellIndexed = seconds;
      if (r.run_name.function_name == "BM_SqlcipherImportAllIndexes") g_shellAll = seconds;
      // Processor time, where the machine is shared: the program's own, the shell's as its counter.
      const auto shellCpu = r.counters.find("shell_cpu_ms");
      const double shell = shellCpu == r.counters.end() ? 0 : double(shellCpu->second) / 1000.0;
      if (r.run_name.function_name == "BM_WholeImport") g_wholeCpu = r.GetAdjustedCPUTime() / 1000.0;
      if (r.run_name.function_name == "BM_SqlcipherImport") g_shellCpu = shell;
      if (r.run_name.function_name == "BM_SqlcipherImportIndexed") g_shellIndexedCpu = shell;
      if (r.run_name.function_name == "BM_SqlcipherImportAllIndexes") g_shellAllCpu = shell;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");  // as the program runs
  takeRecordsFlag(&argc, argv);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  g_fixture = new Fixture;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_shell > 0) {
    if (g_whole > 0)
      std::printf("whole import / sqlcipher .import: %.2f (target 2, aim 1.5)\n", g_whole / g_shell);
    if (g_wholeWindow > 0)
      std::printf("whole import in the window / sqlcipher .import: %.2f\n", g_wholeWindow / g_shell);
  }
  if (g_shellIndexed > 0 && g_whole > 0)
    std::printf("whole import / sqlcipher .import with indexes: %.2f\n", g_whole / g_shellIndexed);
  if (g_shellAll > 0 && g_whole > 0)
    std::printf("whole import / sqlcipher .import with all nine indexes: %.2f\n", g_whole / g_shellAll);
  // The same in processor time.
  const std::pair<const char*, double> cpu[] = {
      {"", g_shellCpu}, {" with indexes", g_shellIndexedCpu}, {" with all nine indexes", g_shellAllCpu}};
  for (const auto& [what, shell] : cpu)
    if (shell > 0 && g_wholeCpu > 0)
      std::printf("whole import / sqlcipher .import%s, processor time: %.2f\n", what, g_wholeCpu / shell);
  delete g_fixture;
  benchmark::Shutdown();
  return 0;
}
