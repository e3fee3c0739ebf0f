#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <vector>

#include "core/store/DbError.h"

// What Connection, Statement and RecordSet need of a database engine: the SQLCipher file
// (SqliteEngine) or a PostgreSQL server (ServerEngine). Failures throw DbError.

enum class ColumnType { Integer, Real, Text, Blob, Null };

// One prepared statement. Parameters count from 1 and are written "?" in the SQL; columns count
// from 0. What a column gives is valid until the next step.
class EngineStatement {
 public:
  virtual ~EngineStatement() = default;
  // Runs the statement on the first call after a reset, then steps: false once there is no row.
  virtual bool step() = 0;
  // Ready to run again, with the bindings kept.
  virtual void reset() = 0;

  virtual void bindNull(int pos) = 0;
  virtual void bindInt(int pos, qint64 v) = 0;
  virtual void bindReal(int pos, double v) = 0;
  // The text is copied unless it is said to stay alive until the statement has run.
  virtual void bindText(int pos, QByteArrayView utf8, bool staysAlive = false) = 0;
  // Bytes as they are (no encoding), copied on the same terms as a text.
  virtual void bindBlob(int pos, QByteArrayView bytes, bool staysAlive = false) = 0;

  virtual int columnCount() const = 0;
  virtual const char* columnName(int col) const = 0;
  // The column's type as its table declares it, in the file's words ("money", "date", "double",
  // "integer", "text"); nullptr for an expression.
  virtual const char* declaredType(int col) const = 0;
  virtual ColumnType type(int col) const = 0;
  virtual qint64 int64(int col) const = 0;
  virtual double real(int col) const = 0;
  virtual QByteArrayView text(int col) const = 0;
  virtual QByteArrayView blob(int col) const = 0;
};

class Engine {
 public:
  enum class Kind { File, Server };
  virtual ~Engine() = default;
  virtual Kind kind() const = 0;

  // The program's SQL in the engine's own dialect.
  virtual QString translate(const QString& sql, const QString& dateDisplayFormat) const = 0;
  // Runs statements that return no rows (several may be separated by semicolons), as given.
  virtual void execute(const QString& sql) = 0;
  virtual std::unique_ptr<EngineStatement> prepare(QByteArrayView sql) = 0;
  // A statement for reading a large result once from start to end (the export): its rows come as
  // they are made, a few at a time, from one snapshot, so that memory stays the same however many
  // there are. It takes no parameters. The file steps row by row anyway.
  virtual std::unique_ptr<EngineStatement> prepareStreamed(QByteArrayView sql) { return prepare(sql); }
  // Runs statements of this engine, bound and not run since their last reset, as early as it can:
  // a server runs them all in one wait, each as it would run alone (a failure comes from the
  // failed one's step()). Their rows are read with step() as usual. The file runs each at its step.
  virtual void runTogether(const std::vector<EngineStatement*>& statements) { (void)statements; }

  virtual void beginTransaction() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;  // does nothing outside a transaction
  virtual bool inTransaction() const = 0;

  // The key of the row the connection inserted last.
  virtual qint64 lastInsertKey() = 0;
  // The table's single integer primary key column; empty when it has none or another key.
  virtual QString keyColumn(const QString& table) = 0;
  // The number the schema's version is kept under (0 for a database without one).
  virtual int schemaVersion() = 0;
  virtual void setSchemaVersion(int version) = 0;
  // Whether the tables exist.
  virtual bool hasTable(const QString& table) = 0;
  // Empty when changes can be saved; else why not.
  virtual QString writeProblem() const = 0;
};
