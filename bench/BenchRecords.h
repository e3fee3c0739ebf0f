#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <cstdlib>
#include <cstring>

// The number of records (or import lines) a benchmark works on: "--records N" or "--records=N" on
// its command line, else the environment variable ZEL_BENCH_RECORDS, else 100,000. The command line
// is read from /proc, so that the number is known where the benchmarks are registered, before main.
inline int benchRecords() {
  static const int records = [] {
    QByteArray text = qgetenv("ZEL_BENCH_RECORDS");
    QFile cmdline(QStringLiteral("/proc/self/cmdline"));
    if (cmdline.open(QIODevice::ReadOnly)) {
      const QList<QByteArray> args = cmdline.readAll().split('\0');
      for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--records" && i + 1 < args.size()) text = args[i + 1];
        if (args[i].startsWith("--records=")) text = args[i].mid(10);
      }
    }
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n > 0 ? n : 100000;
  }();
  return records;
}

// Takes "--records" out of the arguments before Google Benchmark reads them.
inline void takeRecordsFlag(int* argc, char** argv) {
  int out = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strcmp(argv[i], "--records") == 0 && i + 1 < *argc) {
      ++i;
      continue;
    }
    if (std::strncmp(argv[i], "--records=", 10) == 0) continue;
    argv[out++] = argv[i];
  }
  *argc = out;
  argv[out] = nullptr;
}
