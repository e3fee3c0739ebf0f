// The driver of scripts/loadtest: clerks, each a process with a connection of its own, edit random
// records of one server database through the record form's save (a keyed record set saved with its
// history), some on the same records on purpose; then the database is checked against what each
// clerk was told.
//   zel_loaddriver fill CONNECTION RECORDS
//   zel_loaddriver clerk CONNECTION SECONDS CLERK HOT   lines: "ack KEY MS WROTE READ" or "conflict KEY MS
//   WROTE" zel_loaddriver check CONNECTION LOG...              prints the figures; exit 1 on a lost or wrong
//   save
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "DataGen.h"
#include "core/history/History.h"
#include "core/store/Connection.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/ServerLock.h"
#include "core/store/Statement.h"

namespace {

int fill(const QString& connection, int records) {
  Connection cn;
  cn.openServer(connection);
  Schema::create(cn);
  DataGen::Options o;
  o.records = records;
  DataGen::fill(cn, o);
  return 0;
}

qint64 scalar(Connection& cn, const char* sql) {
  Statement st(cn, sql);
  return st.next() ? st.int64(0) : 0;
}

// Saves a new remark on random records until the time is up. Half the saves go to the same few
// "hot" records every clerk edits, so that clerks meet; a clerk waits a moment between reading a
// record and saving it, as one reading the form would.
int clerk(const QString& connection, int seconds, int number, int hot) {
  Connection cn;
  cn.openServer(connection);
  ServerLock::holdShared(cn);
  History::setIdentityForTesting(QStringLiteral("clerk%1").arg(number), QStringLiteral("loadtest"));
  const qint64 last = scalar(cn, "select max(recid) from zel");
  QRandomGenerator random(quint32(number) * 7919u + 1u);
  QTextStream out(stdout);
  QElapsedTimer clock;
  clock.start();
  qint64 saves = 0;
  while (clock.elapsed() < seconds * 1000LL) {
    const qint64 key = random.bounded(2) ? 1 + random.bounded(qint64(hot)) : 1 + random.bounded(last);
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select * from zel where recid=%1").arg(key), RecordSet::Cursor::Static);
    if (rs.eof()) continue;
    const QString read = rs.field(QStringLiteral("remarks")).toString();
    QThread::usleep(random.bounded(2000));
    const QString wrote = QStringLiteral("c%1-%2").arg(number).arg(++saves);
    QElapsedTimer save;
    save.start();
    rs.assign(QStringLiteral("remarks"), wrote);
    try {
      History::saveRow(cn, rs, QStringLiteral("zel"));
      // What was read last on the line: a remark may hold spaces.
      out << "ack " << key << ' ' << double(save.nsecsElapsed()) / 1e6 << ' ' << wrote << ' ' << read << '\n';
    } catch (const RowConflict&) {
      out << "conflict " << key << ' ' << double(save.nsecsElapsed()) / 1e6 << ' ' << wrote << '\n';
    }
  }
  return 0;
}

struct Ack {
  qint64 key;
  QString read, wrote;
};

int check(const QString& connection, const QStringList& logs) {
  std::vector<Ack> acks;
  QSet<QString> refused;
  std::vector<double> times;
  int conflicts = 0;
  for (const QString& log : logs) {
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "%s cannot be read\n", qPrintable(log));
      return 2;
    }
    while (!f.atEnd()) {
      QString line = QString::fromUtf8(f.readLine());
      line.chop(line.endsWith(u'\n') ? 1 : 0);
      const QStringList w = line.split(u' ');
      if (w.size() >= 5 && w[0] == QLatin1String("ack")) {
        acks.push_back({w[1].toLongLong(), w.mid(4).join(u' '), w[3]});
        times.push_back(w[2].toDouble());
      } else if (w.size() == 4 && w[0] == QLatin1String("conflict")) {
        ++conflicts;
        refused.insert(w[3]);
        times.push_back(w[2].toDouble());
      }
    }
  }
  Connection cn;
  cn.openServer(connection);
  // Each save's history entry names the remark it replaced: a save that went over one it never saw
  // would show another old value than the one its clerk had read.
  QHash<QString, QString> replaced;  // new remark -> old one, from the history
  QHash<qint64, std::vector<std::pair<QString, QString>>> chains;
  {
    Statement st(cn,
                 "select recid, coalesce(oldvalue, ''), coalesce(newvalue, '') from history where "
                 "tablename = 'zel' and field = 'remarks' order by id");
    while (st.next()) {
      replaced.insert(st.string(2), st.string(1));
      chains[st.int64(0)].emplace_back(st.string(1), st.string(2));
    }
  }
  QHash<qint64, QString> now;
  {
    Statement st(cn, "select recid, coalesce(remarks, '') from zel where remarks like 'c%-%'");
    while (st.next()) now.insert(st.int64(0), st.string(1));
  }
  int missing = 0, lost = 0, wrong = 0;
  for (const Ack& a : acks) {
    auto it = replaced.constFind(a.wrote);
    if (it == replaced.constEnd())
      ++missing;
    else if (*it != a.read)
      ++lost;
  }
  // Every record's entries follow each other, and the last one is what the record holds.
  for (auto c = chains.constBegin(); c != chains.constEnd(); ++c) {
    const auto& chain = c.value();
    for (size_t i = 1; i < chain.size(); ++i)
      if (chain[i].first != chain[i - 1].second) ++lost;
    if (now.value(c.key()) != chain.back().second) ++wrong;
  }
  for (const QString& r : std::as_const(refused))
    if (replaced.contains(r)) ++wrong;
  std::sort(times.begin(), times.end());
  const double p99 =
      times.empty() ? 0 : times[std::min(times.size() - 1, size_t(double(times.size()) * 0.99))];
  std::printf("saves %zu conflicts %d missing %d lost %d wrong %d p99ms %.2f\n", acks.size(), conflicts,
              missing, lost, wrong, p99);
  return missing || lost || wrong ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList a = app.arguments();
  try {
    if (a.size() == 4 && a[1] == QLatin1String("fill")) return fill(a[2], a[3].toInt());
    if (a.size() == 6 && a[1] == QLatin1String("clerk"))
      return clerk(a[2], a[3].toInt(), a[4].toInt(), a[5].toInt());
    if (a.size() >= 4 && a[1] == QLatin1String("check")) return check(a[2], a.mid(3));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  std::fprintf(stderr, "usage: zel_loaddriver fill|clerk|check ...\n");
  return 2;
}
