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

// Starts the peak over from the memory in use now, so that a benchmark's peak is its own and not
// the setup's; false where the system does not allow it.
inline bool resetPeak() {
  QFile f(QStringLiteral("/proc/self/clear_refs"));
  return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}
