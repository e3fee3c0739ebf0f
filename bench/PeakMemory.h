#pragma once

#include <QByteArray>
#include <QFile>

// A figure of /proc/self/status in kilobytes ("VmHWM:", "VmRSS:"); -1 where it cannot be read.
inline long statusKb(const char* key) {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const qsizetype length = qstrlen(key);
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(key)) return line.mid(length).trimmed().split(' ').value(0).toLong();
  return -1;
}

// The process's peak resident memory so far, in kilobytes; -1 where it cannot be read.
inline long peakKb() { return statusKb("VmHWM:"); }
// The process's resident memory now.
inline long rssKb() { return statusKb("VmRSS:"); }

// Starts the peak over from the memory in use now, so that a benchmark's peak is its own and not
// the setup's; false where the system does not allow it.
inline bool resetPeak() {
  QFile f(QStringLiteral("/proc/self/clear_refs"));
  return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}
