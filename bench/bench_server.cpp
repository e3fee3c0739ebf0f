// The same records on the file and on a PostgreSQL server, side by side: opening the database, the
// record form's First (on a connection already used, and on a new one), Next and Save, the export
// (against psql's \copy of the same query) and every report. Each figure is registered per engine
// (/0 the file, /1 the server); a server figure carries x_file, its time over the file's, and trips,
// its round trips; the export carries x_copy, its time over \copy's. The database opens as the
// program's start opens it (Startup): with the server's warm-up of the form's first read, except
// where a benchmark's second number is 0.
// The server is ZEL_BENCH_SERVER (a libpq connection string of an empty database) or, without it, a
// throwaway cluster of this program's own (the tests' TestServer: fsync off).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <ctime>
#include <functional>
#include <map>
#include <memory>

#include "BenchRecords.h"
#include "DataGen.h"
#include "PeakMemory.h"
#include "core/export/ExportWriter.h"
#include "core/import/RecordImport.h"
#include "core/program/Zel1.h"
#include "core/reports/Reports.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/ServerEngine.h"
#include "core/store/ServerFolder.h"
#include "core/store/Statement.h"
#include "gui/controls/MessageService.h"
#include "gui/records/frmDataEntry.h"
#include "support/ScriptedMessages.h"
#include "support/TestServer.h"

namespace {

const int kRecords = benchRecords();

struct Setup {
  QTemporaryDir dir;
  QTemporaryDir serverDir;  // a data folder whose zel.server names the server
  ScriptedMessages msgs{ScriptedMessages::Mode::Permissive};
  std::unique_ptr<frmDataEntry> form;
  QString server;
  int engine = -1;
  std::map<std::string, double> fileSeconds;  // the file's mean per benchmark, for x_file
  double copySeconds = 0;

  Setup() {
    ZEL1.reset();
    ZEL1.DataPath = dir.path() + u'/';
    ZEL1.DateDisplayFormat = QStringLiteral("mm-dd-yyyy");
    DataGen::Options o;
    o.records = kRecords;
    DataGen::makeDatabase(file(), o, QString::fromLatin1(kDatabasePassword));
    server = qEnvironmentVariable("ZEL_BENCH_SERVER");
    if (server.isEmpty()) {
      if (!TestServer::shared().problem().isEmpty())
        qFatal("bench_server: %s", qPrintable(TestServer::shared().problem()));
      server = TestServer::shared().newDatabase();
    }
    QFile address(serverDir.filePath(QString::fromLatin1(kServerFile)));
    if (!address.open(QIODevice::WriteOnly) || address.write(server.toUtf8() + '\n') < 0)
      qFatal("bench_server: %s", qPrintable(address.errorString()));
    address.close();
    {
      Connection cn;
      cn.openServer(server);
      Schema::create(cn);
      DataGen::fill(cn, o);
      cn.execute(QStringLiteral("analyze"));
    }
    // Whatever a first open brings up to date is done before anything is timed.
    for (int e : {0, 1}) {
      open(e, false);
      close();
    }
  }
  QString file() const { return dir.filePath(QStringLiteral("zel.mdb")); }

