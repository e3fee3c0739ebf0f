#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <ostream>
#include <utility>

#include "core/history/History.h"
#include "core/store/Connection.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/Value.h"

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

// Compares an output with its expected file, tests/data/expected/<name>. After a deliberate change
// of the output, ZEL_UPDATE_EXPECTED=1 writes the files anew: review their diff.
inline void expectFile(const QByteArray& actual, const char* name) {
  const QString path = QStringLiteral(ZEL_TEST_DATA_DIR "/expected/") + QLatin1String(name);
  if (qEnvironmentVariableIntValue("ZEL_UPDATE_EXPECTED")) writeFile(path, actual);
  EXPECT_EQ(actual.toStdString(), fileBytes(path).toStdString()) << "expected in " << path.toStdString();
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

// A file as an office clerk makes it for the import, with what goes wrong in such files: a UTF-8
// file with one byte from a Windows editor (row 3), a row with a delimiter too many (row 4), a date
// column written month-first whose "01-02-2001" fits either order, amounts with more decimals than
// money shows, a death in the future, a cemetery that does not exist, and empty lines at the end.
// Mapped as kClerkMapping with the header row skipped.
inline const QByteArray kClerkFile =
    "Last,First,Died,Price,Cemetery\r\n"
    "M\xc3\xbcller,Hans,03-15-1921,1500.00,Oak Hill\r\n"
    "Caf\xe9,Ann,01-02-2001,1500.555,oak hill\r\n"
    "A,1,2,Jones,1,500.00\r\n"
    "'=Smith,Jo,12-31-2050,0.005,Nowhere\r\n"
    "\r\n\r\n";
inline const char* const kClerkMapping =
    "1=InterLastName,2=InterFirstName,3=DeathDate,4=PurchPrice,5=Cemetery";
// The records the file gives once its listed values are accepted, each as
// interlastname|interfirstname|deathdate|purchprice|cemetery name, in file order.
inline const QStringList kClerkRecords = {
    QString::fromUtf8("M\xc3\xbcller|Hans|1921-03-15|15000000|Oak Hill"),
    "|Ann|2001-01-02|0|Oak Hill",
    "A|1||0|Oak Hill",
    "=Smith|Jo|2050-12-31|0|Oak Hill",
};
inline const char* const kClerkRecordsSql =
    "select group_concat(r, ';') from (select interlastname || '|' || interfirstname || '|' || "
    "coalesce(deathdate, '') || '|' || purchprice || '|' || c.name as r from zel z join cemetery c "
    "on c.cemeteryid = z.cemeteryid order by recid)";

// Adds (id 0) or changes a row of zel, cemetery or lots the way the windows save one, its history
// entries and all. Returns its key.
inline qint64 saveRow(Connection& cn, const char* table, qint64 id, Fields fields) {
  const QString t = QLatin1String(table);
  const QString key = t == u"zel"    ? QStringLiteral("recid")
                      : t == u"lots" ? QStringLiteral("lotid")
                                     : QStringLiteral("cemeteryid");
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select * from %1 where %2=%3").arg(t, key).arg(id), RecordSet::Cursor::Static);
  if (id == 0) rs.addNew();
  for (const auto& [name, value] : fields) rs.assign(QString::fromLatin1(name), value);
  return History::saveRow(cn, rs, t);
}
