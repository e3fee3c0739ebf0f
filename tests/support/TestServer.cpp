#include "support/TestServer.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QThread>

namespace {

// The newest installed server's programs.
QString serverBin() {
  const QStringList versions =
      QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  QString best;
  int bestVersion = 0;
  for (const QString& v : versions) {
    if (v.toInt() > bestVersion &&
        QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/postgres").arg(v))) {
      bestVersion = v.toInt();
      best = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
    }
  }
  return best;
}

// The command as the user the server runs as; the server's own process dies with ours.
QStringList asServerUser(const QStringList& command) {
  QStringList c{QStringLiteral("setpriv"), QStringLiteral("--pdeathsig"), QStringLiteral("KILL")};
  if (geteuid() == 0)
    c << QStringLiteral("--reuid=postgres") << QStringLiteral("--regid=postgres")
      << QStringLiteral("--init-groups");
  return c + command;
}

}  // namespace

TestServer& TestServer::shared() {
  static TestServer server;
  return server;
}

TestServer::TestServer() {
  bin_ = serverBin();
  if (bin_.isEmpty()) {
    problem_ = QStringLiteral("no PostgreSQL server is installed (scripts/setup installs it)");
    return;
  }
  const QString data = dir_.path() + QStringLiteral("/data");
  if (geteuid() == 0) {
    const passwd* pw = getpwnam("postgres");
    if (!pw || chown(dir_.path().toLocal8Bit().constData(), pw->pw_uid, pw->pw_gid) != 0) {
      problem_ = QStringLiteral("the system has no user postgres to run the server as");
      return;
    }
  }
  QString out;
  if (!run(asServerUser({bin_ + QStringLiteral("initdb"), QStringLiteral("-D"), data, QStringLiteral("-A"),
                         QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("postgres"),
                         QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                         QStringLiteral("--no-sync")}),
           &out)) {
    problem_ = QStringLiteral("initdb failed: ") + out;
    return;
  }
  server_ = std::make_unique<QProcess>();
  server_->setProcessChannelMode(QProcess::MergedChannels);
  server_->setStandardOutputFile(dir_.path() + QStringLiteral("/server.log"));
  const QStringList command = asServerUser(
      {bin_ + QStringLiteral("postgres"), QStringLiteral("-D"), data, QStringLiteral("-k"), dir_.path(),
       QStringLiteral("-c"), QStringLiteral("listen_addresses="), QStringLiteral("-c"),
       QStringLiteral("fsync=off"), QStringLiteral("-c"), QStringLiteral("full_page_writes=off"),
       QStringLiteral("-c"), QStringLiteral("synchronous_commit=off")});
  server_->start(command.first(), command.mid(1));
  for (int i = 0; i < 300; ++i) {
    if (PQping(adminConnection().toUtf8().constData()) == PQPING_OK) return;
    if (server_->state() == QProcess::NotRunning) break;
    QThread::msleep(50);
  }
  QFile log(dir_.path() + QStringLiteral("/server.log"));
  (void)log.open(QIODevice::ReadOnly);
  problem_ = QStringLiteral("the server did not start: ") + QString::fromUtf8(log.readAll());
}

TestServer::~TestServer() {
  if (server_ && server_->state() != QProcess::NotRunning) {
    // The fast way down: the cluster is thrown away anyway.
    server_->terminate();
    if (!server_->waitForFinished(10000)) server_->kill();
    server_->waitForFinished(5000);
  }
}

QString TestServer::adminConnection() const {
  return QStringLiteral("host=%1 user=postgres dbname=postgres").arg(dir_.path());
}

QString TestServer::newDatabase() {
  const QString name = QStringLiteral("zeltest%1").arg(++databases_);
  PGconn* cn = PQconnectdb(adminConnection().toUtf8().constData());
  PGresult* r = PQexec(cn, QStringLiteral("CREATE DATABASE %1").arg(name).toUtf8().constData());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  PQclear(r);
  PQfinish(cn);
  if (!ok) return QString();
  return QStringLiteral("host=%1 user=postgres dbname=%2").arg(dir_.path(), name);
}

bool TestServer::run(const QStringList& command, QString* output) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setWorkingDirectory(dir_.path());
  p.start(command.first(), command.mid(1));
  const bool finished = p.waitForFinished(120000);
  *output = QString::fromLocal8Bit(p.readAll());
  return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
