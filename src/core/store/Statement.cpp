#include "core/store/Statement.h"

#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/sqlite.h"

Statement::Statement(Connection& cn, QByteArrayView sql) : cn_(cn) {
  const int rc = sqlite3_prepare_v2(cn.handle(), sql.data(), int(sql.size()), &st_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(st_);
    st_ = nullptr;
    cn.fail(rc);
  }
}

Statement::~Statement() { sqlite3_finalize(st_); }

bool Statement::next() {
  const int rc = sqlite3_step(st_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  cn_.fail(rc);
}

void Statement::reset() { sqlite3_reset(st_); }

void Statement::bindNull(int pos) { sqlite3_bind_null(st_, pos); }
void Statement::bind(int pos, qint64 v) { sqlite3_bind_int64(st_, pos, v); }
void Statement::bind(int pos, double v) { sqlite3_bind_double(st_, pos, v); }
void Statement::bindText(int pos, QByteArrayView utf8) {
  // An empty text is a text, not Null: the engine takes a missing pointer for Null.
  sqlite3_bind_text(st_, pos, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_STATIC);
}

void Statement::bindBlob(int pos, QByteArrayView bytes) {
  sqlite3_bind_blob(st_, pos, bytes.data() ? bytes.data() : "", int(bytes.size()), SQLITE_STATIC);
}

int Statement::columnCount() const { return sqlite3_column_count(st_); }
const char* Statement::columnName(int col) const { return sqlite3_column_name(st_, col); }
const char* Statement::declaredType(int col) const { return sqlite3_column_decltype(st_, col); }

Statement::Type Statement::type(int col) const {
  switch (sqlite3_column_type(st_, col)) {
    case SQLITE_INTEGER:
      return Type::Integer;
    case SQLITE_FLOAT:
      return Type::Real;
    case SQLITE_TEXT:
      return Type::Text;
    case SQLITE_BLOB:
      return Type::Blob;
    default:
      return Type::Null;
  }
}

qint64 Statement::int64(int col) const { return sqlite3_column_int64(st_, col); }
double Statement::real(int col) const { return sqlite3_column_double(st_, col); }

QByteArrayView Statement::text(int col) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
  return QByteArrayView(p, sqlite3_column_bytes(st_, col));
}

QByteArrayView Statement::blob(int col) const {
  const auto* p = static_cast<const char*>(sqlite3_column_blob(st_, col));
  return QByteArrayView(p, sqlite3_column_bytes(st_, col));
}

std::optional<Value> Statement::money(int col) const { return Schema::readMoney(st_, col); }

static_assert(DbError::Error == SQLITE_ERROR && DbError::Busy == SQLITE_BUSY &&
              DbError::Locked == SQLITE_LOCKED && DbError::Corrupt == SQLITE_CORRUPT &&
              DbError::Full == SQLITE_FULL && DbError::Misuse == SQLITE_MISUSE &&
              DbError::NotADatabase == SQLITE_NOTADB && DbError::IoErr == SQLITE_IOERR &&
              DbError::CantOpen == SQLITE_CANTOPEN);
