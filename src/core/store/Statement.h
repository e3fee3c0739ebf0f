#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>

#include "core/store/Engine.h"
#include "core/store/Value.h"

class Connection;

// One prepared statement of a connection, for work over many rows where a value per cell would
// cost more than the work itself (import, export, the reports on whole cemeteries). Values are read
// where the engine holds them: a text is valid until the next step. Failures throw DbError.
class Statement {
 public:
  using Type = ColumnType;

  // How the rows are read: as the engine reads them best, or streamed (Engine::prepareStreamed, no
  // parameters) for a result read once that may be larger than memory.
  enum class Rows { Default, Streamed };

  // The SQL is taken as it stands, without the dialect's translation.
  Statement(Connection& cn, QByteArrayView sql, Rows rows = Rows::Default);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Steps to the next row: false once there is none.
  bool next() { return st_->step(); }
  // Ready to run again, with the bindings kept.
  void reset() { st_->reset(); }

  // Parameters count from 1. A bound text must stay alive until the statement has run.
  void bindNull(int pos) { st_->bindNull(pos); }
  void bind(int pos, qint64 v) { st_->bindInt(pos, v); }
  void bind(int pos, double v) { st_->bindReal(pos, v); }
  void bindText(int pos, QByteArrayView utf8) { st_->bindText(pos, utf8, true); }
  void bindBlob(int pos, QByteArrayView bytes) { st_->bindBlob(pos, bytes, true); }

  // Columns count from 0.
  int columnCount() const { return st_->columnCount(); }
  const char* columnName(int col) const { return st_->columnName(col); }
  // The type the column was declared with in its table; nullptr for an expression.
  const char* declaredType(int col) const { return st_->declaredType(col); }
  Type type(int col) const { return st_->type(col); }
  qint64 int64(int col) const { return st_->int64(col); }
  double real(int col) const { return st_->real(col); }
  QByteArrayView text(int col) const { return st_->text(col); }
  QString string(int col) const { return QString::fromUtf8(text(col)); }
  QByteArrayView blob(int col) const { return st_->blob(col); }
  // A money column's amount (Null for none); nothing when what is stored there is no amount.
  std::optional<Value> money(int col) const;

 private:
  std::unique_ptr<EngineStatement> st_;
};
