#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/TestFolder.h"

// The two engines a store test runs on: the SQLCipher file of the test's data folder, or a new
// database of the test program's own PostgreSQL cluster (TestServer). A server that cannot be
// started fails the test: it is never skipped.
enum class EngineKind { File, Server };

// DataTest on the engine of the parameter: ZEL1.cnData is open on it with the program's tables.
class EngineTest : public DataTest, public ::testing::WithParamInterface<EngineKind> {
 protected:
  void SetUp() override;
  bool onServer() const { return GetParam() == EngineKind::Server; }
};

// Puts ZEL1.cnData (and the record set on it) on a new database of the test program's cluster, with
// the program's tables; its connection string, for a second clerk's connection. Fails the test
// when there is no server.
QString openServerData();

std::string engineName(const ::testing::TestParamInfo<EngineKind>& info);
inline void PrintTo(EngineKind kind, std::ostream* os) {
  *os << (kind == EngineKind::File ? "File" : "Server");
}

#define ZEL_ON_BOTH_ENGINES(Suite)                                                                  \
  INSTANTIATE_TEST_SUITE_P(Engines, Suite, ::testing::Values(EngineKind::File, EngineKind::Server), \
                           engineName)
