#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "core/maps/MapFile.h"
#include "core/store/DbError.h"
#include "gui/controls/GridControl.h"
#include "support/FailingDevice.h"
#include "support/TestData.h"

namespace {

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
  // Short texts are kept inside the cell when they are Latin-1 and fit: both sides of each limit.
  m.setText(4, 1, QStringLiteral("Ω,1,1"));
  m.setText(4, 2, QStringLiteral("ÿ,9,1"));
  m.setText(4, 3, QStringLiteral("123456789"));
  m.setText(4, 4, QStringLiteral("1234567890"));
  m.setText(0, 0, QStringLiteral("6.0"));
}

// A map file made byte by byte, with a correct checksum: only the reader's own checks can refuse it.
struct Forged {
  quint32 version = 1, rows = 5, cols = 5, back = 0x008000, fore = 0, count = 0;
  QByteArray cells;

  static void u32(QByteArray& b, quint32 v) {
    for (int i = 0; i < 4; ++i) b.append(char(v >> (8 * i)));
  }
  static void varint(QByteArray& b, quint64 v) {
    for (; v >= 0x80; v >>= 7) b.append(char((v & 0x7F) | 0x80));
    b.append(char(v));
  }
  Forged& cell(quint64 row, quint64 col, const QByteArray& text, quint8 flags = 1,
               quint32 colour = 0xFFFFFF) {
    ++count;
    varint(cells, row);
    varint(cells, col);
    cells.append(char(flags));
    varint(cells, quint64(text.size()));
    cells.append(text);
    if (flags & 1) u32(cells, colour);
    if (flags & 2) u32(cells, colour);
    return *this;
  }
  QByteArray bytes() const {
    QByteArray b("ZELMAP\x1a", 7);
    for (quint32 v : {version, rows, cols, back, fore, count}) u32(b, v);
    b += cells;
    return b + QCryptographicHash::hash(b, QCryptographicHash::Sha1);
  }
};

// A sheet the tests load into: it must be left as it was by every refused file.
struct Target {
  GridControl g;
  Target() {
    g.setMaxRows(4);
    g.setMaxCols(4);
    g.setText(1, 1, QStringLiteral("kept"));
  }
  bool untouched() const { return g.text(1, 1) == "kept" && g.maxRows() == 4; }
};

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

// Over a megabyte of cells: texts of every length, plain and not, across the pieces the file is
// written and read in.
TEST(MapFile, LargeSheetsComeBackWhole) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("large.dat"));
  GridControl saved;
  GridModel& m = *saved.grid();
  m.setMaxRows(300);
  m.setMaxCols(300);
  {
    GridModel::Batch batch(m);
    for (int r = 1; r <= 300; ++r)
      for (int c = 1; c <= 300; c += 1 + r % 3) {
        const int n = (r * 7 + c) % 40;
        m.setText(r, c,
                  (c % 11 == 0 ? QStringLiteral("Łódź ") : QString()) + QString(n, QChar(u'a' + c % 26)));
        if (c % 5 == 0) m.setBackColor(GridRange::cell(r, c), QColor(r % 256, c % 256, 7));
      }
  }
  ASSERT_TRUE(saved.saveToFile(name, false));
  ASSERT_GT(QFileInfo(name).size(), 1 << 20);
  GridControl loaded;
  ASSERT_TRUE(loaded.loadFromFile(name));
  expectSame(m, *loaded.grid());
}

