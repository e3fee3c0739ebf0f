#include <gtest/gtest.h>

#include "app/Zel1.h"
#include "store/RecordSet.h"
#include "support/TestFolder.h"

class StoreTest : public DataTest {};

TEST_F(StoreTest, CaseInsensitiveStateMatch) {
  exec("insert into zel (csection, lot, grave, status) values ('A', '1', '2', 'B')");
  EXPECT_EQ(scalar("select count(*) from zel where status='b'"), "1");
}
