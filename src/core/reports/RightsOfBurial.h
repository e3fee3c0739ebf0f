#pragma once

#include "core/reports/Reports.h"

namespace Report {

// The Rights of Burial Register: per grave of a cemetery, in the order of places, each purchaser
// it has had, oldest first, with the purchase date and when the history first shows them.
Table rightsOfBurial(Connection& cn, const Cemetery& cemetery, const Format& format);

}  // namespace Report
