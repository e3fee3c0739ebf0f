// Reports on 100,000 grave records of one cemetery: the interred list by name and the outstanding
// receivables, each built and shown in the report window (target 1 s), and a 2,000-row report
// printed to PDF (target 5 s); each beside the sqlcipher shell running the same query.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <memory>

#include "DataGen.h"
#include "controls/MessageService.h"
#include "program/Zel1.h"
#include "reports/ReportPages.h"
#include "reports/frmReports.h"
#include "store/Connection.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kPrintedRows = 2000;

// A message would wait for a click: keep it and fail the run instead.
class KeptMessages : public RealMessageService {
 public:
  QString last;
  void information(const QString& text) override { last = text; }
  Answer question(const QString& text, bool) override {
    last = text;
    return Answer::No;
  }
};

struct Setup {
  QTemporaryDir dir;
  KeptMessages msgs;
  QString big, small;  // 100,000 records; 2,000 records, each in one cemetery
  Setup() {
    ZEL1.reset();
    ZEL1.DataPath = dir.path() + u'/';
    DataGen::Options o;
    o.cemeteries = 1;
    o.allStates = false;  // every record a burial: every one is in the interred list
    o.records = kRecords;
    big = dir.filePath(QStringLiteral("zel.mdb"));
    DataGen::makeDatabase(big, o, QString::fromLatin1(kDatabasePassword));
    o.records = kPrintedRows;
    small = dir.filePath(QStringLiteral("small.mdb"));
    DataGen::makeDatabase(small, o, QString::fromLatin1(kDatabasePassword));
    setMessageService(&msgs);
  }
  void use(const QString& file) {
    if (ZEL1.cnData.path() == file) return;
    ZEL1.cnData.close();
    ZEL1.cnData.open(file, QString::fromLatin1(kDatabasePassword));
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

std::map<std::string, double> g_seconds;  // mean seconds per benchmark

void keep(benchmark::State& state, const char* name, double total) {
  g_seconds[name] = total / double(state.iterations());
}

// The report's query through the sqlcipher shell, its output thrown away.
void shell(benchmark::State& state, const char* name, const QString& file, Report::Id id) {
  const QString sql = ZEL1.cnData.translate(Report::sql(id, 1));
  const QString script = QStringLiteral("PRAGMA key='%1'; %2;").arg(QLatin1String(kDatabasePassword), sql);
  double total = 0;
  for (auto _ : state) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("sqlcipher"), {file, script});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
      state.SkipWithError("sqlcipher shell failed");
      return;
    }
    total += double(t.nsecsElapsed()) / 1e9;
  }
  keep(state, name, total);
}

// The report command of a new report window, from the menu to the filled, painted grid.
void buildAndShow(benchmark::State& state, const char* name, Report::Id id) {
  setup().use(setup().big);
  double total = 0;
  int rows = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    auto w = std::make_unique<frmReports>(Report::Format{QLocale::system()});
    w->chooseCemetery = [] {
      ZEL1.CurrentCemeteryId = 1;
      ZEL1.CurrentCemeteryName = QStringLiteral("Hillcrest Cemetery");
      return true;
    };
    w->show();
    const bool built = w->runReport(id);
    QApplication::processEvents();
    total += double(t.nsecsElapsed()) / 1e9;
    if (!built) {
      state.SkipWithError(qPrintable(setup().msgs.last));
      return;
    }
    rows = w->table().count();
    state.PauseTiming();
    w.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["rows"] = rows;
  keep(state, name, total);
}

void BM_InterredByName(benchmark::State& s) { buildAndShow(s, "interred", Report::Id::InterredByName); }
void BM_InterredByNameShell(benchmark::State& s) {
  shell(s, "interred shell", setup().big, Report::Id::InterredByName);
}
void BM_Receivables(benchmark::State& s) { buildAndShow(s, "receivables", Report::Id::Receivables); }
void BM_ReceivablesShell(benchmark::State& s) {
  shell(s, "receivables shell", setup().big, Report::Id::Receivables);
}

// Printing the interred list of a 2,000-record cemetery to a PDF file, as the print command does
// once the printer is chosen.
void BM_PrintPdf(benchmark::State& state) {
  setup().use(setup().small);
  const Report::Table table =
      Report::build(Report::Id::InterredByName, ZEL1.cnData, {1, QStringLiteral("Hillcrest Cemetery")},
                    Report::Format{QLocale::system()});
  const QString file = setup().dir.filePath(QStringLiteral("report.pdf"));
  double total = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    const bool ok = Report::paintPages(printer, table,
                                       {table.title, Report::pageDate(QDate::currentDate()), ZEL1.DataPath});
    total += double(t.nsecsElapsed()) / 1e9;
    if (!ok) {
      state.SkipWithError("printing failed");
      return;
    }
  }
  state.counters["rows"] = table.count();
  keep(state, "print", total);
}
void BM_PrintPdfShell(benchmark::State& s) {
  shell(s, "print shell", setup().small, Report::Id::InterredByName);
}

BENCHMARK(BM_InterredByName)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_InterredByNameShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Receivables)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReceivablesShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PrintPdf)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PrintPdfShell)->Unit(benchmark::kMillisecond)->Iterations(5);

void summary(const char* label, const char* name, double target) {
  const double s = g_seconds[name], cli = g_seconds[std::string(name) + " shell"];
  if (s <= 0) return;
  std::printf("%-38s %6.3f s (target %.0f s, %s); sqlcipher shell %.3f s\n", label, s, target,
              s <= target ? "met" : "NOT met", cli);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  setup();
  benchmark::RunSpecifiedBenchmarks();
  summary("interred list by name, built and shown", "interred", 1);
  summary("outstanding receivables, built and shown", "receivables", 1);
  summary("2,000-row report printed to PDF", "print", 5);
  benchmark::Shutdown();
  setMessageService(nullptr);
  ZEL1.reset();
  return 0;
}
