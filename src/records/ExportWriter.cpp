#include "records/ExportWriter.h"

#include <QSaveFile>
#include <cmath>

#include "app/Zel1.h"
#include "store/DbError.h"
#include "store/RecordSet.h"
#include "store/Value.h"

namespace ExportWriter {

namespace {

const char* kQuery =
    "SELECT Cemetery.Name, ZEL.cSection, ZEL.Lot, ZEL.Grave, Lots.LotDesc, ZEL.Vault, ZEL.OwnerLastName, "
    "ZEL.OwnerFirstName, ZEL.OwnerAddress1, ZEL.OwnerAddress2, ZEL.OwnerCity, ZEL.OwnerState, ZEL.OwnerZip, "
    "ZEL.OwnerPhone, ZEL.InterLastName, ZEL.InterFirstName, ZEL.Sex, ZEL.Age, ZEL.InterNum, ZEL.InterDate, "
    "ZEL.DeedBook, ZEL.DeedPage, ZEL.CertNum, ZEL.PurchDate, ZEL.PurchPrice, ZEL.BurialFee, ZEL.AmtPaid, "
    "ZEL.BirthPlace, ZEL.LateReside, ZEL.SocialState, ZEL.BirthDate, ZEL.DeathDate, ZEL.DeathCause, "
    "ZEL.Undertaker, ZEL.NearestRelative, ZEL.Remarks, ZEL.Status FROM (ZEL INNER JOIN Lots ON ZEL.LotID = "
    "Lots.LotID) INNER JOIN Cemetery ON ZEL.CemeteryID = Cemetery.CemeteryID ORDER BY ZEL.cSection, ZEL.Lot, "
    "ZEL.Grave, ZEL.OwnerLastName, ZEL.OwnerFirstName, ZEL.InterLastName, ZEL.InterFirstName";

// The fields read from each row, by name, in the order of the select list.
const char* const kFields[] = {"Name",
                               "cSection",
                               "Lot",
                               "Grave",
                               "LotDesc",
                               "Vault",
                               "OwnerLastName",
                               "OwnerFirstName",
                               "OwnerAddress1",
                               "OwnerAddress2",
                               "OwnerCity",
                               "OwnerState",
                               "OwnerZip",
                               "OwnerPhone",
                               "InterLastName",
                               "InterFirstName",
                               "Sex",
                               "Age",
                               "InterNum",
                               "InterDate",
                               "DeedBook",
                               "DeedPage",
                               "CertNum",
                               "PurchDate",
                               "PurchPrice",
                               "BurialFee",
                               "AmtPaid",
                               "BirthPlace",
                               "LateReside",
                               "SocialState",
                               "BirthDate",
                               "DeathDate",
                               "DeathCause",
                               "Undertaker",
                               "NearestRelative",
                               "Remarks",
                               "Status"};
constexpr int kFieldCount = int(sizeof(kFields) / sizeof(kFields[0]));

void appendText(QByteArray& out, const QString& text) {
  out.append('"');
  if (text.contains(QLatin1Char('"'))) {
    QString doubled = text;
    doubled.replace(QLatin1String("\""), QLatin1String("\"\""));
    out.append(doubled.toUtf8());
  } else {
    out.append(text.toUtf8());
  }
  out.append('"');
}

void appendTwo(QByteArray& out, int n) {
  out.append(char('0' + n / 10));
  out.append(char('0' + n % 10));
}

// Shortest plain decimal text: a point, no exponent, no trailing zeros.
QByteArray realText(double d) {
  if (!std::isfinite(d)) return QByteArray::number(d);
  if (std::trunc(d) == d) {
    if (std::fabs(d) < 9.0e18) return QByteArray::number(qint64(d));
    return QByteArray::number(d, 'f', 0);
  }
  QByteArray s = QByteArray::number(d, 'g', 15);
  if (s.contains('e')) {
    const int exponent = int(std::floor(std::log10(std::fabs(d))));
    s = QByteArray::number(d, 'f', qBound(0, 14 - exponent, 330));
    while (s.endsWith('0')) s.chop(1);
    if (s.endsWith('.')) s.chop(1);
  }
  return s;
}

}  // namespace

QString query() { return QString::fromLatin1(kQuery); }

const QStringList& titles() {
  static const QStringList t = {"Name",
                                "Section",
                                "Lot",
                                "Grave",
                                "LotDesc",
                                "Vault",
                                "OwnerLastName",
                                "OwnerFirstName",
                                "OwnerAddress1",
                                "OwnerAddress2",
                                "OwnerCity",
                                "OwnerState",
                                "OwnerZip",
                                "OwnerPhone",
                                "InterLastName",
                                "InterFirstName",
                                "Sex",
                                "Age",
                                "InterNum",
                                "InterDate",
                                "DeedBook",
                                "DeedPage",
                                "CertNum",
                                "PurchDate",
                                "PurchPrice",
                                "BurialFee",
                                "AmtPaid",
                                "BirthPlace",
                                "LateReside",
                                "SocialState",
                                "BirthDate",
                                "DeathDate",
                                "DeathCause",
                                "Undertaker",
                                "NearestRelative",
                                "Remarks",
                                "Status"};
  return t;
}

void appendItem(QByteArray& out, const Value& v) {
  switch (v.type()) {
    case Value::Type::Null:
      out.append("#NULL#");
      break;
    case Value::Type::Text:
      appendText(out, v.toString());
      break;
    case Value::Type::Integer:
      out.append(QByteArray::number(v.toInt()));
      break;
    case Value::Type::Real:
      out.append(realText(v.toDouble()));
      break;
    case Value::Type::Money:
      out.append(v.toMoney().toPlainString().toLatin1());
      break;
    case Value::Type::Date: {
      const QDateTime dt = v.toDateTime();
      const QDate d = dt.date();
      const QTime t = dt.time();
      out.append('#');
      out.append(QByteArray::number(d.year()).rightJustified(4, '0'));
      out.append('-');
      appendTwo(out, d.month());
      out.append('-');
      appendTwo(out, d.day());
      if (v.hasTime() && t != QTime(0, 0)) {
        out.append(' ');
        appendTwo(out, t.hour());
        out.append(':');
        appendTwo(out, t.minute());
        out.append(':');
        appendTwo(out, t.second());
      }
      out.append('#');
      break;
    }
  }
}

QByteArray item(const Value& v) {
  QByteArray out;
  appendItem(out, v);
  return out;
}

Result write(RecordSet& rs, const QString& fileName) {
  Result result;
  result.fileName = fileName;

  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) {
    result.error = file.errorString();
    return result;
  }

