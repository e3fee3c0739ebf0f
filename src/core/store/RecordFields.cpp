#include "core/store/RecordFields.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "core/store/DateValue.h"
#include "core/store/GraveState.h"

namespace RecordFields {

namespace {

using K = Kind;
// A 32-bit column's largest value: what every engine's whole number column holds.
constexpr qint64 kWhole = 2147483647;

// Lengths: the find dialog's where it has one (places 10, names 30, deed book 10, certificate 20),
// the address dialog's for the address; the rest as much as the form shows whole at 800 x 600.
// clang-format off
const Field kFields[] = {
  // name            col kind       len max          caption               control                  print label                    export item            title              import
  {"recid",            0, K::Key,    0,  0,           "Record #",           "txtRecordNum",          0,  nullptr,                 nullptr,               nullptr,           false},
  {"CemeteryID",       1, K::Choice, 0,  0,           "Cemetery",           "txtCemetery",           0,  nullptr,                 "Cemetery.Name",       "Name",            false},
  {"cSection",         2, K::Text,   10, 0,           "Section",            "txtSection",            1,  "Section:",              "ZEL.cSection",        "Section",         true},
  {"Lot",              3, K::Text,   10, 0,           "Lot",                "txtLot",                2,  "Lot:",                  "ZEL.Lot",             "Lot",             true},
  {"Grave",            4, K::Text,   10, 0,           "Grave",              "txtGrave",              3,  "Grave:",                "ZEL.Grave",           "Grave",           true},
  {"LotID",            5, K::Choice, 0,  0,           "Lot Information",    "txtLotInfo",            0,  nullptr,                 "Lots.LotDesc",        "LotDesc",         false},
  {"Vault",            6, K::Text,   20, 0,           "Vault",              "txtVault",              25, "Vault:",                "ZEL.Vault",           "Vault",           false},
  {"OwnerLastName",    7, K::Text,   30, 0,           "Last Name",          "txtPurchaserLastName",  17, "Purchaser Last Name:",  "ZEL.OwnerLastName",   "OwnerLastName",   true},
  {"OwnerFirstName",   8, K::Text,   30, 0,           "First Name",         "txtPurchaserFirstName", 16, "Purchaser First Name:", "ZEL.OwnerFirstName",  "OwnerFirstName",  true},
  {"OwnerAddress1",    9, K::Text,   50, 0,           "Address 1",          "txtAddr1",              0,  nullptr,                 "ZEL.OwnerAddress1",   "OwnerAddress1",   true},
  {"OwnerAddress2",   10, K::Text,   50, 0,           "Address 2",          "txtAddr2",              0,  nullptr,                 "ZEL.OwnerAddress2",   "OwnerAddress2",   true},
  {"OwnerCity",       11, K::Text,   20, 0,           "City",               "txtCity",               0,  nullptr,                 "ZEL.OwnerCity",       "OwnerCity",       true},
  {"OwnerState",      12, K::Text,   2,  0,           "State",              "txtState",              0,  nullptr,                 "ZEL.OwnerState",      "OwnerState",      true},
  {"OwnerZip",        13, K::Text,   10, 0,           "Zip",                "txtZipCode",            0,  nullptr,                 "ZEL.OwnerZip",        "OwnerZip",        true},
  {"OwnerPhone",      14, K::Text,   50, 0,           "Phone",              "txtPhone",              0,  nullptr,                 "ZEL.OwnerPhone",      "OwnerPhone",      true},
  {"InterLastName",   15, K::Text,   30, 0,           "Last Name",          "txtInterredLastName",   10, "Last Name:",            "ZEL.InterLastName",   "InterLastName",   true},
  {"InterFirstName",  16, K::Text,   30, 0,           "First Name",         "txtInterredFirstName",  9,  "First Name:",           "ZEL.InterFirstName",  "InterFirstName",  true},
  {"Sex",             17, K::Sex,    0,  0,           "Sex",                "txtMale",               14, "Sex:",                  "ZEL.Sex",             "Sex",             true},
  {"Age",             18, K::Number, 3,  150,         "Age",                "txtAge",                13, "Age:",                  "ZEL.Age",             "Age",             true},
  {"InterNum",        19, K::Number, 10, kWhole,      "Interment #",        "txtIntermentNum",       7,  "Interment #:",          "ZEL.InterNum",        "InterNum",        true},
  {"InterDate",       20, K::Date,   0,  0,           "Interment Date",     "txtIntermentDate",      8,  "Interment Date:",       "ZEL.InterDate",       "InterDate",       true},
  {"DeedBook",        23, K::Text,   10, 0,           "Deed Book",          "txtDeedBook",           18, "Deed Book:",            "ZEL.DeedBook",        "DeedBook",        true},
  {"DeedPage",        24, K::Number, 10, kWhole,      "Deed Page",          "txtDeedPage",           19, "Deed Page:",            "ZEL.DeedPage",        "DeedPage",        true},
  {"CertNum",         25, K::Text,   20, 0,           "Certificate Number", "txtCertificateNum",     20, "Certificate Number:",   "ZEL.CertNum",         "CertNum",         true},
  {"PurchDate",       26, K::Date,   0,  0,           "Purchase Date",      "txtPurchDate",          21, "Purchase Date:",        "ZEL.PurchDate",       "PurchDate",       true},
  {"PurchPrice",      27, K::Money,  0,  kMoneyLimit, "Purchase Price",     "txtPurchPrice",         22, "Purchase price:",       "ZEL.PurchPrice",      "PurchPrice",      true},
  {"BurialFee",       28, K::Money,  0,  kMoneyLimit, "Burial Fee",         "txtBurialFee",          23, "Burial Fee:",           "ZEL.BurialFee",       "BurialFee",       true},
  {"AmtPaid",         29, K::Money,  0,  kMoneyLimit, "Amount Paid",        "txtPaid",               0,  nullptr,                 "ZEL.AmtPaid",         "AmtPaid",         true},
  {"BirthPlace",      30, K::Text,   30, 0,           "Place of Birth",     "txtPlaceOfBirth",       26, "Place of Birth:",       "ZEL.BirthPlace",      "BirthPlace",      true},
  {"LateReside",      31, K::Text,   30, 0,           "Late Residence",     "txtLateResidence",      27, "Late Residence:",       "ZEL.LateReside",      "LateReside",      true},
  {"SocialState",     32, K::Text,   20, 0,           "Social State",       "txtSocialState",        28, "Social State:",         "ZEL.SocialState",     "SocialState",     true},
  {"BirthDate",       21, K::Date,   0,  0,           "Date of Birth",      "txtDateOfBirth",        11, "DOB:",                  "ZEL.BirthDate",       "BirthDate",       true},
  {"DeathDate",       22, K::Date,   0,  0,           "Date of Death",      "txtDateOfDeath",        12, "DOD:",                  "ZEL.DeathDate",       "DeathDate",       true},
  {"DeathCause",      35, K::Text,   50, 0,           "Cause of Death ",    "txtCauseOfDeath",       31, "Cause of Death:",       "ZEL.DeathCause",      "DeathCause",      true},
  {"Undertaker",      34, K::Text,   30, 0,           "Undertaker",         "txtUndertaker",         30, "Undertaker:",           "ZEL.Undertaker",      "Undertaker",      true},
  {"NearestRelative", 33, K::Text,   30, 0,           "Nearest Relative",   "txtNearestRelative",    29, "Nearest Relative:",     "ZEL.NearestRelative", "NearestRelative", true},
  {"Remarks",         36, K::Text,   80, 0,           "Remarks",            "txtRemarks",            32, "Remarks:",              "ZEL.Remarks",         "Remarks",         true},
  {"Status",          37, K::State,  0,  0,           "Status",             "txtStatus",             5,  "Status:",               "ZEL.Status",          "Status",          false},
};
// clang-format on

// Below 2^63 a stored double still has a whole number to show.
constexpr double kWholeLimit = 9.2e18;

}  // namespace

QString Field::exportField() const {
  const QString item = QString::fromLatin1(exportItem);
  return item.mid(item.indexOf(u'.') + 1);
}

std::span<const Field> all() { return kFields; }

const Field* find(QAnyStringView column) {
  for (const Field& f : kFields)
    if (QAnyStringView::compare(column, QLatin1StringView(f.name), Qt::CaseInsensitive) == 0) return &f;
  return nullptr;
}

const Field* withControl(QAnyStringView control) {
  for (const Field& f : kFields)
    if (QAnyStringView::compare(control, QLatin1StringView(f.control)) == 0) return &f;
  return nullptr;
}

std::vector<const Field*> inTableOrder() {
  std::vector<const Field*> list;
  for (const Field& f : kFields) list.push_back(&f);
  std::sort(list.begin(), list.end(),
            [](const Field* a, const Field* b) { return a->tableColumn < b->tableColumn; });
  return list;
}

std::vector<const Field*> printed() {
  std::vector<const Field*> list;
  for (const Field& f : kFields)
    if (f.printLine > 0) list.push_back(&f);
  std::sort(list.begin(), list.end(),
            [](const Field* a, const Field* b) { return a->printLine < b->printLine; });
  return list;
}

QStringList importNames() {
  QStringList names;
  for (const Field& f : kFields)
    if (f.imported) names << QString::fromLatin1(f.name);
  return names;
}

std::optional<qint64> wholeNumber(const Field& f, const QString& text) {
  static const QRegularExpression digits(QStringLiteral("^\\s*\\+?(\\d{1,18})\\s*$"));
  const QRegularExpressionMatch m = digits.match(text);
  if (!m.hasMatch()) return std::nullopt;
  const qint64 n = m.captured(1).toLongLong();
  if (n > f.max) return std::nullopt;
  return n;
}

QString outOfRangeMessage(const Field& f) {
  return QStringLiteral("%1 must be a whole number from 0 to %2.")
      .arg(QString::fromLatin1(f.caption).trimmed())
      .arg(f.max);
}

std::optional<qint64> storedWhole(const Value& v) {
  switch (v.type()) {
    case Value::Type::Integer:
      return v.toInt();
    case Value::Type::Real: {
      const double d = v.toDouble();
      if (!std::isfinite(d) || std::fabs(d) >= kWholeLimit) return std::nullopt;
      return std::llround(d);
    }
    case Value::Type::Money:
      return v.toMoney().scaled() / Money::kScale;
    case Value::Type::Text: {
      const double d = leadingNumber(v.toString());
      if (!std::isfinite(d) || std::fabs(d) >= kWholeLimit) return std::nullopt;
      return std::llround(d);
    }
    default:
      return std::nullopt;
  }
}

QString wholeNumberText(const Value& v) {
  if (v.isNull()) return {};
  const std::optional<qint64> n = storedWhole(v);
  if (!n) return v.toString();
  return *n == 0 ? QString() : QString::number(*n);
}

QString longestValue(const Field& f) {
  QString text;
  switch (f.kind) {
    case Kind::Text:
      for (int i = 0; i < f.length; ++i) text += QChar(u'A' + i % 26);
      return text;
    case Kind::Number:
      return QString(f.length, u'9');
    case Kind::Key:
      return QStringLiteral("9999999999");
    case Kind::Date:
      return QStringLiteral("12-28-2000");
    case Kind::Money:
      return QStringLiteral("-9999999.99");
    case Kind::State:
      return QStringLiteral("RESERVED");
    case Kind::Choice:
    case Kind::Sex:
      break;
  }
  return text;
}

std::optional<Value> fromText(const Field& f, const QString& text, const QString& dateFormat) {
  const QString t = text.trimmed();
  switch (f.kind) {
    case Kind::Text:
    case Kind::Sex:
    case Kind::State:
      return Value(text);
    case Kind::Number:
      if (t.isEmpty()) return Value(qint64(0));
      if (auto n = wholeNumber(f, t)) return Value(*n);
      return std::nullopt;
    case Kind::Date: {
      if (t.isEmpty()) return Value();
      const QDate d = DateValue::parseDisplay(t, dateFormat);
      if (d.isValid()) return Value(d);
      bool hasTime = false;
      const QDateTime dt = DateValue::fromIso(t, &hasTime);
      if (dt.isValid()) return Value(dt, hasTime);
      return std::nullopt;
    }
    case Kind::Money: {
      if (t.isEmpty()) return Value(Money());
      const std::optional<Money> m = Money::parse(t);
      const Money limit = Money::fromUnits(f.max);
      if (!m || *m > limit || *m < Money() - limit) return std::nullopt;
      return Value(*m);
    }
    case Kind::Key:
    case Kind::Choice:
      break;
  }
  return std::nullopt;
}

QString stateLetter(bool intermentDate, const QString& interredFirst, const QString& interredLast,
                    bool purchaseDate, const QString& purchaserFirst, const QString& purchaserLast) {
  using GraveState::State;
  if (intermentDate) return GraveState::letter(State::Buried);
  if (!interredLast.trimmed().isEmpty() || !interredFirst.trimmed().isEmpty())
    return GraveState::letter(State::Reserved);
  if (purchaseDate || !purchaserLast.trimmed().isEmpty() || !purchaserFirst.trimmed().isEmpty())
    return GraveState::letter(State::Sold);
  return GraveState::letter(State::Open);
}

std::optional<DateRefusal> checkDates(const QDate& interment, const QDate& birth, const QDate& death,
                                      const QDate& today) {
  const QString notAfterToday = QStringLiteral("\n\nThis date can not be greater than today's date.");
  if (interment.isValid() && today.daysTo(interment) > 5)
    return DateRefusal{
        QStringLiteral("Invalid Interment Date.\n\nThis date can not be greater than 5 days from "
                       "today's date."),
        "interdate"};
  if (birth.isValid() && birth > today)
    return DateRefusal{QStringLiteral("Invalid Date of Birth.") + notAfterToday, "birthdate"};
  if (death.isValid() && death > today)
    return DateRefusal{QStringLiteral("Invalid Date of Death.") + notAfterToday, "deathdate"};
  if (birth.isValid() && death.isValid() && birth > death)
    return DateRefusal{QStringLiteral("You cannot have a date-of-birth greater than the date-of-death."),
                       "deathdate"};
  if (death.isValid() && interment.isValid() && death > interment)
    return DateRefusal{QStringLiteral("You cannot have a date-of-death greater than the date-of-interment."),
                       "interdate"};
  return std::nullopt;
}

}  // namespace RecordFields
