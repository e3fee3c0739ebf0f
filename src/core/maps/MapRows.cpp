#include "core/maps/MapRows.h"

#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/Statement.h"

namespace MapRows {

void createTable(Connection& cn) {
  cn.engine().execute(QString::fromLatin1(Schema::kServerMapsTable));
}

bool hasTable(Connection& cn) { return cn.engine().hasTable(QStringLiteral("zelmaps")); }

std::vector<QString> names(Connection& cn) {
  std::vector<QString> out;
  Statement st(cn, "select name from zelmaps order by name collate \"C\"");
  while (st.next()) out.push_back(st.string(0));
  return out;
}

QByteArray bytes(Connection& cn, const QString& name) {
  Statement st(cn, "select bytes from zelmaps where name = ?");
  const QByteArray n = name.toUtf8();
  st.bindText(1, n);
  return st.next() ? st.blob(0).toByteArray() : QByteArray();
}

QString hashOf(Connection& cn, const QString& name) {
  Statement st(cn, "select encode(sha256(bytes), 'hex') from zelmaps where name = ?");
  const QByteArray n = name.toUtf8();
  st.bindText(1, n);
  return st.next() ? st.string(0) : QString();
}

}  // namespace MapRows

void putMapBytes(Connection& cn, const QString& name, const QByteArray& bytes) {
  Statement st(cn,
               "insert into zelmaps (name, bytes) values (?, ?) on conflict (name) do update set bytes = "
               "excluded.bytes, version = zelmaps.version + 1");
  const QByteArray n = name.toUtf8();
  st.bindText(1, n);
  st.bindBlob(2, bytes);
  st.next();
}
