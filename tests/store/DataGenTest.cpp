// The synthetic data: the demo seed as shipped, and the same data from the same seed.
#include <gtest/gtest.h>

#include "DataGen.h"
#include "core/program/Zel1.h"
#include "core/store/Schema.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

namespace {

// Every row of zel as text, in key order.
QStringList dump(Connection& cn) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select * from zel order by recid"));
  QStringList rows;
  for (; !rs.eof(); rs.moveNext()) {
    QStringList f;
    for (int i = 0; i < rs.fieldCount(); ++i)
      f << (rs.field(i).isNull() ? QStringLiteral("<null>") : rs.field(i).toString());
    rows << f.join(u'|');
  }
  return rows;
}

}  // namespace

TEST(DataGenTest, DemoSeedIsPlainAndGetsThePasswordWhenCopiedIn) {
  TestFolder folder(false);
  const QString seed = QStringLiteral(ZEL_BUILD_DIR "/data/zeldemo.mdb");
  ASSERT_TRUE(QFile::exists(seed));
  const QByteArray seedBytes = fileBytes(seed);
  EXPECT_TRUE(seedBytes.startsWith(QByteArray("SQLite format 3\0", 16)));

  folder.copyIn(seed, QStringLiteral("zel.mdb"));
  Connection cn;
  ASSERT_TRUE(openProgramDatabase(cn, folder.file(QStringLiteral("zel.mdb"))));
  EXPECT_EQ(fileBytes(seed), seedBytes);
  EXPECT_TRUE(Schema::isComplete(cn));
  EXPECT_EQ(scalarOn(cn, "select count(*) from cemetery where rtrim(addr1)>'' and rtrim(city)>''"), "2");
  EXPECT_EQ(scalarOn(cn, "select count(*) from lots where lotprice>0 and rtrim(lotsize)>''"), "5");
  EXPECT_EQ(scalarOn(cn, "select count(*) from zel"), "300");
  for (const char* state : {"B", "R", "S", " "})
    EXPECT_GT(scalarOn(cn, QStringLiteral("select count(*) from zel where status='%1'").arg(state)).toInt(),
              10)
        << state;
  EXPECT_GT(scalarOn(cn, "select count(*) from zel where purchprice+burialfee<>amtpaid").toInt(), 10);
  // The states follow the record form's rule, but for the one record planted against it (README).
  EXPECT_EQ(scalarOn(cn, "select count(*) from zel where status='B' and interdate is null"), "0");
  EXPECT_EQ(
      scalarOn(
          cn,
          "select count(*) from zel where status='R' and (interdate is not null or rtrim(interlastname)='')"),
      "0");
  EXPECT_EQ(scalarOn(cn,
                     "select group_concat(csection || ',' || lot || ',' || grave) from zel where status='S' "
                     "and (rtrim(interlastname)>'' or rtrim(ownerlastname)='')"),
            "A,6,1");
  // No two records share a place but the planted pair.
  EXPECT_EQ(scalarOn(cn,
                     "select group_concat(csection || ',' || lot || ',' || grave) from (select * from zel "
                     "group by cemeteryid, csection, lot, grave having count(*)>1)"),
            "A,3,3");
}

TEST(DataGenTest, SameSeedSameDataOtherSeedOtherData) {
  TestFolder folder(false);
  DataGen::Options o;
  o.records = 120;
  auto make = [&](const char* name, quint32 seed) {
    o.seed = seed;
    DataGen::makeDatabase(folder.file(name), o, QString());
    auto cn = std::make_unique<Connection>();
    cn->open(folder.file(name), QString());
    return dump(*cn);
  };
  const QStringList a = make("a.mdb", 7), b = make("b.mdb", 7), c = make("c.mdb", 8);
  EXPECT_EQ(a.size(), 120);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
}
