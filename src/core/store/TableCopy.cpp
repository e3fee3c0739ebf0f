#include "core/store/TableCopy.h"

#include <QSet>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/store/Connection.h"
#include "core/store/ServerEngine.h"
#include "core/store/Statement.h"

namespace TableCopy {

namespace {

// A column as both engines can make it: its name in lower case and its kind in the file's words
// ("integer", "double", "money", "date", "blob", "text").
struct Column {
  QString name;
  QString kind;
};

std::function<void(const QString&, qint64)>& rowHook() {
  static std::function<void(const QString&, qint64)> hook;
  return hook;
}

QByteArray quoted(const QString& name) {
  return '"' + QString(name).replace(u'"', QStringLiteral("\"\"")).toUtf8() + '"';
}

QString fileKind(QString declared) {
  declared = declared.trimmed().toLower().section(u' ', 0, 0).section(u'(', 0, 0);
  if (declared == QLatin1String("int") || declared == QLatin1String("bigint"))
    return QStringLiteral("integer");
  if (declared == QLatin1String("real") || declared == QLatin1String("float"))
    return QStringLiteral("double");
  static const QSet<QString> known{QStringLiteral("integer"), QStringLiteral("double"),
                                   QStringLiteral("money"), QStringLiteral("date"), QStringLiteral("blob")};
  return known.contains(declared) ? declared : QStringLiteral("text");
}

QString serverKind(const QString& dataType, const QString& domain) {
  if (domain == QLatin1String("zel_money")) return QStringLiteral("money");
  if (domain == QLatin1String("zel_date")) return QStringLiteral("date");
  if (dataType == QLatin1String("bigint") || dataType == QLatin1String("integer") ||
      dataType == QLatin1String("smallint") || dataType == QLatin1String("boolean"))
    return QStringLiteral("integer");
  if (dataType == QLatin1String("double precision") || dataType == QLatin1String("real") ||
      dataType == QLatin1String("numeric"))
    return QStringLiteral("double");
  if (dataType == QLatin1String("bytea")) return QStringLiteral("blob");
  return QStringLiteral("text");
}

// The type a column of this kind is made with on the engine.
QString typeFor(const QString& kind, bool server) {
  if (!server) return kind;
  if (kind == QLatin1String("integer")) return QStringLiteral("bigint");
  if (kind == QLatin1String("double")) return QStringLiteral("double precision");
  if (kind == QLatin1String("money")) return QStringLiteral("zel_money");
  if (kind == QLatin1String("date")) return QStringLiteral("zel_date");
  if (kind == QLatin1String("blob")) return QStringLiteral("bytea");
  return QStringLiteral("text");
}

std::vector<Column> columns(Connection& cn, const QString& table) {
  std::vector<Column> out;
  if (cn.isServer()) {
    Statement st(cn,
                 "select column_name::text, data_type::text, coalesce(domain_name::text, '') from "
                 "information_schema.columns where table_schema = current_schema() and table_name = ? "
                 "order by ordinal_position");
    const QByteArray name = table.toUtf8();
    st.bindText(1, name);
    while (st.next()) out.push_back({st.string(0).toLower(), serverKind(st.string(1), st.string(2))});
  } else {
    Statement st(cn, "PRAGMA table_info(" + quoted(table) + ")");
    while (st.next()) out.push_back({st.string(1).toLower(), fileKind(st.string(2))});
  }
  return out;
}

qint64 single(Connection& cn, const QByteArray& sql, const std::vector<QByteArray>& texts = {}) {
  Statement st(cn, sql);
  for (size_t i = 0; i < texts.size(); ++i) st.bindText(int(i) + 1, texts[i]);
  return st.next() && st.type(0) != ColumnType::Null ? st.int64(0) : 0;
}

// The last number the source gave a new row of the table: a number once given stays used.
qint64 lastNumber(Connection& cn, const QString& table, const QString& key) {
  const QByteArray t = table.toUtf8(), k = key.toUtf8();
  qint64 last = single(cn, "select max(" + quoted(key) + ") from " + quoted(table));
  if (cn.isServer())
    // The view shows nothing, rather than failing, to a role that may not read the sequence.
    return std::max(last, single(cn,
                                 "select last_value from pg_sequences where format('%I.%I', schemaname, "
                                 "sequencename) = pg_get_serial_sequence(?, ?)",
                                 {quoted(table), k}));
  if (cn.engine().hasTable(QStringLiteral("sqlite_sequence")))
    last = std::max(last, single(cn, "select seq from sqlite_sequence where name = ?", {t}));
  return last;
}

void continueNumbers(Connection& cn, const QString& table, const QString& key, qint64 last) {
  if (last <= 0) return;
  const QByteArray t = table.toUtf8(), k = key.toUtf8(), q = quoted(table);
  if (cn.isServer()) {
    Statement st(cn,
                 "select setval(s::regclass, ?) from (select pg_get_serial_sequence(?, ?) as s) x "
                 "where s is not null");
    st.bind(1, last);
    st.bindText(2, q);
    st.bindText(3, k);
    st.next();
    return;
  }
  if (!cn.engine().hasTable(QStringLiteral("sqlite_sequence"))) return;
  Statement update(cn, "update sqlite_sequence set seq = max(seq, ?) where name = ?");
  update.bind(1, last);
  update.bindText(2, t);
  update.next();
  Statement insert(cn,
                   "insert into sqlite_sequence (name, seq) select ?, ? where not exists "
                   "(select 1 from sqlite_sequence where name = ?)");
  insert.bindText(1, t);
  insert.bind(2, last);
  insert.bindText(3, t);
  insert.next();
}

void copyTable(Connection& from, Connection& to, const QString& table) {
  const std::vector<Column> source = columns(from, table);
  if (source.empty()) return;
  const std::vector<Column> target = columns(to, table);
  QStringList made;
  for (const Column& c : source) {
    const bool present =
        std::any_of(target.begin(), target.end(), [&](const Column& t) { return t.name == c.name; });
    if (!present) made << QString::fromUtf8(quoted(c.name)) + u' ' + typeFor(c.kind, to.isServer());
  }
  if (target.empty()) {
    to.engine().execute(QStringLiteral("create table %1 (%2)")
                            .arg(QString::fromUtf8(quoted(table)), made.join(QStringLiteral(", "))));
  } else {
    for (const QString& c : made)
      to.engine().execute(
          QStringLiteral("alter table %1 add column %2").arg(QString::fromUtf8(quoted(table)), c));
  }

  QByteArrayList names, marks;
  for (const Column& c : source) {
    names << quoted(c.name);
    marks << "?";
  }
  // A server's table is fetched a batch at a time; the file steps row by row anyway.
  const QByteArray select = "select " + names.join(", ") + " from " + quoted(table);
  auto* server = dynamic_cast<ServerEngine*>(&from.engine());
  const std::unique_ptr<EngineStatement> read =
      server ? server->prepareBatched(select) : from.engine().prepare(select);
  // Each row is written as it is read: no table is held on either side.
  Statement write(
      to, "insert into " + quoted(table) + " (" + names.join(", ") + ") values (" + marks.join(", ") + ")");
  qint64 rows = 0;
  while (read->step()) {
    for (int i = 0; i < int(source.size()); ++i) {
      switch (read->type(i)) {
        case ColumnType::Null:
          write.bindNull(i + 1);
          break;
        case ColumnType::Integer:
          write.bind(i + 1, read->int64(i));
          break;
        case ColumnType::Real:
          write.bind(i + 1, read->real(i));
          break;
        case ColumnType::Blob:
          write.bindBlob(i + 1, read->blob(i));
          break;
        case ColumnType::Text:
          write.bindText(i + 1, read->text(i));
          break;
      }
    }
    write.next();
    write.reset();
    if (rowHook()) rowHook()(table, ++rows);
  }
  if (const QString key = to.engine().keyColumn(table); !key.isEmpty())
    continueNumbers(to, table, key, lastNumber(from, table, key));
}

}  // namespace

QStringList tables(Connection& cn) {
  QStringList out;
  Statement st(cn, cn.isServer()
                       ? "select table_name::text from information_schema.tables where table_schema "
                         "= current_schema() and table_type = 'BASE TABLE'"
                       : "select name from sqlite_master where type = 'table'");
  while (st.next()) {
    const QString name = st.string(0).toLower();
    if (name.startsWith(QLatin1String("sqlite_")) || name == QLatin1String("zel_schema")) continue;
    out << name;
  }
  out.sort();
  return out;
}

void copyAll(Connection& from, Connection& to, const QStringList& skip) {
  for (const QString& table : tables(from)) {
    if (skip.contains(table)) continue;
    try {
      copyTable(from, to, table);
    } catch (const DbError& e) {
      throw DbError(e.code(),
                    QStringLiteral("The table %1 could not be copied: %2").arg(table, e.description()));
    }
  }
}

void setRowHookForTesting(std::function<void(const QString& table, qint64 rows)> hook) {
  rowHook() = std::move(hook);
}

Summary summarize(Connection& cn, const QStringList& tables) {
  Summary out;
  for (const QString& table : tables) {
    QStringList money;
    QByteArrayList parts{"count(*)"};
    for (const Column& c : columns(cn, table)) {
      if (c.kind != QLatin1String("money")) continue;
      money << c.name;
      parts << "sum(" + quoted(c.name) + ")";
    }
    Statement st(cn, "select " + parts.join(", ") + " from " + quoted(table));
    if (!st.next()) continue;
    const auto text = [&st](int col) {
      if (st.type(col) == ColumnType::Null) return QStringLiteral("none");
      if (st.type(col) == ColumnType::Integer) return QString::number(st.int64(col));
      return st.string(col);
    };
    out.insert(table + QStringLiteral(": rows"), text(0));
    for (int i = 0; i < money.size(); ++i)
      out.insert(table + u'.' + money[i] + QStringLiteral(": sum"), text(i + 1));
  }
  return out;
}

QStringList differences(const Summary& source, const Summary& copy, const QString& sourceName,
                        const QString& copyName) {
  QStringList keys = source.keys() + copy.keys();
  keys.removeDuplicates();
  keys.sort();
  QStringList out;
  for (const QString& k : keys) {
    const QString a = source.value(k, QStringLiteral("missing")),
                  b = copy.value(k, QStringLiteral("missing"));
    if (a != b) out << QStringLiteral("%1 %2 %3, %4 %5").arg(k, a, sourceName, b, copyName);
  }
  return out;
}

}  // namespace TableCopy
