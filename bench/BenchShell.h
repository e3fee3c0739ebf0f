#pragma once

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

#include "store/Connection.h"

// Runs the SQL (after the key) on file through the sqlcipher shell once per iteration, output thrown
// away, and returns the mean seconds; -1 after marking the benchmark failed.
inline double sqlcipherShellSeconds(benchmark::State& state, const QString& file, const QString& sql) {
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
      return -1;
    }
    total += double(t.nsecsElapsed()) / 1e9;
  }
  return total / double(state.iterations());
}
