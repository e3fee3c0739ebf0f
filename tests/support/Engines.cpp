#include "support/Engines.h"

#include "core/program/Zel1.h"
#include "core/store/Schema.h"
#include "support/TestServer.h"

void EngineTest::SetUp() {
  DataTest::SetUp();
  if (!onServer()) return;
  TestServer& server = TestServer::shared();
  ASSERT_EQ(server.problem(), QString());
  const QString database = server.newDatabase();
  ASSERT_FALSE(database.isEmpty());
  ZEL1.cnData.openServer(database);
  Schema::create(ZEL1.cnData);
}

QString openServerData() {
  TestServer& server = TestServer::shared();
  EXPECT_EQ(server.problem(), QString());
  const QString database = server.newDatabase();
  EXPECT_FALSE(database.isEmpty());
  ZEL1.rsRecords.close();
  ZEL1.cnData.close();
  ZEL1.cnData.openServer(database);
  Schema::create(ZEL1.cnData);
  return database;
}

std::string engineName(const ::testing::TestParamInfo<EngineKind>& info) {
  return info.param == EngineKind::File ? "File" : "Server";
}
