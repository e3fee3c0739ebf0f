// The drawn map shipped in the demo data folder, shown by the viewer over the demo seed.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/RecordSet.h"
#include "gui/controls/GridControl.h"
#include "gui/maps/frmViewMap.h"
#include "support/ScriptedMessages.h"
#include "support/TestFolder.h"

TEST(DemoMap, EveryGraveOfTheFirstDemoCemeteryIsOnTheMapInItsStateColour) {
  TestFolder folder(false);
  folder.copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zeldemo.mdb"), QStringLiteral("zel.mdb"));
  folder.copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zelmap1.dat"));
  ASSERT_TRUE(openProgramDatabase(ZEL1.cnData, folder.file(QStringLiteral("zel.mdb"))));
  ZEL1.CurrentCemeteryId = 1;

  // What the map should show, from the records themselves. The demo holds planted disagreements
  // (README): the record of D,8,2 moved onto A,3,3, where the first record decides; the cell of
  // A,2,2 drawn with the text A,2,1.
  QHash<QString, QColor> expected;
  RecordSet rs(&ZEL1.cnData);
  rs.open(QStringLiteral("select csection, lot, grave, status from zel where cemeteryid=1 order by recid"));
  for (; !rs.eof(); rs.moveNext()) {
    const QString key =
        rs.field(0).toString() + u',' + rs.field(1).toString() + u',' + rs.field(2).toString();
    const QString s = rs.field(3).toString();
    if (expected.contains(key)) continue;
    expected.insert(key, s == "B"   ? QColor(255, 0, 0)
                         : s == "S" ? QColor(0, 0, 255)
                         : s == "R" ? QColor(255, 255, 0)
                                    : QColor(255, 255, 255));
  }
  ASSERT_GT(expected.size(), 100);

  ScriptedMessages msgs;
  frmViewMap w;
  w.show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w.coloured());
  GridControl& g = *w.Spread1;
  int graves = 0;
  QSet<QString> drawn;
  QSet<QRgb> seen;
  for (int r = 1; r <= g.maxRows(); ++r) {
    for (int c = 1; c <= g.maxCols(); ++c) {
      const QString text = g.text(r, c);
      if (text.count(u',') != 2) continue;
      ++graves;
      drawn.insert(text);
      EXPECT_EQ(g.backColor(r, c), expected.value(text, QColor(255, 255, 255))) << text.toStdString();
      seen.insert(g.backColor(r, c).rgb());
    }
  }
  const QSet<QString> records(expected.keyBegin(), expected.keyEnd());
  EXPECT_EQ(QSet<QString>(drawn).subtract(records), QSet<QString>{QStringLiteral("D,8,2")});
  EXPECT_EQ(QSet<QString>(records).subtract(drawn), QSet<QString>{QStringLiteral("A,2,2")});
  EXPECT_EQ(graves, drawn.size() + 1) << "A,2,1 twice";
  EXPECT_EQ(seen.size(), 4) << "open, sold, reserved and buried graves all appear";
}