  void close() {
    form.reset();
    ZEL1.rsRecords.close();
    ZEL1.cnData.close();
    engine = -1;
  }
  // Opens the engine's database (0 the file, 1 the server) as the program's start does.
  void open(int e, bool warmUp = true) {
    openProgramDatabase(ZEL1.cnData, e == 0 ? file() : serverDir.filePath(QStringLiteral("zel.mdb")));
    ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
    ZEL1.cnData.writeProblem();
    if (warmUp) warmUpServer(ZEL1.cnData, QStringLiteral("zel"), frmDataEntry::firstQuery());
    engine = e;
  }
  frmDataEntry& newForm() {
    form = std::make_unique<frmDataEntry>();
    form->resize(1000, 680);
    form->show();
    form->ui().Option1->setChecked(true);
    return *form;
  }
  // The record form on the engine, opened once.
  frmDataEntry& use(int e) {
    if (e != engine) {
      close();
      open(e);
      newForm();
    }
    return *form;
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

bool failed(benchmark::State& state) {
  if (setup().msgs.last().isEmpty()) return false;
  state.SkipWithError(setup().msgs.last().toStdString().c_str());
  return true;
}

// The times the server's connection has waited for the server; 0 on the file or a closed one.
qint64 roundTrips() {
  const auto* server =
      ZEL1.cnData.isOpen() ? dynamic_cast<const ServerEngine*>(&ZEL1.cnData.engine()) : nullptr;
  return server ? server->roundTrips() : 0;
}

// Times each iteration of work, after an untimed step before it (its mean in ms); the server's mean
// is also given over the file's, with its round trips per iteration. The file's figure is kept by the
// benchmark's name and its number arg.
template <class Work>
void timed(benchmark::State& state, const std::string& name, Work work, int arg = 0,
           const std::function<void()>& before = {}) {
  double total = 0;
  qint64 trips = 0;
  for (auto _ : state) {
    if (before) {
      state.PauseTiming();
      before();
      state.ResumeTiming();
    }
    const qint64 start = roundTrips();
    QElapsedTimer t;
    t.start();
    if (!work()) return;
    total += double(t.nsecsElapsed()) / 1e9;
    trips += roundTrips() - start;
    if (failed(state)) return;
  }
  const double mean = total / double(state.iterations());
  // The work's own time, without the benchmark's loop and the untimed step around it.
  state.counters["ms"] = mean * 1000.0;
  if (state.range(arg) == 0)
    setup().fileSeconds[name] = mean;
  else if (setup().fileSeconds[name] > 0)
    state.counters["x_file"] = mean / setup().fileSeconds[name];
  if (state.range(arg) != 0) state.counters["trips"] = double(trips) / double(state.iterations());
}

// Opening the database as the program's start does (second number: with the server's warm-up).
void BM_EngineOpen(benchmark::State& state) {
  const int e = int(state.range(0));
  timed(
      state, "open",
      [&] {
        setup().open(e, state.range(1) != 0);
        return true;
      },
      0, [] { setup().close(); });
  setup().close();
}
BENCHMARK(BM_EngineOpen)
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

// "Get First Record" with "Sort by Location" over every record, on a connection that has read
// records before.
void BM_EngineFirst(benchmark::State& state) {
  frmDataEntry& f = setup().use(int(state.range(0)));
  f.mnuGetFirstClick();
  timed(state, "first", [&] {
    f.mnuGetFirstClick();
    return true;
  });
  if (f.ui().txtRecordNum->text().isEmpty()) state.SkipWithError("no record shown");
}
BENCHMARK(BM_EngineFirst)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// The processor time (ms) server process pid has used so far, to the nanosecond; 0 for no pid.
double backendRunMs(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/schedstat").arg(pid));
  if (pid <= 0 || !f.open(QIODevice::ReadOnly)) return 0;
  return f.readAll().split(' ').value(0).toDouble() / 1e6;
}
// The number of the server process behind ZEL1.cnData (0 on the file), asked before anything timed.
qint64 backendPid() {
  if (!ZEL1.cnData.isServer()) return 0;
  Statement st(ZEL1.cnData, "select pg_backend_pid()");
  return st.next() ? st.int64(0) : 0;
}

// The same First on a database just opened (the file newly opened, the server a new connection)
// and a record form just made, as a clerk's first First after the start (second number: with the
// server's warm-up). window_ms is the form's making, which reads the cemetery and lot type lists: a
// warm-up not done by then is waited for there. server_cpu_ms is the server process's processor
// time during the First.
void BM_EngineFirstNew(benchmark::State& state) {
  const int e = int(state.range(0));
  frmDataEntry* f = nullptr;
  double window = 0, serverMs = 0;
  qint64 pid = 0;
  timed(
      state, "first_new",
      [&] {
        const double server = backendRunMs(pid);
        f->mnuGetFirstClick();
        serverMs += backendRunMs(pid) - server;
        return true;
      },
      0,
      [&] {
        setup().close();
        setup().open(e, state.range(1) != 0);
        QElapsedTimer t;
        t.start();
        f = &setup().newForm();
        window += double(t.nsecsElapsed()) / 1e6;
        pid = backendPid();
      });
  const double n = double(std::max<benchmark::IterationCount>(1, state.iterations()));
  state.counters["window_ms"] = window / n;
  if (e != 0) state.counters["server_cpu_ms"] = serverMs / n;
  if (f && f->ui().txtRecordNum->text().isEmpty()) state.SkipWithError("no record shown");
  setup().close();
}
BENCHMARK(BM_EngineFirstNew)
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

// One Next step (1,000 of them after a First).
void BM_EngineNext(benchmark::State& state) {
  frmDataEntry& f = setup().use(int(state.range(0)));
  f.mnuGetFirstClick();
  timed(state, "next", [&] {
    f.mnuGetNextClick();
    return true;
  });
}
BENCHMARK(BM_EngineNext)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(1000)->UseRealTime();

// Saving a stored record after one field was changed.
void BM_EngineSave(benchmark::State& state) {
  frmDataEntry& f = setup().use(int(state.range(0)));
  f.mnuGetFirstClick();
  int n = 0;
  timed(state, "save", [&] {
    f.ui().txtRemarks->setText(QStringLiteral("changed %1").arg(++n));
    f.mnuSaveClick();
    return true;
  });
  if (ZEL1.RecordChanged) state.SkipWithError("record not saved");
}
BENCHMARK(BM_EngineSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(50)->UseRealTime();

// The processor time of the children waited for so far (psql).
double childrenSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The processor time of the server process behind ZEL1.cnData so far (0 on the file).
double backendSeconds() {
  if (!ZEL1.cnData.isServer()) return 0;
  Statement st(ZEL1.cnData, "select pg_backend_pid()");
  if (!st.next()) return 0;
  QFile f(QStringLiteral("/proc/%1/stat").arg(st.int64(0)));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  // utime and stime, the 14th and 15th fields, after the command's closing parenthesis.
  const QList<QByteArray> fields = f.readAll().split(')').last().trimmed().split(' ');
  return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

struct ExportFigures {
  double peakRiseMb = 0, cpuSeconds = 0, serverSeconds = 0;
};

// One export into zel.csv; adds the rise of the process's resident memory over the export, the
// program's own processor time and its server process's.
bool exportOnce(benchmark::State& state, ExportFigures& figures) {
  const long before = rssKb();
  resetPeak();
  const double cpu = processSeconds(), server = backendSeconds();
  const ExportWriter::Result r = ExportWriter::write();
  figures.cpuSeconds += processSeconds() - cpu;
  figures.serverSeconds += backendSeconds() - server;
  figures.peakRiseMb = std::max(figures.peakRiseMb, double(peakKb() - before) / 1024.0);
  if (!r.ok) state.SkipWithError(qPrintable(r.error));
  return r.ok;
}

void exportCounters(benchmark::State& state, const ExportFigures& figures) {
  const double n = double(std::max<benchmark::IterationCount>(1, state.iterations()));
  state.counters["peak_rise_MB"] = figures.peakRiseMb;
  state.counters["cpu_ms"] = figures.cpuSeconds * 1000.0 / n;
  if (ZEL1.cnData.isServer()) state.counters["server_cpu_ms"] = figures.serverSeconds * 1000.0 / n;
}

void BM_Export(benchmark::State& state) {
  setup().use(int(state.range(0)));
  ExportFigures figures;
  timed(state, "export", [&] { return exportOnce(state, figures); });
  exportCounters(state, figures);
}

// The export's query through psql's \copy into a CSV file, on the server.
void BM_PsqlCopy(benchmark::State& state) {
  setup().use(1);
  QString psql = QStandardPaths::findExecutable(QStringLiteral("psql"));
  if (psql.isEmpty()) psql = QStringLiteral("/usr/lib/postgresql/15/bin/psql");
  const QString out = setup().dir.filePath(QStringLiteral("copy.csv"));
  const QString copy = QStringLiteral("\\copy (%1) to '%2' with (format csv, header)")
                           .arg(ZEL1.cnData.translate(ExportWriter::query()), out);
  double total = 0, cpu = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    const double children = childrenSeconds();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(psql, {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-d"), setup().server,
                   QStringLiteral("-c"), copy});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
      state.SkipWithError(p.readAll().toStdString().c_str());
      return;
    }
    total += double(t.nsecsElapsed()) / 1e9;
    cpu += childrenSeconds() - children;
  }
  setup().copySeconds = total / double(state.iterations());
  state.counters["MB"] = double(QFile(out).size()) / 1e6;
  state.counters["psql_cpu_ms"] = cpu * 1000.0 / double(state.iterations());
}

// The server's export is timed once more after \copy, so that it can be set beside it.
void BM_ExportServerAgain(benchmark::State& state) {
  setup().use(1);
  double total = 0;
  ExportFigures figures;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    if (!exportOnce(state, figures)) return;
    total += double(t.nsecsElapsed()) / 1e9;
  }
  exportCounters(state, figures);
  if (setup().copySeconds > 0)
    state.counters["x_copy"] = total / double(state.iterations()) / setup().copySeconds;
}

void BM_Report(benchmark::State& state, Report::Id id) {
  setup().use(int(state.range(0)));
  const Report::Format format{QLocale::c(), ZEL1.DateDisplayFormat};
  const Report::Sources sources{ZEL1.DataPath};
  timed(state, Report::definition(id).key, [&] {
    try {
      benchmark::DoNotOptimize(
          Report::build(id, ZEL1.cnData, {1, QStringLiteral("Cemetery")}, format, sources));
    } catch (const DbError& e) {
      state.SkipWithError(qPrintable(e.description()));
      return false;
    }
    return true;
  });
}

// The file's export imported in one transaction, added to the records (/0/) or over them, emptying
// first (/1/, which keeps every removed record in the history), on the file (/0) or the server (/1): the
// file's statement per row against the server's inserts of 200 rows.
void BM_EngineImport(benchmark::State& state) {
  static const QString csv = [] {
    setup().use(0);
    RecordSet rs(&ZEL1.cnData);
    const QString file = setup().dir.filePath(QStringLiteral("import.csv"));
    ExportWriter::write(ZEL1.cnData, rs, file);
    return file;
  }();
  setup().use(int(state.range(1)));
  DelimitedText::Table table;
  DelimitedText::Options options;
  options.format = *DelimitedText::formatFor(csv);
  const DelimitedText::Result loaded = DelimitedText::loadTable(csv, options, table);
  QStringList names;
  for (const QString& t : ExportWriter::titles())
    names << (t == QLatin1String("Name")      ? QStringLiteral("Cemetery")
              : t == QLatin1String("LotDesc") ? QStringLiteral("LotType")
              : RecordImport::fieldFor(t)     ? t
                                              : QString());
  RecordImport::Plan plan;
  plan.mapping = *RecordImport::mappingFromNames(names);
  plan.firstRow = 2;
  plan.lastRow = loaded.lastDataRow;
  plan.dateFormat = ZEL1.DateDisplayFormat;
  plan.names = RecordImport::names(ZEL1.cnData);
  timed(
      state, "import" + std::to_string(state.range(0)),
      [&] {
        try {
          RecordImport::write(ZEL1.cnData, RecordImport::TableSource(table), plan, state.range(0) == 1);
        } catch (const DbError& e) {
          state.SkipWithError(qPrintable(e.description()));
          return false;
        }
        return true;
      },
      1);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  takeRecordsFlag(&argc, argv);
  QApplication app(argc, argv);
  benchmark::RegisterBenchmark("BM_EngineExport", BM_Export)
      ->Arg(0)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_PsqlCopy", BM_PsqlCopy)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_ServerExportAgain", BM_ExportServerAgain)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  for (const Report::Definition& d : Report::definitions())
    benchmark::RegisterBenchmark((std::string("BM_EngineReport_") + d.key).c_str(), BM_Report, d.id)
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
  // Last: it renumbers every record.
  benchmark::RegisterBenchmark("BM_EngineImport", BM_EngineImport)
      ->Args({0, 0})
      ->Args({1, 0})
      ->Args({0, 1})
      ->Args({1, 1})
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  setup();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  setup().form.reset();
  setMessageService(nullptr);
  ZEL1.reset();
  return 0;
}
