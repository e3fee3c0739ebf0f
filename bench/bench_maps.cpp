// Map speed: a 1000 x 1000 map loaded, cleaned up by the editor, saved, and coloured by the viewer
// against the grave records (100,000 unless --records says). Peak memory of the process is reported at the
// end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "BenchRecords.h"
#include "PeakMemory.h"
#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/Schema.h"
#include "gui/controls/GridControl.h"
#include "gui/maps/MapColors.h"
#include "gui/maps/frmMapEdit.h"
#include "gui/maps/frmViewMap.h"

namespace {

constexpr int kSize = 1000;
const int kRecords = benchRecords();

struct Fixture {
  QTemporaryDir dir;
  QString oldMap;  // without the marker, some cells coloured by an earlier version
  QString newMap;  // with the marker

  Fixture() {
    ZEL1.reset();
    ZEL1.DataPath = dir.path() + QLatin1Char('/');
    ZEL1.DateDisplayFormat = QStringLiteral("mm-dd-yyyy");
    ZEL1.cnData.create(ZEL1.DataPath + QStringLiteral("zel.mdb"), QString::fromLatin1(kDatabasePassword));
    Schema::create(ZEL1.cnData);
    ZEL1.cnData.execute(QStringLiteral("insert into cemetery (cemeteryid, name) values (1, 'Bench')"));
    // Grave (r, c) of the first hundred rows: section r, lot c, grave 1; states in turn.
    const QString last = QString::number(kRecords - 1), size = QString::number(kSize);
    ZEL1.cnData.execute(
        QStringLiteral(
            "insert into zel (cemeteryid, csection, lot, grave, status, interlastname, interfirstname) "
            "with recursive n(i) as (select 0 union all select i+1 from n where i<") +
        last + QStringLiteral(") select 1, cast(i/") + size + QStringLiteral("+1 as text), cast(i % ") +
        size +
        QStringLiteral(
            "+1 as text), '1', case i % 4 when 0 then 'B' when 1 then 'S' when 2 then 'R' else ' ' end, "
            "'Last', 'First' from n"));
    ZEL1.CurrentCemeteryId = 1;

    // The maps are written straight to their files, so the sheet is never held by the fixture.
    auto write = [&](const QString& name, bool marker) {
      MapFile::Header h;
      h.maxRows = kSize;
      h.maxCols = kSize;
      h.defaultBack = 0x008000;  // unused space
      h.cellCount = (marker ? 1 : 0) + kSize * kSize;
      MapFile::save(name, h, [&](const std::function<void(const MapCell&)>& put) {
        MapCell c;
        if (marker) {
          c.text = QString::fromLatin1(kMapMarker);
          put(c);
        }
        for (int r = 1; r <= kSize; ++r)
          for (int col = 1; col <= kSize; ++col) {
            c.row = r;
            c.col = col;
            c.hasBack = true;
            if (r % 10 == 0) {  // a road every tenth row
              c.text.clear();
              c.back = 0x000000;
            } else {
              c.text = QString::number(r) + QLatin1Char(',') + QString::number(col) + QStringLiteral(",1");
              // An earlier version left a third of each third row coloured by state.
              c.back = (!marker && r % 3 == 1 && col <= kSize / 3) ? 0xFF0000 : 0xFFFFFF;
            }
            put(c);
          }
      });
    };
    oldMap = ZEL1.DataPath + QStringLiteral("old.dat");
    write(oldMap, false);
    newMap = MapFile::fileName(ZEL1.DataPath, 1);
    write(newMap, true);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_LoadMap(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    state.PauseTiming();
    auto g = std::make_unique<GridControl>();
    state.ResumeTiming();
    benchmark::DoNotOptimize(g->loadFromFile(f.newMap));
    state.PauseTiming();
    g.reset();
    state.ResumeTiming();
  }
}

// The file alone: checked and decoded, the cells dropped (the rest of the load is the sheet's).
void BM_ReadMapFile(benchmark::State& state) {
  Fixture& f = fixture();
  qint64 cells = 0;
  for (auto _ : state)
    MapFile::read(
        f.newMap, [](const MapFile::Header&) {}, [&](MapCell&& c) { cells += c.text.size(); });
  benchmark::DoNotOptimize(cells);
}

void BM_EditorCleanUp(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    state.PauseTiming();
    auto g = std::make_unique<GridControl>();
    g->loadFromFile(f.oldMap);
    state.ResumeTiming();
    g->grid()->replaceBackColors({MapColors::white(), MapColors::black()}, MapColors::green());
    state.PauseTiming();
    g.reset();
    state.ResumeTiming();
  }
}

void BM_SaveMap(benchmark::State& state) {
  Fixture& f = fixture();
  GridControl g;
  g.loadFromFile(f.newMap);
  const QString target = f.dir.path() + QStringLiteral("/saved.dat");
  for (auto _ : state) benchmark::DoNotOptimize(g.saveToFile(target, false));
}

void BM_EditorOpen(benchmark::State& state) {
  fixture();
  for (auto _ : state) {
    auto w = std::make_unique<frmMapEdit>();
    state.PauseTiming();
    w.reset();
    state.ResumeTiming();
  }
}

void BM_ViewerColouring(benchmark::State& state) {
  fixture();
  for (auto _ : state) {
    state.PauseTiming();
    auto w = std::make_unique<frmViewMap>();
    state.ResumeTiming();
    w->FormActivate();
    state.PauseTiming();
    w.reset();
    state.ResumeTiming();
  }
}

void BM_PeakMemory(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(peakKb());
  state.counters["VmHWM_MB"] = double(peakKb()) / 1024.0;
}

}  // namespace

BENCHMARK(BM_LoadMap)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadMapFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EditorCleanUp)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveMap)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EditorOpen)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ViewerColouring)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PeakMemory)->Iterations(1);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  takeRecordsFlag(&argc, argv);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ZEL1.reset();
  return 0;
}