  QByteArray buffer;
  buffer.reserve(1 << 20);
  const auto flush = [&]() {
    if (file.write(buffer) != buffer.size()) return false;
    buffer.clear();
    return true;
  };

  for (int i = 0; i < titles().size(); ++i) {
    if (i) buffer.append(',');
    appendText(buffer, titles()[i]);
  }
  buffer.append("\r\n");

  try {
    if (rs.isOpen()) rs.close();
    rs.open(query(), RecordSet::Cursor::Default);
    // Look the fields up by name once; the rows are then read by position.
    int index[kFieldCount];
    const QStringList names = rs.fieldNames();
    for (int i = 0; i < kFieldCount; ++i) {
      index[i] = -1;
      for (int c = 0; c < names.size() && index[i] < 0; ++c)
        if (names[c].compare(QLatin1String(kFields[i]), Qt::CaseInsensitive) == 0) index[i] = c;
      if (index[i] < 0) rs.field(QLatin1String(kFields[i]));  // throws: unknown field
    }
    while (!rs.eof()) {
      for (int i = 0; i < kFieldCount; ++i) {
        if (i) buffer.append(',');
        appendItem(buffer, rs.field(index[i]));
      }
      buffer.append("\r\n");
      ++result.records;
      if (buffer.size() > (1 << 20) - 4096 && !flush()) break;
      rs.moveNext();
    }
    rs.close();
  } catch (const DbError& e) {
    rs.close();
    file.cancelWriting();
    result.error = e.description();
    return result;
  }

  if (!flush() || !file.commit()) {
    result.error = file.errorString();
    file.cancelWriting();
    return result;
  }
  result.ok = true;
  return result;
}

Result write() { return write(ZEL1.rsRecords, ZEL1.dataFile(QLatin1String(kFileName))); }

}  // namespace ExportWriter
