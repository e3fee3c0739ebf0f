#pragma once

#include "core/store/Engine.h"

struct sqlite3;
class Connection;

// The SQLCipher file behind a Connection: the connection opens and keys the file, this runs the
// statements on it.
class SqliteEngine final : public Engine {
 public:
  explicit SqliteEngine(Connection& cn) : cn_(cn) {}
  Kind kind() const override { return Kind::File; }
  QString translate(const QString& sql, const QString& dateDisplayFormat) const override;
  void execute(const QString& sql) override;
  std::unique_ptr<EngineStatement> prepare(QByteArrayView sql) override;
  void beginTransaction() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override;
  qint64 lastInsertKey() override;
  QString keyColumn(const QString& table) override;
  int schemaVersion() override;
  void setSchemaVersion(int version) override;
  bool hasTable(const QString& table) override;
  QString writeProblem() const override;

 private:
  sqlite3* db() const;
  Connection& cn_;
};
