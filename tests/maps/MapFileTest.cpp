#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "controls/GridControl.h"
#include "controls/MapFile.h"

namespace {

QByteArray readAll(const QString& name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& name, const QByteArray& data) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

// A small map with every kind of cell, a custom default and the corner marker.
void fillMap(GridModel& m) {
  m.setMaxRows(7);
  m.setMaxCols(9);
  m.setBackColor(GridRange::all(), QColor(0, 128, 0));
  m.setBackColor(GridRange::block(2, 2, 3, 5), Qt::white);
  m.setBackColor(GridRange::cell(7, 9), Qt::black);
  m.setText(2, 2, QStringLiteral("A,1,1"));
  m.setText(3, 5, QStringLiteral("O'Brien,12,3"));
  m.setText(1, 1, QStringLiteral("ünïcödé,\t,"));
  m.setText(0, 0, QStringLiteral("6.0"));
}

void expectSame(const GridModel& a, const GridModel& b) {
  ASSERT_EQ(a.maxRows(), b.maxRows());
  ASSERT_EQ(a.maxCols(), b.maxCols());
  for (int r = 0; r <= a.maxRows() + 1; ++r)
    for (int c = 0; c <= a.maxCols() + 1; ++c) {
      EXPECT_EQ(a.text(r, c), b.text(r, c)) << r << "," << c;
      EXPECT_EQ(a.backColor(r, c), b.backColor(r, c)) << r << "," << c;
    }
}

}  // namespace

TEST(MapFile, NamesTheFileAfterTheCemetery) {
  EXPECT_EQ(MapFile::fileName(QStringLiteral("/data/"), 7), "/data/zelmap7.dat");
  EXPECT_EQ(MapFile::fileName(QStringLiteral("/data/"), 12), "/data/zelmap12.dat");
}

TEST(MapFile, GivesBackExactlyWhatWasSaved) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("zelmap1.dat"));
  GridControl saved;
  fillMap(*saved.grid());
  ASSERT_TRUE(saved.saveToFile(name, false));

  GridControl loaded;
  loaded.setMaxRows(500);
  loaded.setMaxCols(500);
  loaded.setText(400, 400, QStringLiteral("old"));
  ASSERT_TRUE(loaded.loadFromFile(name));
  expectSame(*saved.grid(), *loaded.grid());
  EXPECT_EQ(loaded.text(0, 0), "6.0");

  // Saving again over the file replaces it.
  saved.setMaxCols(3);
  ASSERT_TRUE(saved.saveToFile(name, false));
  ASSERT_TRUE(loaded.loadFromFile(name));
  expectSame(*saved.grid(), *loaded.grid());

  // Data only keeps texts and size but not colours.
  ASSERT_TRUE(saved.saveToFile(name, true));
  ASSERT_TRUE(loaded.loadFromFile(name));
  EXPECT_EQ(loaded.text(2, 2), "A,1,1");
  EXPECT_EQ(loaded.backColor(7, 3), loaded.backColor(2, 2));
}

TEST(MapFile, RefusesDamagedAndForeignFilesAndLeavesThemAlone) {
  QTemporaryDir dir;
  const QString good = dir.filePath(QStringLiteral("good.dat"));
  GridControl saved;
  fillMap(*saved.grid());
  ASSERT_TRUE(saved.saveToFile(good, false));
  const QByteArray bytes = readAll(good);

  QByteArray flipped = bytes;
  flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x40);
  const QList<QByteArray> bad = {QByteArray(),
                                 QByteArray("just some text\r\n"),
                                 bytes.left(bytes.size() - 1),
                                 bytes.left(bytes.size() / 2),
                                 flipped,
                                 bytes + QByteArray("x")};
  int i = 0;
  for (const QByteArray& content : bad) {
    const QString name = dir.filePath(QStringLiteral("bad%1.dat").arg(i++));
    writeAll(name, content);
    GridControl g;
    g.setMaxRows(4);
    g.setMaxCols(4);
    g.setText(1, 1, QStringLiteral("kept"));
    QString error;
    EXPECT_FALSE(g.loadFromFile(name, &error)) << i;
    EXPECT_TRUE(error.contains(name)) << error.toStdString();
    EXPECT_EQ(g.text(1, 1), "kept");
    EXPECT_EQ(g.maxRows(), 4);
    EXPECT_EQ(readAll(name), content);
  }
  QString error;
  GridControl g;
  EXPECT_FALSE(g.loadFromFile(dir.filePath(QStringLiteral("missing.dat")), &error));
  EXPECT_TRUE(error.contains(QStringLiteral("missing.dat")));
}

TEST(MapFile, FailedSaveKeepsTheEarlierFileAndSaysWhere) {
  QTemporaryDir dir;
  GridControl g;
  fillMap(*g.grid());
  QString error;
  const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/zelmap1.dat"));
  EXPECT_FALSE(g.saveToFile(nowhere, false, &error));
  EXPECT_TRUE(error.contains(nowhere)) << error.toStdString();

  // A folder standing where the file should be: the save fails, the folder is untouched.
  const QString blocked = dir.filePath(QStringLiteral("zelmap2.dat"));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("zelmap2.dat")));
  EXPECT_FALSE(g.saveToFile(blocked, false, &error));
  EXPECT_TRUE(QFileInfo(blocked).isDir());
}
