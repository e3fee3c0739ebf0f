#include "core/history/History.h"

#include "core/store/Connection.h"
#include "core/store/DbError.h"
#include "core/store/RecordSet.h"

namespace History {

QString kindName(Kind) { return {}; }
Kind kindFromName(const QString&) { return Kind::Begins; }
Contents contentsOf(const Entry&) { return {}; }
QString contentsText(const Contents&) { return {}; }
QString valueIn(const Contents&, const QString&) { return {}; }
void createTable(Connection&) {}
bool hasTable(Connection&) { return false; }
QString currentUser() { return {}; }
QString currentComputer() { return {}; }
void setIdentityForTesting(const QString&, const QString&) {}
qint64 append(Connection&, Entry) { return 0; }
std::optional<Contents> readRow(Connection&, const QString&, qint64) { return std::nullopt; }
void rowSaved(Connection&, const QString&, qint64, const std::optional<Contents>&) {}
qint64 saveRow(Connection&, RecordSet& rs, const QString&) {
  rs.update();
  return 0;
}
bool removeRow(Connection&, const QString&, qint64) { return false; }
int updateRecords(Connection&, const QString&, const QString&) { return 0; }
void mapSaved(Connection&, qint64, const QStringList&, const QByteArray&) {}
void imported(Connection&, const QString&, int, const std::vector<qint64>&, bool) {}
void keepAllRecords(Connection&) {}
void restored(Connection&, const QString&, const QDateTime&) {}
void shared(Connection&, const QString&) {}
std::vector<Entry> ofRecord(Connection&, qint64) { return {}; }
std::vector<Entry> ofTable(Connection&, const QString&, qint64) { return {}; }
std::vector<Entry> entries(Connection&, const QDateTime&, qint64) { return {}; }
QString Removed::place() const { return {}; }
QString Removed::name() const { return {}; }
std::vector<Removed> removedRecords(Connection&, const QString&) { return {}; }
qint64 putBack(Connection&, qint64) { return 0; }
std::vector<Purchaser> purchasers(Connection&, qint64) { return {}; }
std::vector<GravePurchasers> rightsOfBurial(Connection&, qint64) { return {}; }
Verdict verify(Connection&) { return {}; }
QStringList ownerPersonalFields() { return {}; }
QString erasedText(const QDate&, const QString&) { return {}; }
int eraseOwner(Connection&, qint64) { return 0; }

}  // namespace History
