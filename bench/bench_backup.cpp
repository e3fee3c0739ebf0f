// Backup (with its verification) and restore of a data folder of grave records (100,000 unless
// --records says) and ten
// 200 x 200 maps, against the zip and unzip commands on the same files. Targets: backup within
// 1.5 times zip, restore within 2 times unzip.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchRecords.h"
#include "DataGen.h"
#include "core/backup/DataBackup.h"
#include "core/maps/MapFile.h"
#include "core/store/Connection.h"

namespace {

const int kRecords = benchRecords();
constexpr int kMaps = 10;
constexpr int kMapSize = 200;

QTemporaryDir* g_dir = nullptr;
QString g_data;     // the data folder
QString g_target;   // where archives go
QString g_restore;  // a second data folder that restores land in
QString g_archive;  // an archive made by the program
QMap<QString, double> g_seconds;

// A drawn map: every cell a grave space with its place, as a full cemetery plan.
void writeMap(const QString& path, int id) {
  MapFile::Header h;
  h.maxRows = kMapSize;
  h.maxCols = kMapSize;
  h.cellCount = quint32(kMapSize * kMapSize);
  MapFile::save(path, h, [&](const std::function<void(const MapCell&)>& put) {
    MapCell c;
    c.hasBack = true;
    for (int r = 1; r <= kMapSize; ++r)
      for (int col = 1; col <= kMapSize; ++col) {
        c.row = r;
        c.col = col;
        c.back = (r + col) % 7 ? 0xFFFFFF : 0x008000;
        c.text = QStringLiteral("%1,%2,%3").arg(QChar(u'A' + id)).arg(r).arg(col);
        put(c);
      }
  });
}

void prepare() {
  g_dir = new QTemporaryDir;
  g_data = g_dir->filePath(QStringLiteral("data/"));
  g_target = g_dir->filePath(QStringLiteral("target"));
  g_restore = g_dir->filePath(QStringLiteral("restore/"));
  for (const QString& d : {g_data, g_target, g_restore}) QDir().mkpath(d);
  DataGen::Options o;
  o.records = kRecords;
  o.cemeteries = kMaps;
  o.lotTypes = 8;
  DataGen::makeDatabase(g_data + QStringLiteral("zel.mdb"), o, QString::fromLatin1(kDatabasePassword));
  for (int id = 1; id <= kMaps; ++id) writeMap(MapFile::fileName(g_data, id), id);
  g_archive = g_target + QStringLiteral("/program.zip");
  double bytes = 0;
  for (const QString& f : DataBackup::dataFiles(g_data)) bytes += double(QFile(f).size());
  std::printf("data folder: %d records, %d maps of %d x %d, %.1f MB\n", kRecords, kMaps, kMapSize, kMapSize,
              bytes / 1e6);
}

bool runCommand(benchmark::State& state, const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted() || !p.waitForFinished(-1) || p.exitCode() != 0) {
    state.SkipWithError(qPrintable(program + QStringLiteral(" failed: ") + p.readAllStandardError()));
    return false;
  }
  return true;
}

void BM_Backup(benchmark::State& state) {
  for (auto _ : state) {
    const DataBackup::Result r = DataBackup::backup(g_data, g_archive);
    if (!r.ok()) {
      state.SkipWithError(qPrintable(r.reason));
      return;
    }
  }
  state.counters["MB"] = double(QFile(g_archive).size()) / 1e6;
}
BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// zip as a user would run it on the same files: a new archive each time.
void BM_ZipCommand(benchmark::State& state) {
  const QString archive = g_target + QStringLiteral("/command.zip");
  QStringList args{QStringLiteral("-q"), QStringLiteral("-j"), archive};
  args << DataBackup::dataFiles(g_data);
  for (auto _ : state) {
    state.PauseTiming();
    QFile::remove(archive);
    state.ResumeTiming();
    if (!runCommand(state, QStringLiteral("zip"), args)) return;
  }
  state.counters["MB"] = double(QFile(archive).size()) / 1e6;
}
BENCHMARK(BM_ZipCommand)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_Restore(benchmark::State& state) {
  for (auto _ : state) {
    const DataBackup::Result r = DataBackup::restore(g_archive, g_restore);
    if (!r.ok()) {
      state.SkipWithError(qPrintable(r.reason));
      return;
    }
  }
}
BENCHMARK(BM_Restore)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// unzip of the same archive into a data folder, replacing the files there.
void BM_UnzipCommand(benchmark::State& state) {
  for (auto _ : state)
    if (!runCommand(state, QStringLiteral("unzip"),
                    {QStringLiteral("-q"), QStringLiteral("-o"), g_archive, QStringLiteral("-d"), g_restore}))
      return;
}
BENCHMARK(BM_UnzipCommand)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      g_seconds[QString::fromStdString(r.run_name.function_name)] = r.GetAdjustedRealTime() / 1000.0;
    ConsoleReporter::ReportRuns(runs);
  }
};

void ratio(const char* what, const char* ours, const char* theirs, double target) {
  const double a = g_seconds.value(QString::fromLatin1(ours)),
               b = g_seconds.value(QString::fromLatin1(theirs));
  if (a > 0 && b > 0)
    std::printf("%s: %.3f s / %.3f s = %.2f (target %.1f): %s\n", what, a, b, a / b, target,
                a / b <= target ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
  takeRecordsFlag(&argc, argv);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  prepare();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  ratio("backup with verification / zip", "BM_Backup", "BM_ZipCommand", 1.5);
  ratio("restore / unzip", "BM_Restore", "BM_UnzipCommand", 2.0);
  delete g_dir;
  benchmark::Shutdown();
  return 0;
}
