// Store speed on a large database: writing the records (100,000 unless --records says) and reading
// them the ways the windows do.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>

#include "BenchRecords.h"
#include "DataGen.h"
#include "core/history/History.h"
#include "core/store/Connection.h"
#include "core/store/RecordSet.h"

namespace {

const int kRecords = benchRecords();

// One keyed database of kRecords records shared by the reading benchmarks.
struct BigDatabase {
  QTemporaryDir dir;
  QString file = dir.filePath(QStringLiteral("zel.mdb"));
  Connection cn;
  BigDatabase() {
    DataGen::Options o;
    o.records = kRecords;
    DataGen::makeDatabase(file, o, QString::fromLatin1(kDatabasePassword));
    cn.open(file, QString::fromLatin1(kDatabasePassword));
  }
};

BigDatabase& big() {
  static BigDatabase db;
  return db;
}

void BM_GenerateRecords(benchmark::State& state) {
  QTemporaryDir dir;
  DataGen::Options o;
  o.records = int(state.range(0));
  int n = 0;
  for (auto _ : state) {
    DataGen::makeDatabase(dir.filePath(QStringLiteral("gen%1.mdb").arg(n++)), o,
                          QString::fromLatin1(kDatabasePassword));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GenerateRecords)->Arg(kRecords)->Unit(benchmark::kMillisecond)->Iterations(2);

// The record form's set: every record of the file in place order, then its last row.
void BM_OpenStaticKeyedSet(benchmark::State& state) {
  Connection& cn = big().cn;
  for (auto _ : state) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select * from zel order by csection, lot, grave"), RecordSet::Cursor::Static);
    rs.moveLast();
    benchmark::DoNotOptimize(rs.field(QStringLiteral("recid")));
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_OpenStaticKeyedSet)->Unit(benchmark::kMillisecond);

// Stepping through a static keyed set: each move reads one row.
void BM_StepStaticKeyedSet(benchmark::State& state) {
  RecordSet rs(&big().cn);
  rs.open(QStringLiteral("select * from zel order by interlastname, interfirstname"),
          RecordSet::Cursor::Static);
  for (auto _ : state) {
    rs.moveNext();
    if (rs.eof()) rs.moveFirst();
    benchmark::DoNotOptimize(rs.field(QStringLiteral("interlastname")));
  }
}
BENCHMARK(BM_StepStaticKeyedSet);

// A report's or the export's read: every row once, forward only, a few fields by name.
void BM_ReadAllForwardOnly(benchmark::State& state) {
  Connection& cn = big().cn;
  for (auto _ : state) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral(
        "select * from zel where purchprice+burialfee<>amtpaid order by ownerlastname, ownerfirstname"));
    Money total;
    for (; !rs.eof(); rs.moveNext())
      total += rs.field(QStringLiteral("purchprice")).toMoney() +
               rs.field(QStringLiteral("burialfee")).toMoney() -
               rs.field(QStringLiteral("amtpaid")).toMoney();
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_ReadAllForwardOnly)->Unit(benchmark::kMillisecond);

// Find by the interred's last name, as the record form runs the find dialog's query: a static set of
// the matching records, then the first one shown. Every letter folds, so LIKE reads each row.
void BM_FindByInterredLastName(benchmark::State& state, const char* typed) {
  Connection& cn = big().cn;
  int found = 0;
  for (auto _ : state) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select * from zel where interlastname like '%1%' ").arg(QString::fromUtf8(typed)),
            RecordSet::Cursor::Static);
    found = rs.recordCount();
    if (!rs.eof()) benchmark::DoNotOptimize(rs.field(QStringLiteral("interlastname")));
  }
  state.counters["found"] = found;
}
BENCHMARK_CAPTURE(BM_FindByInterredLastName, lower_case, "kowalski")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindByInterredLastName, upper_case, "KOWALSKI")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindByInterredLastName, accented, "ÉLOÏSE")->Unit(benchmark::kMillisecond);

qint64 fileBytes(Connection& cn) {
  const auto pragma = [&cn](const char* name) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
    return rs.field(0).toInt();
  };
  return pragma("page_count") * pragma("page_size");
}

// Saving a stored record after one field was changed, as the record form writes it: plainly (arg 0)
// and with its history entry in the same transaction (arg 1). bytes_per_field is what the file grew
// by for each entry.
void BM_SaveChangedField(benchmark::State& state) {
  const bool withHistory = state.range(0) != 0;
  Connection& cn = big().cn;
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select * from zel where recid=%1").arg(kRecords / 2), RecordSet::Cursor::Static);
  const qint64 before = fileBytes(cn);
  int n = withHistory ? 100000 : 200000;  // the same length of text every time
  for (auto _ : state) {
    rs.assign(QStringLiteral("remarks"), QStringLiteral("changed %1").arg(++n));
    if (withHistory)
      History::saveRow(cn, rs, QStringLiteral("zel"));
    else
      rs.update();
  }
  if (withHistory)
    state.counters["bytes_per_field"] = double(fileBytes(cn) - before) / double(state.iterations());
}
BENCHMARK(BM_SaveChangedField)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(300);

}  // namespace

int main(int argc, char** argv) {
  takeRecordsFlag(&argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
