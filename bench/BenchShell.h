#pragma once

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include "core/store/Connection.h"

// The lines that open a script for the sqlcipher shell: the program's key.
inline QByteArray sqlcipherKeyLine() { return "PRAGMA key='" + QByteArray(kDatabasePassword) + "';\n"; }

// The shell does not know the program's sort orders of names and places: it sorts the same rows by
// its own nearest order instead.
inline QString forShell(QString sql) {
  static const QRegularExpression programOrder(QStringLiteral("\\bcollate\\s+(names|places)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
  return sql.replace(programOrder, QStringLiteral("collate nocase"));
}

// The shell cannot plan around the indexes in the program's own orders (it does not know the
// orders): it reads a copy of the file without them, made once per file.
inline QString shellCopy(const QString& file) {
  static QHash<QString, QString> made;
  if (!QFileInfo::exists(file)) return file;  // a database the shell makes itself
  if (const auto it = made.constFind(file); it != made.constEnd()) return *it;
  const QString copy = file + QStringLiteral(".shell");
  QFile::remove(copy);
  if (!QFile::copy(file, copy)) return file;
  Connection cn;
  cn.open(copy, QString::fromLatin1(kDatabasePassword));
  cn.execute(QStringLiteral("drop index if exists zel_place_order; drop index if exists zel_location_order"));
  cn.close();
  made.insert(file, copy);
  return copy;
}

// Runs the sqlcipher shell on file with script on its standard input, output thrown away. Empty when
// it succeeded, else why not.
inline QString runSqlcipher(const QString& file, const QByteArray& keyedScript) {
  const QByteArray script = forShell(QString::fromUtf8(keyedScript)).toUtf8();
  QProcess p;
  p.setStandardOutputFile(QProcess::nullDevice());
  p.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), shellCopy(file)});
  if (!p.waitForStarted()) return QStringLiteral("sqlcipher could not be started");
  p.write(script);
  p.closeWriteChannel();
  const bool finished = p.waitForFinished(-1);
  // Without -bail the shell goes on after an error, so any complaint counts as a failure.
  const QString why = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
  if (!finished || p.exitCode() != 0 || !why.isEmpty())
    return why.isEmpty() ? QStringLiteral("sqlcipher failed") : why;
  return QString();
}

// Runs the keyed script once per iteration and returns the mean seconds; -1 after marking the
// benchmark failed.
inline double sqlcipherShellSeconds(benchmark::State& state, const QString& file, const QByteArray& body) {
  const QByteArray script = sqlcipherKeyLine() + body;
  double total = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    const QString error = runSqlcipher(file, script);
    if (!error.isEmpty()) {
      state.SkipWithError(error.toStdString().c_str());
      return -1;
    }
    total += double(t.nsecsElapsed()) / 1e9;
  }
  return total / double(state.iterations());
}

// The same for one SQL statement.
inline double sqlcipherShellSeconds(benchmark::State& state, const QString& file, const QString& sql) {
  return sqlcipherShellSeconds(state, file, (sql + QStringLiteral(";\n")).toUtf8());
}
