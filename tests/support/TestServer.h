#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

class QProcess;

// A throwaway PostgreSQL cluster for the tests of one test program: made in a temporary folder by
// the first call of shared(), reached only through a socket in that folder, and gone with the
// program (the server gets SIGKILL when the test program dies, however it dies). The engine refuses
// to run as root, so under root it runs as the system's "postgres" user.
class TestServer {
 public:
  static TestServer& shared();
  ~TestServer();

  // A libpq connection string for a new, empty database of the cluster.
  QString newDatabase();
  // The connection string of the cluster's maintenance database.
  QString adminConnection() const;
  // Empty when the cluster runs; else why it could not be started.
  const QString& problem() const { return problem_; }

 private:
  TestServer();
  bool run(const QStringList& command, QString* output);
  QTemporaryDir dir_;
  QString bin_;
  std::unique_ptr<QProcess> server_;
  QString problem_;
  int databases_ = 0;
};
