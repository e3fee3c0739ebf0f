// The export of the grave records (100,000 unless --records says) to zel.csv (target at 100,000:
// within 1.5 s), compared with the
// sqlcipher command-line shell writing the same rows as CSV.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchRecords.h"
#include "BenchShell.h"
#include "DataGen.h"
#include "core/export/ExportWriter.h"
#include "core/program/Zel1.h"
#include "core/store/Connection.h"

namespace {

const int kRecords = benchRecords();

QTemporaryDir* g_dir = nullptr;
double g_exportSeconds = 0;
double g_cliSeconds = 0;

QString databasePath() { return g_dir->filePath("zel.mdb"); }

void prepare() {
  g_dir = new QTemporaryDir;
  DataGen::Options o;
  o.records = kRecords;
  o.cemeteries = 4;
  o.lotTypes = 8;
  DataGen::makeDatabase(databasePath(), o, QString::fromLatin1(kDatabasePassword));
  ZEL1.DataPath = g_dir->path() + '/';
  ZEL1.cnData.open(databasePath(), QString::fromLatin1(kDatabasePassword));
}

void BM_Export(benchmark::State& state) {
  qint64 records = 0;
  for (auto _ : state) {
    const ExportWriter::Result r = ExportWriter::write();
    if (!r.ok) {
      state.SkipWithError(qPrintable(r.error));
      return;
    }
    records = r.records;
  }
  state.counters["records"] = double(records);
  state.counters["MB"] = double(QFile(ZEL1.dataFile("zel.csv")).size()) / 1e6;
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The same query through the shell: ".mode csv", ".output", keyed with the program's password.
void BM_SqlcipherShell(benchmark::State& state) {
  const QString out = g_dir->filePath("shell.csv");
  const QByteArray script = sqlcipherKeyLine() + ".headers on\n.mode csv\n.output " + out.toUtf8() + "\n" +
                            ZEL1.cnData.translate(ExportWriter::query()).toUtf8() + ";\n";
  for (auto _ : state) {
    const QString error = runSqlcipher(databasePath(), script);
    if (!error.isEmpty()) {
      state.SkipWithError(error.toStdString().c_str());
      return;
    }
  }
  state.counters["MB"] = double(QFile(out).size()) / 1e6;
}
BENCHMARK(BM_SqlcipherShell)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Keeps each run's mean real time so that the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const double seconds = r.GetAdjustedRealTime() / 1000.0;  // reported in milliseconds
      if (r.run_name.function_name == "BM_Export") g_exportSeconds = seconds;
      if (r.run_name.function_name == "BM_SqlcipherShell") g_cliSeconds = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  takeRecordsFlag(&argc, argv);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  prepare();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_exportSeconds > 0)
    std::printf("export of %d records: %.3f s (target 1.5 s per 100,000): %s\n", kRecords, g_exportSeconds,
                g_exportSeconds <= 1.5 * kRecords / 100000 ? "met" : "NOT met");
  if (g_exportSeconds > 0 && g_cliSeconds > 0)
    std::printf("export / sqlcipher shell: %.2f\n", g_exportSeconds / g_cliSeconds);
  ZEL1.reset();
  delete g_dir;
  benchmark::Shutdown();
  return 0;
}
