#pragma once

#include <libpq-fe.h>

#include <memory>

// What the two users of libpq in the store share: the type numbers of the server's built-in types
// (pg_type.oid, fixed across versions) and a result freed when it goes.
namespace ServerTypes {

enum : Oid {
  kBool = 16,
  kBytea = 17,
  kInt8 = 20,
  kInt2 = 21,
  kInt4 = 23,
  kOid = 26,
  kFloat4 = 700,
  kFloat8 = 701,
  kDate = 1082,
  kTimestamp = 1114,
  kTimestampTz = 1184,
  kNumeric = 1700
};

struct ResultFree {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

}  // namespace ServerTypes
