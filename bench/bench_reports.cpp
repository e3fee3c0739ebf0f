// Reports on the grave records of one cemetery (100,000 unless --records says): the interred list by name and
// the outstanding receivables, each built and shown in the report window (target 1 s), and a 2,000-row report
// printed to PDF (target 5 s); each beside the sqlcipher shell running the same query.
// The reports that read the map too (available graves, map check, aged receivables) on as many
// records in every state with a 1000 x 1000 map, each built and shown (target 1 s), and Save As
// CSV of the whole interred list (target 1 s), beside the shell writing the same CSV.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>

#include "BenchRecords.h"
#include "BenchShell.h"
#include "DataGen.h"
#include "PeakMemory.h"
#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/Connection.h"
#include "core/store/RecordSet.h"
#include "gui/controls/MessageService.h"
#include "gui/reports/ReportGrid.h"
#include "gui/reports/frmReports.h"
#include "render/ReportPages.h"
#include "support/ScriptedMessages.h"

namespace {

const int kRecords = benchRecords();
constexpr int kPrintedRows = 2000;

// A 1000 x 1000 map: a road every tenth row, every other cell a grave space. The first spaces are
// the places of the records, the rest spaces without a record in sections of a thousand.
void writeMap(const QString& file, Connection& cn) {
  QStringList places;
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select csection, lot, grave from zel order by recid"));
  for (; !rs.eof(); rs.moveNext())
    places << rs.field(0).toString() + u',' + rs.field(1).toString() + u',' + rs.field(2).toString();
  rs.close();
  constexpr int kSize = 1000;
  MapFile::Header h;
  h.maxRows = kSize;
  h.maxCols = kSize;
  h.defaultBack = 0x008000;
  h.cellCount = kSize * kSize;
  MapFile::save(file, h, [&](const std::function<void(const MapCell&)>& put) {
    qsizetype k = 0;
    MapCell c;
    c.hasBack = true;
    for (int r = 1; r <= kSize; ++r)
      for (int col = 1; col <= kSize; ++col) {
        c.row = r;
        c.col = col;
        if (r % 10 == 0) {
          c.text.clear();
          c.back = 0x000000;
        } else {
          c.back = 0xFFFFFF;
          c.text = k < places.size()
                       ? places[k]
                       : QStringLiteral("N%1,%2,%3").arg(k / 1000).arg(k % 1000 / 10 + 1).arg(k % 10 + 1);
          ++k;
        }
        put(c);
      }
  });
}

struct Setup {
  QTemporaryDir dir;
  ScriptedMessages msgs{ScriptedMessages::Mode::Permissive};
  QString big, small;  // kRecords records; 2,000 records, each in one cemetery
  QString mapped;      // kRecords records in every state, with the map
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
    o.records = kRecords;
    o.allStates = true;
    mapped = dir.filePath(QStringLiteral("mapped.mdb"));
    DataGen::makeDatabase(mapped, o, QString::fromLatin1(kDatabasePassword));
    use(mapped);
    writeMap(MapFile::fileName(ZEL1.DataPath, 1), ZEL1.cnData);
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
  const double seconds = sqlcipherShellSeconds(state, file, ZEL1.cnData.translate(Report::sql(id, 1)));
  if (seconds >= 0) g_seconds[name] = seconds;
}

// A report window that has built a report of cemetery 1.
std::unique_ptr<frmReports> reportWindow(Report::Id id, bool* built) {
  auto w = std::make_unique<frmReports>(Report::Format{QLocale::system()});
  // The cemetery chooser answers with cemetery 1.
  setup().msgs.expectModal(QStringLiteral("frmCemeterySelect"), [](QDialog&) {
    ZEL1.CurrentCemeteryId = 1;
    ZEL1.CurrentCemeteryName = QStringLiteral("Hillcrest Cemetery");
    return 1;
  });
  w->show();
  *built = w->runReport(id);
  QApplication::processEvents();
  return w;
}

// The report command of a new report window, from the menu to the filled, painted grid.
void buildAndShow(benchmark::State& state, const char* name, Report::Id id, const QString& file) {
  setup().use(file);
  double total = 0;
  int rows = 0;
  resetPeak();
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    bool built = false;
    auto w = reportWindow(id, &built);
    total += double(t.nsecsElapsed()) / 1e9;
    if (!built) {
      state.SkipWithError(qPrintable(setup().msgs.last()));
      return;
    }
    rows = w->table().count();
    state.PauseTiming();
    w.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["rows"] = rows;
  state.counters["peak MB"] = double(peakKb()) / 1024;
  keep(state, name, total);
}

void BM_InterredByName(benchmark::State& s) {
  buildAndShow(s, "interred", Report::Id::InterredByName, setup().big);
}
void BM_InterredByNameShell(benchmark::State& s) {
  shell(s, "interred shell", setup().big, Report::Id::InterredByName);
}
void BM_Receivables(benchmark::State& s) {
  buildAndShow(s, "receivables", Report::Id::Receivables, setup().big);
}
void BM_ReceivablesShell(benchmark::State& s) {
  shell(s, "receivables shell", setup().big, Report::Id::Receivables);
}

// Where the window's time goes on the interred list, in processor time (this machine is shared, so
// its clock says little about parts): the query stepped through without reading a field, under the
// program's order of names and under the shell's; the table built from it (query, fields, texts);
// and the grid shown over it.
double cpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void BM_InterredByNameParts(benchmark::State& state) {
  setup().use(setup().big);
  const QString sql = Report::sql(Report::Id::InterredByName, 1);
  double names = 0, nocase = 0, build = 0, show = 0;
  auto step = [](const QString& query) {
    const double start = cpuMs();
    RecordSet rs(&ZEL1.cnData);
    rs.open(query, RecordSet::Cursor::ForwardOnly);
    while (!rs.eof()) rs.moveNext();
    return cpuMs() - start;
  };
  for (auto _ : state) {
    names += step(sql);
    nocase += step(forShell(sql));
    double start = cpuMs();
    const Report::Table table =
        Report::build(Report::Id::InterredByName, ZEL1.cnData, {1, QStringLiteral("Hillcrest Cemetery")},
                      Report::Format{QLocale::system()});
    build += cpuMs() - start;
    start = cpuMs();
    ReportGrid grid;
    grid.showTable(&table);
    grid.show();
    QApplication::processEvents();
    show += cpuMs() - start;
  }
  const double n = double(state.iterations());
  state.counters["query ms"] = names / n;
  state.counters["query nocase ms"] = nocase / n;
  state.counters["build ms"] = build / n;
  state.counters["show ms"] = show / n;
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
    const bool ok = Report::paintPages(
        printer, table,
        {table.title, Report::pageDate(QDate::currentDate(), table.datePattern), ZEL1.DataPath});
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

void BM_AvailableGraves(benchmark::State& s) {
  buildAndShow(s, "available", Report::Id::AvailableGraves, setup().mapped);
}
void BM_AvailableGravesShell(benchmark::State& s) {
  shell(s, "available shell", setup().mapped, Report::Id::AvailableGraves);
}
void BM_MapCheck(benchmark::State& s) { buildAndShow(s, "map check", Report::Id::MapCheck, setup().mapped); }
void BM_MapCheckShell(benchmark::State& s) {
  shell(s, "map check shell", setup().mapped, Report::Id::MapCheck);
}
void BM_AgedReceivables(benchmark::State& s) {
  buildAndShow(s, "aged", Report::Id::AgedReceivables, setup().mapped);
}
void BM_AgedReceivablesShell(benchmark::State& s) {
  shell(s, "aged shell", setup().mapped, Report::Id::AgedReceivables);
}

// Save As CSV of the shown interred list, from the chosen file to the file in place.
void BM_SaveCsv(benchmark::State& state) {
  setup().use(setup().big);
  bool built = false;
  auto w = reportWindow(Report::Id::InterredByName, &built);
  if (!built) {
    state.SkipWithError(qPrintable(setup().msgs.last()));
    return;
  }
  setup().msgs.defaults.saveFile = setup().dir.filePath(QStringLiteral("interred.csv"));
  setup().msgs.defaults.saveFilter = QStringLiteral("CSV files (*.csv)");
  double total = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    w->mnuSaveAsClick();
    total += double(t.nsecsElapsed()) / 1e9;
    if (!setup().msgs.last().isEmpty()) {
      state.SkipWithError(qPrintable(setup().msgs.last()));
      return;
    }
  }
  state.counters["rows"] = w->table().count();
  state.counters["MB"] = double(QFileInfo(setup().msgs.defaults.saveFile).size()) / 1e6;
  keep(state, "csv", total);
}
// The shell writing the same rows as CSV into a file.
void BM_SaveCsvShell(benchmark::State& state) {
  const QString sql = ZEL1.cnData.translate(Report::sql(Report::Id::InterredByName, 1));
  const QString out = setup().dir.filePath(QStringLiteral("shell.csv"));
  const double seconds = sqlcipherShellSeconds(
      state, setup().big, QStringLiteral(".headers on\n.mode csv\n.output %1\n%2;\n").arg(out, sql).toUtf8());
  if (seconds >= 0) g_seconds["csv shell"] = seconds;
}

BENCHMARK(BM_InterredByName)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_InterredByNameShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_InterredByNameParts)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Receivables)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReceivablesShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PrintPdf)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PrintPdfShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AvailableGraves)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AvailableGravesShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MapCheck)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MapCheckShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AgedReceivables)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AgedReceivablesShell)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveCsv)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveCsvShell)->Unit(benchmark::kMillisecond)->Iterations(5);

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
  takeRecordsFlag(&argc, argv);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  setup();
  benchmark::RunSpecifiedBenchmarks();
  summary("interred list by name, built and shown", "interred", 1);
  summary("outstanding receivables, built and shown", "receivables", 1);
  summary("2,000-row report printed to PDF", "print", 5);
  summary("available graves (1000 x 1000 map), shown", "available", 1);
  summary("map check (1000 x 1000 map), shown", "map check", 1);
  summary("aged receivables, built and shown", "aged", 1);
  summary("interred list saved as CSV", "csv", 1);
  benchmark::Shutdown();
  setMessageService(nullptr);
  ZEL1.reset();
  return 0;
}
