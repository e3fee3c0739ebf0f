#include "core/store/Statement.h"

#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/sqlite.h"

Statement::Statement(Connection& cn, QByteArrayView sql, Rows rows)
    : st_(rows == Rows::Streamed ? cn.engine().prepareStreamed(sql) : cn.engine().prepare(sql)) {}

Statement::~Statement() = default;

std::optional<Value> Statement::money(int col) const { return Schema::readMoney(*st_, col); }

static_assert(DbError::Error == SQLITE_ERROR && DbError::Busy == SQLITE_BUSY &&
              DbError::Locked == SQLITE_LOCKED && DbError::Corrupt == SQLITE_CORRUPT &&
              DbError::Full == SQLITE_FULL && DbError::Misuse == SQLITE_MISUSE &&
              DbError::NotADatabase == SQLITE_NOTADB && DbError::IoErr == SQLITE_IOERR &&
              DbError::CantOpen == SQLITE_CANTOPEN);
