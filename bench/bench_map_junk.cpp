// Memory a map file costs before it is refused: 512 MB files in a map's place are loaded the way
// the map windows load them, each in a process of its own, and the rise of its peak resident memory
// (VmHWM) is printed with the time taken.
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchRecords.h"
#include "PeakMemory.h"
#include "core/maps/MapFile.h"
#include "gui/controls/GridModel.h"

namespace {

constexpr qint64 kSize = qint64(512) << 20;

void u32(QByteArray& b, quint32 v) {
  for (int i = 0; i < 4; ++i) b.append(char(v >> (8 * i)));
}

// Writes size bytes: head, then blocks from more() until the size is reached.
void writeFile(const QString& name, const QByteArray& head, const std::function<QByteArray()>& more) {
  QFile f(name);
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(name));
  f.write(head);
  while (f.size() < kSize) {
    const QByteArray b = more();
    f.write(b.left(qsizetype(std::min<qint64>(b.size(), kSize - f.size()))));
  }
}

QByteArray randomBlock() {
  QByteArray b(1 << 20, Qt::Uninitialized);
  QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(b.data()), b.size() / 4);
  return b;
}

QByteArray header(quint32 cells) {
  QByteArray h("ZELMAP\x1a", 7);
  for (quint32 v : {1u, 100000u, 100000u, 0x008000u, 0u, cells}) u32(h, v);
  return h;
}

// Sound cells of 1000-character texts all the way, and a checksum that does not match: the reader
// has to go through the whole file before it can refuse it.
QByteArray cellBlock() {
  static int row = 0;
  QByteArray b;
  for (int i = 0; i < 1000; ++i) {
    ++row;
    for (quint32 v : {quint32(row % 100000 + 1), 1u}) {
      for (; v >= 0x80; v >>= 7) b.append(char((v & 0x7F) | 0x80));
      b.append(char(v));
    }
    b.append(char(0));
    b.append("\xe8\x07", 2);  // 1000
    b.append(QByteArray(1000, 'x'));
  }
  return b;
}

void measure(const char* what, const QString& name) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    GridModel grid;
    const long before = peakKb();
    QElapsedTimer t;
    t.start();
    QString error;
    const bool loaded = grid.loadFile(name, &error);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("%-44s %8s %10.1f ms %8.1f MB\n", what, loaded ? "loaded" : "refused", ms,
                double(peakKb() - before) / 1024.0);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  // No records here: the junk files are of one size whatever the number asked for.
  takeRecordsFlag(&argc, argv);
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const QString junk = dir.filePath(QStringLiteral("junk.dat"));
  std::printf("512 MB in a map's place                       result       time   peak rise\n");
  writeFile(junk, QByteArray(), randomBlock);
  measure("random bytes", junk);
  writeFile(junk, header(16), randomBlock);
  measure("a map header, then random bytes", junk);
  const quint32 cells = quint32(kSize / 1006);
  writeFile(junk, header(cells), cellBlock);
  measure("sound cells, checksum wrong", junk);
  QFile::remove(junk);
  return 0;
}
