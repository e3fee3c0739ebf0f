#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

#include "core/reports/ReportTable.h"

class Connection;

// The reports: their definitions and the builders that turn a query into a Table. No windows here,
// so the report window, the tests and the command line all build reports the same way.
namespace Report {

enum class Id {
  CemeteryList,
  LotList,
  InterredByLocation,
  InterredByName,
  InterredByDob,
  InterredByDod,
  Receivables,
  AvailableGraves,
  MapCheck,
  AgedReceivables,
  RightsOfBurial
};

struct Definition {
  Id id;
  const char* key;       // short name for the command line
  const char* menuName;  // the report window's menu item
  const char* caption;   // its caption
  bool perCemetery;      // the cemetery is chosen first
  bool later;            // one of the reports set apart below a separator in the menu
};

// Every report, in the order of the report window's menus.
const std::vector<Definition>& definitions();
const Definition& definition(Id id);
// The definition with this key, or nullptr.
const Definition* findByKey(const QString& key);

// The cemetery a per-cemetery report lists (ignored by the others).
struct Cemetery {
  qint32 id = 0;
  QString name;
};

// What some reports read besides the database: the data folder with the cemeteries' map files,
// and today's date (replaceable, so that ages can be tested on a fixed day).
struct Sources {
  QString dataPath;  // ends with the path separator
  std::function<QDate()> today = [] { return QDate::currentDate(); };
};

// The report's query (for the map reports, the query of the cemetery's records).
QString sql(Id id, qint32 cemeteryId);

// Runs the report's query on cn and builds its table. Failures throw DbError; one of a map file that
// cannot be read names the file.
Table build(Id id, Connection& cn, const Cemetery& cemetery, const Format& format,
            const Sources& sources = {});

}  // namespace Report
