#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The command line as a user runs it: a process of its own, standard error not a terminal. ZEL_CLI
// is the program's path, given by the test's build.
struct Outcome {
  int code = -1;
  QByteArray out;
  QString err;
};

inline Outcome cli(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(ZEL_CLI), args);
  p.waitForFinished(-1);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
          QString::fromLocal8Bit(p.readAllStandardError())};
}

#define EXPECT_RUN(run, expectedCode, errorPart)                                   \
  do {                                                                             \
    const Outcome& r_ = (run);                                                     \
    EXPECT_EQ(r_.code, expectedCode) << r_.err.toStdString();                      \
    EXPECT_TRUE(r_.err.contains(errorPart)) << "stderr: " << r_.err.toStdString(); \
  } while (0)