TEST(MapFile, DamagedForeignAndForgedFilesAreRefusedAndLeftAlone) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("zelmap1.dat"));
  GridControl saved;
  fillMap(*saved.grid());
  ASSERT_TRUE(saved.saveToFile(name, false));
  const QByteArray bytes = fileBytes(name);
  QByteArray flipped = bytes;
  flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x40);

  // The forger itself makes sound files; its variants carry a good checksum, so only the reader's
  // own checks can refuse them.
  writeFile(name, Forged().cell(5, 5, "A,1,1").cell(0, 0, "6.0", 0).bytes());
  Target sound;
  ASSERT_TRUE(sound.g.loadFromFile(name));
  EXPECT_EQ(sound.g.text(5, 5), "A,1,1");
  EXPECT_EQ(sound.g.backColor(4, 4), QColor(0, 128, 0));
  const auto forged = [](const std::function<void(Forged&)>& change) {
    Forged f = Forged().cell(1, 1, "A");
    change(f);
    return f.bytes();
  };
  const std::pair<const char*, QByteArray> cases[] = {
      {"empty", QByteArray()},
      {"text", QByteArray("just some text\r\n")},
      {"one byte short", bytes.left(bytes.size() - 1)},
      {"half", bytes.left(bytes.size() / 2)},
      {"one bit flipped", flipped},
      {"one byte more", bytes + "x"},
      {"more rows than any map", forged([](Forged& f) { f.rows = MapFile::kMaxSize + 1; })},
      {"more cells than any map", forged([](Forged& f) {
         f.rows = f.cols = MapFile::kMaxSize;
         f.count = MapFile::kMaxCells + 1;
         f.cells = QByteArray(4 * f.count, '\0');
       })},
      {"more cells than the sheet has", forged([](Forged& f) { f.rows = f.cols = 0; })},
      {"a cell below the sheet", forged([](Forged& f) { f.cell(6, 1, "A"); })},
      {"a cell right of the sheet", forged([](Forged& f) { f.cell(1, 6, "A"); })},
      {"a row number beyond 32 bits", forged([](Forged& f) { f.cell(quint64(1) << 33, 1, "A"); })},
      {"a six-byte number",
       forged([](Forged& f) { f.cells = QByteArray("\x81\x80\x80\x80\x80\x00\x01\x00\x00", 9); })},
      {"unknown cell flags", forged([](Forged& f) { f.cell(1, 1, "A", 4); })},
      {"a text longer than a cell holds",
       forged([](Forged& f) { f.cell(1, 1, QByteArray(MapFile::kMaxTextBytes + 1, 'x')); })},
      // It would read as replacement characters, three bytes each: a text the map could not save.
      {"a text that is not UTF-8", forged([](Forged& f) { f.cell(1, 1, QByteArray(400, '\xff')); })},
      {"fewer cells than counted", forged([](Forged& f) { ++f.count; })},
      {"bytes after the last cell", forged([](Forged& f) { f.cells += "x"; })},
  };
  for (const auto& [what, content] : cases) {
    writeFile(name, content);
    Target t;
    QString error;
    EXPECT_FALSE(t.g.loadFromFile(name, &error)) << what;
    EXPECT_EQ(error,
              QStringLiteral("The map file %1 cannot be read: it is damaged or is not a map file of this "
                             "program.")
                  .arg(name))
        << what;
    EXPECT_TRUE(t.untouched()) << what;
    EXPECT_EQ(fileBytes(name), content) << what;
  }

  writeFile(name, forged([](Forged& f) { f.version = 2; }));
  Target t;
  QString error;
  EXPECT_FALSE(t.g.loadFromFile(name, &error));
  EXPECT_EQ(error, QStringLiteral("The map file %1 cannot be read: it was written by a newer version of this "
                                  "program.")
                       .arg(name));
  EXPECT_FALSE(t.g.loadFromFile(dir.filePath(QStringLiteral("missing.dat")), &error));
  EXPECT_EQ(error, QStringLiteral("The map file %1 cannot be read: No such file or directory.")
                       .arg(dir.filePath(QStringLiteral("missing.dat"))));
}

TEST(MapFile, OversizedFilesAreRefusedBeforeTheirCellsAreRead) {
  QTemporaryDir dir;
  // Sparse files: large on paper, nothing on disk. Reading one whole would take its size in memory.
  const QString huge = dir.filePath(QStringLiteral("huge.dat"));
  writeFile(huge, Forged().bytes());
  ASSERT_TRUE(QFile::resize(huge, MapFile::maxFileSize() + 1));
  Target t;
  QString error;
  EXPECT_FALSE(t.g.loadFromFile(huge, &error));
  EXPECT_EQ(error,
            QStringLiteral("The map file %1 cannot be read: it is larger than any map can be (%2 bytes).")
                .arg(huge)
                .arg(MapFile::maxFileSize() + 1));
  // A sound header whose cells could never fill the file.
  const QString padded = dir.filePath(QStringLiteral("padded.dat"));
  writeFile(padded, Forged().cell(1, 1, "A").bytes());
  ASSERT_TRUE(QFile::resize(padded, qint64(512) << 20));
  EXPECT_FALSE(t.g.loadFromFile(padded, &error));
  EXPECT_TRUE(error.endsWith("it is damaged or is not a map file of this program."));
  EXPECT_TRUE(t.untouched());
}

TEST(MapFile, WhatCouldNotBeReadBackIsNotWritten) {
  FailingDevice unused(1 << 20);
  QString error;
  try {
    MapFile::write(unused, {7, 9, 0x008000, 0, 3}, [](const std::function<void(const MapCell&)>& put) {
      put({1, 1, QString(MapFile::kMaxTextBytes + 1, u'x')});
      put({0, 0, QString()});
      put({0, 0, QString()});
    });
  } catch (const DbError& e) {
    error = e.description();
  }
  EXPECT_EQ(error, QStringLiteral("a cell holds a text longer than %1 bytes").arg(MapFile::kMaxTextBytes));
}
