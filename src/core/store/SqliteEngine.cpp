#include "core/store/SqliteEngine.h"

#include "core/store/Connection.h"
#include "core/store/Dialect.h"
#include "core/store/sqlite.h"

namespace {

class SqliteStatement final : public EngineStatement {
 public:
  SqliteStatement(Connection& cn, QByteArrayView sql) : cn_(cn) {
    const int rc = sqlite3_prepare_v2(cn.handle(), sql.data(), int(sql.size()), &st_, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(st_);
      st_ = nullptr;
      cn.fail(rc);
    }
  }
  ~SqliteStatement() override { sqlite3_finalize(st_); }

  bool step() override {
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // The statement's own failure, read before the reset clears it.
    const DbError e = cn_.error(rc);
    sqlite3_reset(st_);
    throw e;
  }
  void reset() override { sqlite3_reset(st_); }

  void bindNull(int pos) override { sqlite3_bind_null(st_, pos); }
  void bindInt(int pos, qint64 v) override { sqlite3_bind_int64(st_, pos, v); }
  void bindReal(int pos, double v) override { sqlite3_bind_double(st_, pos, v); }
  void bindText(int pos, QByteArrayView utf8, bool staysAlive) override {
    // An empty text is a text, not Null: the engine takes a missing pointer for Null.
    sqlite3_bind_text(st_, pos, utf8.data() ? utf8.data() : "", int(utf8.size()),
                      staysAlive ? SQLITE_STATIC : SQLITE_TRANSIENT);
  }
  void bindBlob(int pos, QByteArrayView bytes, bool staysAlive) override {
    // Empty bytes are an empty blob, not Null.
    sqlite3_bind_blob(st_, pos, bytes.data() ? bytes.data() : "", int(bytes.size()),
                      staysAlive ? SQLITE_STATIC : SQLITE_TRANSIENT);
  }

  int columnCount() const override { return sqlite3_column_count(st_); }
  const char* columnName(int col) const override { return sqlite3_column_name(st_, col); }
  const char* declaredType(int col) const override { return sqlite3_column_decltype(st_, col); }
  ColumnType type(int col) const override {
    switch (sqlite3_column_type(st_, col)) {
      case SQLITE_INTEGER:
        return ColumnType::Integer;
      case SQLITE_FLOAT:
        return ColumnType::Real;
      case SQLITE_TEXT:
        return ColumnType::Text;
      case SQLITE_BLOB:
        return ColumnType::Blob;
      default:
        return ColumnType::Null;
    }
  }
  qint64 int64(int col) const override { return sqlite3_column_int64(st_, col); }
  double real(int col) const override { return sqlite3_column_double(st_, col); }
  QByteArrayView text(int col) const override {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
    return QByteArrayView(p, sqlite3_column_bytes(st_, col));
  }
  QByteArrayView blob(int col) const override {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(st_, col));
    return QByteArrayView(p, sqlite3_column_bytes(st_, col));
  }

 private:
  Connection& cn_;
  sqlite3_stmt* st_ = nullptr;
};

}  // namespace

sqlite3* SqliteEngine::db() const { return cn_.handle(); }

QString SqliteEngine::translate(const QString& sql, const QString& fmt) const {
  return Dialect::translate(sql, fmt);
}

void SqliteEngine::execute(const QString& sql) {
  const QByteArray s = sql.toUtf8();
  char* err = nullptr;
  const int rc = sqlite3_exec(db(), s.constData(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    const QString msg = err ? QString::fromUtf8(err) : QString();
    sqlite3_free(err);
    throw cn_.error(rc, msg);
  }
}

std::unique_ptr<EngineStatement> SqliteEngine::prepare(QByteArrayView sql) {
  return std::make_unique<SqliteStatement>(cn_, sql);
}

void SqliteEngine::beginTransaction() { execute(QStringLiteral("BEGIN IMMEDIATE")); }
void SqliteEngine::commit() { execute(QStringLiteral("COMMIT")); }
void SqliteEngine::rollback() {
  if (inTransaction()) sqlite3_exec(db(), "ROLLBACK", nullptr, nullptr, nullptr);
}
bool SqliteEngine::inTransaction() const { return !sqlite3_get_autocommit(db()); }

qint64 SqliteEngine::lastInsertKey() { return sqlite3_last_insert_rowid(db()); }

QString SqliteEngine::keyColumn(const QString& table) {
  sqlite3_stmt* st = nullptr;
  const QByteArray q = QStringLiteral("PRAGMA table_info(\"%1\")").arg(table).toUtf8();
  if (sqlite3_prepare_v2(db(), q.constData(), -1, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    return {};
  }
  QString key;
  int pkCount = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    if (sqlite3_column_int(st, 5) > 0) {
      ++pkCount;
      const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
      if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
        key = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    }
  }
  sqlite3_finalize(st);
  return pkCount == 1 ? key : QString();
}

int SqliteEngine::schemaVersion() { return cn_.userVersion(); }

void SqliteEngine::setSchemaVersion(int version) {
  execute(QStringLiteral("PRAGMA user_version=%1").arg(version));
}

bool SqliteEngine::hasTable(const QString& table) {
  SqliteStatement st(cn_, "select count(*) from sqlite_master where type='table' and name=?");
  st.bindText(1, table.toUtf8(), false);
  return st.step() && st.int64(0) > 0;
}

QString SqliteEngine::writeProblem() const { return cn_.writeProblem(); }
