#pragma once

#include <QByteArray>
#include <QFile>

// The process's peak resident memory so far (VmHWM), in kilobytes; -1 where it cannot be read.
inline long peakKb() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
}
