// A data folder of grave records (100,000 unless --records says) moved onto a server (share) and the
// backup of that server folder, each run once, with its processor time and the rise of the
// process's peak resident memory over it: a copy holds a batch of rows, never a whole table. The
// server is ZEL_BENCH_SERVER (a libpq connection string of an empty database) or, without it, a
// throwaway cluster of this program's own (the tests' TestServer).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <unistd.h>

#include "BenchRecords.h"
#include "DataGen.h"
#include "PeakMemory.h"
#include "core/backup/DataBackup.h"
#include "core/share/OfficeShare.h"
#include "core/maps/MapRows.h"
#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/Statement.h"
#include "core/store/TableCopy.h"
#include "support/TestServer.h"

namespace {

const int kRecords = benchRecords();
QTemporaryDir* g_dir = nullptr;
QString g_data;  // the data folder, on the server after BM_Share
QString g_file;  // a copy of its database, for the copies alone

QString newServerDatabase() {
  QString server = qEnvironmentVariable("ZEL_BENCH_SERVER");
  if (!server.isEmpty()) return server;
  if (!TestServer::shared().problem().isEmpty())
    qFatal("bench_share: %s", qPrintable(TestServer::shared().problem()));
  return TestServer::shared().newDatabase();
}

// The processor time of the server process behind cn so far.
double backendSeconds(Connection& cn) {
  Statement st(cn, "select pg_backend_pid()");
  if (!st.next()) return 0;
  QFile f(QStringLiteral("/proc/%1/stat").arg(st.int64(0)));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  // utime and stime, the 14th and 15th fields, after the command's closing parenthesis.
  const QList<QByteArray> fields = f.readAll().split(')').last().trimmed().split(' ');
  return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Runs work once per iteration with the processor time and the peak's rise over the memory in use
// before it as counters. A figure of its own needs a run of its own (--benchmark_filter): the
// allocator keeps what earlier work freed.
template <typename Work>
void measured(benchmark::State& state, Work work) {
  double cpu = 0, rise = 0;
  for (auto _ : state) {
    malloc_trim(0);  // what earlier work freed leaves the resident memory: the rise is this work's own
    const long before = rssKb();
    resetPeak();
    const double start = processSeconds();
    const QString problem = work();
    cpu += processSeconds() - start;
    rise = std::max(rise, double(peakKb() - before) / 1024.0);
    if (!problem.isEmpty()) {
      state.SkipWithError(qPrintable(problem));
      return;
    }
  }
  state.counters["cpu_s"] = cpu / double(std::max<benchmark::IterationCount>(1, state.iterations()));
  state.counters["peak_rise_MB"] = rise;
}

// The records alone copied from the file into a server's transaction (rolled back), then from that
// server's transaction into a new file: TableCopy::copyAll each way, with the server process's time.
void BM_CopyToServerAndBack(benchmark::State& state) {
  double serverCpu = 0;
  measured(state, [&]() -> QString {
    try {
      Connection file, srv, back;
      openProgramDatabase(file, g_file);
      srv.openServer(newServerDatabase());
      Schema::create(srv);
      MapRows::createTable(srv);
      const double start = backendSeconds(srv);
      srv.beginTransaction();
      file.beginTransaction();
      TableCopy::copyAll(file, srv);
      file.rollback();
      std::printf("  to the server: %.1f s processor time of the server process\n", backendSeconds(srv) - start);
      back.create(g_dir->filePath(QStringLiteral("back.mdb")), QString::fromLatin1(kDatabasePassword));
      Schema::create(back);
      back.beginTransaction();
      TableCopy::copyAll(srv, back, {QStringLiteral("zelmaps")});
      back.commit();
      srv.rollback();
      serverCpu += backendSeconds(srv) - start;
    } catch (const DbError& e) {
      return e.description();
    }
    return QString();
  });
  state.counters["server_cpu_s"] = serverCpu;
}
BENCHMARK(BM_CopyToServerAndBack)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_Share(benchmark::State& state) {
  const QString server = newServerDatabase();
  measured(state, [&] {
    const OfficeShare::Result r = OfficeShare::share(g_data, server);
    return r.ok ? QString() : r.text;
  });
}
BENCHMARK(BM_Share)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_ServerFolderBackup(benchmark::State& state) {
  int n = 0;
  measured(state, [&] {
    const DataBackup::Result r =
        DataBackup::backup(g_data, g_dir->filePath(QStringLiteral("backup%1.zip").arg(++n)));
    return r.ok() ? QString() : r.reason;
  });
}
BENCHMARK(BM_ServerFolderBackup)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  takeRecordsFlag(&argc, argv);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  g_dir = new QTemporaryDir;
  g_data = g_dir->filePath(QStringLiteral("data/"));
  QDir().mkpath(g_data);
  DataGen::Options o;
  o.records = kRecords;
  DataGen::makeDatabase(g_data + QStringLiteral("zel.mdb"), o, QString::fromLatin1(kDatabasePassword));
  g_file = g_dir->filePath(QStringLiteral("copy.mdb"));
  QFile::copy(g_data + QStringLiteral("zel.mdb"), g_file);
  std::printf("data folder: %d records, %.1f MB\n", kRecords,
              double(QFileInfo(g_data + QStringLiteral("zel.mdb")).size()) / 1e6);
  benchmark::RunSpecifiedBenchmarks();
  delete g_dir;
  benchmark::Shutdown();
  return 0;
}
