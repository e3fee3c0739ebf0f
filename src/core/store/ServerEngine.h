#pragma once

#include <QHash>
#include <memory>
#include <optional>

#include "core/store/Engine.h"

class Connection;
class ServerLink;

// A PostgreSQL database behind a Connection, reached through libpq with a connection string that
// carries no password. Statements are prepared on the server; a result is read whole, streamed
// (prepareStreamed) or fetched in batches (prepareBatched).
class ServerEngine final : public Engine {
 public:
  // Connects; fails with DbError (NotADatabase when the server cannot be reached or refuses).
  explicit ServerEngine(const QString& connection);
  ~ServerEngine() override;

  Kind kind() const override { return Kind::Server; }
  QString translate(const QString& sql, const QString& dateDisplayFormat) const override;
  void execute(const QString& sql) override;
  std::unique_ptr<EngineStatement> prepare(QByteArrayView sql) override;
  // The rows of COPY (sql) TO STDOUT: one statement, one snapshot, read a row at a time.
  std::unique_ptr<EngineStatement> prepareStreamed(QByteArrayView sql) override;
  // A statement for reading a large result once from start to end with the values prepare()'s give
  // (a copy that keeps every value as stored): a cursor of the transaction the connection is in
  // (outside one it fails), fetched a batch of rows at a time, so that memory stays the same however
  // many there are. It takes no parameters.
  std::unique_ptr<EngineStatement> prepareBatched(QByteArrayView sql);
  void runTogether(const std::vector<EngineStatement*>& statements) override;
  void beginTransaction() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override;
  qint64 lastInsertKey() override;
  QString keyColumn(const QString& table) override;
  int schemaVersion() override;
  void setSchemaVersion(int version) override;
  bool hasTable(const QString& table) override;
  // A role that may not add, change and remove records reads them only: the refusal a save would
  // meet, said before any is tried. Asked once the tables exist.
  QString writeProblem() const override;

  // Starts the server's first-time work for a read of table (select, in this engine's dialect, of
  // which only the first row is asked) without waiting for it: the catalogue a first query of the
  // table loads and its first plan. The connection's next request reads the answer first and drops
  // it; a failure of the warm-up is silent (see ServerLink::sendAside).
  void warmUp(const QString& table, const QString& select);

  // The declared type, in the file's words, of a table's column (by the server's numbers).
  const char* declaredType(unsigned table, int column);
  // The times the connection has waited for the server so far.
  qint64 roundTrips() const;

  class Prepared;

 private:
  // Shared with the statements: the connection lasts until the last of them is gone.
  std::shared_ptr<ServerLink> link_;
  QString readKeyColumn(const QString& table);
  std::shared_ptr<Prepared> prepared_;  // statements kept for their SQL
  QHash<QString, QString> keys_;        // keyColumn() by table
  QHash<quint64, QByteArray> declared_;
  mutable std::optional<QString> writeProblem_;
  int statements_ = 0;
};

// Starts a read the program is about to make of table (select: in the program's dialect, without a
// limit) on cn's server and does not wait for it: the server does the work a first query of the
// table costs it once per connection (its catalogue, the first plan) while the program goes on.
// Nothing is read; it changes no result, and a failure of it is silent. Nothing on a file.
void warmUpServer(Connection& cn, const QString& table, const QString& select);
