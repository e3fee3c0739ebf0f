// The record form on a large database: the first record in place order, stepping with Next, and
// saving a changed record; and the plain sqlcipher shell reading the same rows for comparison.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "BenchRecords.h"
#include "BenchShell.h"
#include "DataGen.h"
#include "core/program/Zel1.h"
#include "gui/controls/MessageService.h"
#include "gui/records/frmDataEntry.h"
#include "support/ScriptedMessages.h"

namespace {

const int kRecords = benchRecords();
const QString kOrder = QStringLiteral("select * from zel order by csection, lot, grave");

struct Setup {
  QTemporaryDir dir;
  ScriptedMessages msgs{ScriptedMessages::Mode::Permissive};
  std::unique_ptr<frmDataEntry> form;
  double cliSeconds = 0;
  Setup() {
    ZEL1.reset();
    ZEL1.DataPath = dir.path() + u'/';
    ZEL1.DateDisplayFormat = QStringLiteral("mm-dd-yyyy");
    DataGen::Options o;
    o.records = kRecords;
    DataGen::makeDatabase(ZEL1.dataFile(QStringLiteral("zel.mdb")), o,
                          QString::fromLatin1(kDatabasePassword));
    ZEL1.cnData.open(ZEL1.dataFile(QStringLiteral("zel.mdb")), QString::fromLatin1(kDatabasePassword));
    form = std::make_unique<frmDataEntry>();
    form->resize(1000, 680);
    form->show();
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

// The same rows in the same order through the sqlcipher shell, output thrown away.
void BM_SqlcipherShell(benchmark::State& state) {
  const double seconds = sqlcipherShellSeconds(state, ZEL1.dataFile(QStringLiteral("zel.mdb")), kOrder);
  if (seconds >= 0) setup().cliSeconds = seconds;
}
BENCHMARK(BM_SqlcipherShell)->Unit(benchmark::kMillisecond)->Iterations(5);

// "Get First Record" with "Sort by Location" over every record.
void BM_GetFirstRecord(benchmark::State& state) {
  frmDataEntry& f = *setup().form;
  f.ui().Option1->setChecked(true);
  double total = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    f.mnuGetFirstClick();
    total += double(t.nsecsElapsed()) / 1e9;
    if (failed(state)) return;
  }
  if (f.ui().txtRecordNum->text().isEmpty()) state.SkipWithError("no record shown");
  const double mean = total / double(state.iterations());
  if (setup().cliSeconds > 0) state.counters["x_shell"] = mean / setup().cliSeconds;
}
BENCHMARK(BM_GetFirstRecord)->Unit(benchmark::kMillisecond)->Iterations(10);

// "Get Last Record" with "Sort by Location": the set read from its other end.
void BM_GetLastRecord(benchmark::State& state) {
  frmDataEntry& f = *setup().form;
  f.ui().Option1->setChecked(true);
  for (auto _ : state) {
    f.mnuGetLastClick();
    if (failed(state)) return;
  }
  if (f.ui().txtRecordNum->text().isEmpty()) state.SkipWithError("no record shown");
}
BENCHMARK(BM_GetLastRecord)->Unit(benchmark::kMillisecond)->Iterations(10);

// One Next step (1,000 of them after a First).
void BM_GetNextRecord(benchmark::State& state) {
  frmDataEntry& f = *setup().form;
  f.mnuGetFirstClick();
  for (auto _ : state) {
    f.mnuGetNextClick();
    if (failed(state)) return;
  }
}
BENCHMARK(BM_GetNextRecord)->Unit(benchmark::kMicrosecond)->Iterations(1000);

// Saving a stored record after one field was changed.
void BM_SaveChangedRecord(benchmark::State& state) {
  frmDataEntry& f = *setup().form;
  f.mnuGetFirstClick();
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    f.ui().txtRemarks->setText(QStringLiteral("changed %1").arg(++n));
    state.ResumeTiming();
    f.mnuSaveClick();
    if (failed(state)) return;
  }
  if (ZEL1.RecordChanged) state.SkipWithError("record not saved");
}
BENCHMARK(BM_SaveChangedRecord)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  takeRecordsFlag(&argc, argv);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  setup();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  setup().form.reset();
  setMessageService(nullptr);
  ZEL1.reset();
  return 0;
}
