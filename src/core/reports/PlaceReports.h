#pragma once

#include "core/reports/Reports.h"

// The reports that set a cemetery's map beside its records.
namespace Report {

Table availableGraves(Connection& cn, const Cemetery& cemetery, const Sources& sources);
Table mapCheck(Connection& cn, const Cemetery& cemetery, const Sources& sources);

}  // namespace Report
