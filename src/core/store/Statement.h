#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include "core/store/Value.h"

struct sqlite3_stmt;
class Connection;

// One prepared statement of a connection, for work over many rows where a value per cell would
// cost more than the work itself (import, export, the reports on whole cemeteries). Values are read
// where the engine holds them: a text is valid until the next step. Failures throw DbError.
class Statement {
 public:
  enum class Type { Integer, Real, Text, Blob, Null };

  // The SQL is taken as it stands, without the dialect's translation.
  Statement(Connection& cn, QByteArrayView sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Steps to the next row: false once there is none.
  bool next();
  // Ready to run again, with the bindings kept.
  void reset();

  // Parameters count from 1. A bound text must stay alive until the statement has run.
  void bindNull(int pos);
  void bind(int pos, qint64 v);
  void bind(int pos, double v);
  void bindText(int pos, QByteArrayView utf8);
  void bindBlob(int pos, QByteArrayView bytes);

  // Columns count from 0.
  int columnCount() const;
  const char* columnName(int col) const;
  // The type the column was declared with in its table; nullptr for an expression.
  const char* declaredType(int col) const;
  Type type(int col) const;
  qint64 int64(int col) const;
  double real(int col) const;
  QByteArrayView text(int col) const;
  QString string(int col) const { return QString::fromUtf8(text(col)); }
  QByteArrayView blob(int col) const;
  // A money column's amount (Null for none); nothing when what is stored there is no amount.
  std::optional<Value> money(int col) const;

 private:
  Connection& cn_;
  sqlite3_stmt* st_ = nullptr;
};
