// zelmora-cli on a data folder of 100,000 grave records (or --records N) in one cemetery with its
// drawn map, each command timed as a whole process, as a scheduled job runs it:
//   export            within 1.1 times the sqlcipher shell writing the same rows as CSV
//   report as CSV     the interred list by name, within 1 s
//   check             within 2 s
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "BenchRecords.h"
#include "BenchShell.h"
#include "core/export/ExportWriter.h"
#include "core/store/Connection.h"

namespace {

const int kRecords = benchRecords();

QTemporaryDir* g_dir = nullptr;
std::map<std::string, double> g_seconds;

QString dataPath() { return g_dir->path() + QLatin1Char('/'); }

// Runs a program to its end; false with its error output when it failed.
bool run(const QString& program, const QStringList& args, QByteArray* error = nullptr,
         const QByteArray& input = {}) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted()) {
    if (error) *error = program.toUtf8() + " could not be started";
    return false;
  }
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();
  p.waitForFinished(-1);
  if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0) return true;
  if (error) *error = p.readAllStandardError();
  return false;
}

void prepare() {
  g_dir = new QTemporaryDir;
  QByteArray error;
  if (!run(QStringLiteral(ZEL_SEED),
           {QStringLiteral("--records"), QString::number(kRecords), QStringLiteral("--cemeteries"),
            QStringLiteral("1"), QStringLiteral("--lot-types"), QStringLiteral("8"), QStringLiteral("--map"),
            dataPath() + QStringLiteral("zelmap1.dat"), dataPath() + QStringLiteral("zel.mdb")},
           &error)) {
    std::fprintf(stderr, "zel_seed failed: %s\n", error.constData());
    std::exit(1);
  }
}

void cliCommand(benchmark::State& state, const QStringList& args) {
  for (auto _ : state) {
    QByteArray error;
    if (!run(QStringLiteral(ZEL_CLI), args, &error)) {
      state.SkipWithError(error.constData());
      return;
    }
  }
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The export and the sqlcipher shell writing the export's query as CSV (".mode csv", keyed with the
// program's password) take turns, so that a change in the machine's load falls on both alike; the
// figures are the medians of the runs and of the ratios of each pair.
void BM_ExportBesideShell(benchmark::State& state) {
  const QString out = g_dir->filePath(QStringLiteral("export.csv"));
  const QString shellOut = g_dir->filePath(QStringLiteral("shell.csv"));
  Connection cn;
  const QByteArray script = "PRAGMA key = '" + QByteArray(kDatabasePassword) +
                            "';\n.headers on\n.mode csv\n.output " + shellOut.toUtf8() + "\n" +
                            forShell(cn.translate(ExportWriter::query())).toUtf8() + ";\n";
  std::vector<double> cli, shell, ratio;
  for (auto _ : state) {
    QByteArray error;
    QElapsedTimer t;
    t.start();
    if (!run(QStringLiteral(ZEL_CLI), {QStringLiteral("export"), dataPath(), QStringLiteral("-o"), out},
             &error)) {
      state.SkipWithError(error.constData());
      return;
    }
    cli.push_back(t.nsecsElapsed() / 1e9);
    t.start();
    if (!run(QStringLiteral("sqlcipher"),
             {QStringLiteral("-batch"), shellCopy(dataPath() + QStringLiteral("zel.mdb"))}, &error, script)) {
      state.SkipWithError(error.constData());
      return;
    }
    shell.push_back(t.nsecsElapsed() / 1e9);
    ratio.push_back(cli.back() / shell.back());
    state.SetIterationTime(cli.back());
  }
  g_seconds["export"] = median(cli);
  g_seconds["shell"] = median(shell);
  g_seconds["ratio"] = median(ratio);
  state.counters["shell_ms"] = median(shell) * 1000;
  state.counters["ratio"] = median(ratio);
  state.counters["MB"] = double(QFile(out).size()) / 1e6;
}
BENCHMARK(BM_ExportBesideShell)->Unit(benchmark::kMillisecond)->Iterations(9)->UseManualTime();

void BM_CliReportInterredCsv(benchmark::State& state) {
  const QString out = g_dir->filePath(QStringLiteral("interred.csv"));
  cliCommand(state, {QStringLiteral("report"), QStringLiteral("interred-by-name"), dataPath(),
                     QStringLiteral("--cemetery"), QStringLiteral("1"), QStringLiteral("-o"), out});
  QFile f(out);
  if (f.open(QIODevice::ReadOnly)) state.counters["rows"] = double(f.readAll().count('\n'));
}
BENCHMARK(BM_CliReportInterredCsv)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_CliCheck(benchmark::State& state) { cliCommand(state, {QStringLiteral("check"), dataPath()}); }
BENCHMARK(BM_CliCheck)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

class Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_name.function_name != "BM_ExportBesideShell")
        g_seconds[r.run_name.function_name] = r.GetAdjustedRealTime() / 1000.0;
    ConsoleReporter::ReportRuns(runs);
  }
};

void verdict(const char* what, double seconds, double limit) {
  if (seconds > 0)
    std::printf("%s: %.3f s (target %.1f s): %s\n", what, seconds, limit,
                seconds <= limit ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
  takeRecordsFlag(&argc, argv);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  prepare();
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (const double ratio = g_seconds["ratio"]; ratio > 0)
    std::printf(
        "export of %d records / sqlcipher shell CSV, medians: %.3f s / %.3f s, ratio %.2f (target 1.10): "
        "%s\n",
        kRecords, g_seconds["export"], g_seconds["shell"], ratio, ratio <= 1.1 ? "met" : "NOT met");
  verdict("report interred-by-name as CSV", g_seconds["BM_CliReportInterredCsv"], 1.0);
  verdict("check", g_seconds["BM_CliCheck"], 2.0);
  delete g_dir;
  benchmark::Shutdown();
  return 0;
}
