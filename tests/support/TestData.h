#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <initializer_list>
#include <ostream>
#include <utility>

#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/Value.h"

// Helpers shared by the test folders: files, rows and amounts.

// Readable texts and values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const Value& v, std::ostream* os) {
  static const char* const kinds[] = {"Null", "Integer", "Real", "Text", "Money", "Date"};
  *os << kinds[int(v.type())] << " \"" << v.toString().toStdString() << '"';
}

inline QByteArray fileBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(f.write(bytes), bytes.size());
}

using Fields = std::initializer_list<std::pair<const char*, Value>>;

// Adds one row to a table the way the record form's save does: through a static set, then moves
// to the last row. Returns the new key.
inline qint64 addRow(Connection& cn, const QString& table, Fields fields) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select * from %1 where 1=0").arg(table), RecordSet::Cursor::Static);
  rs.addNew();
  for (const auto& [name, value] : fields) rs.assign(QString::fromLatin1(name), value);
  rs.update();
  rs.moveLast();
  return rs.field(0).toInt();
}

// First column of the first row of a query, as text ("" for Null or no rows).
inline QString scalarOn(Connection& cn, const QString& sql) {
  RecordSet rs(&cn);
  rs.open(sql);
  return rs.eof() ? QString() : rs.field(0).toString();
}

// An amount as SQL text for a money column ("1234.5" gives the stored ten-thousandths).
inline QString sqlMoney(const char* amount) {
  return Schema::moneyLiteral(Money::parse(QString::fromLatin1(amount)).value());
}
