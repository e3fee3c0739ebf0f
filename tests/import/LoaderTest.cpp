#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/import/DelimitedText.h"
#include "gui/controls/GridControl.h"
#include "support/TestData.h"

using namespace DelimitedText;

namespace {

class Loader : public ::testing::Test {
 protected:
  QString write(const QString& name, const QByteArray& data) {
    writeFile(dir.filePath(name), data);
    return dir.filePath(name);
  }
  Result read(const QByteArray& data, Format format = {}, Options o = {}) {
    o.format = format;
    o.logFile = logFile();
    return loadTable(write(QStringLiteral("in.dat"), data), o, table);
  }
  QStringList row(int r) const {
    QStringList items;
    for (int c = 1; c <= table.columnCount(); ++c) items << table.text(r, c);
    while (!items.isEmpty() && items.back().isEmpty()) items.removeLast();
    return items;
  }
  QString logFile() const { return dir.filePath(QStringLiteral("import.log")); }
  QString log() const { return QString::fromUtf8(fileBytes(logFile())); }

  QTemporaryDir dir;
  Table table;
};

const Format kTab{u'\t', false};

TEST_F(Loader, QuotedItemsKeepCommasQuotesAndLineBreaks) {
  const Result r = read(
      "\"Grey, Ann\",\"say \"\"hi\"\"\",3\r\n"
      "\"two\r\nlines\",\"and\none\",x\r\n"
      "5\" pipe,\"quoted\"tail,\r\n"
      "\r\n"
      ",,\n"
      "last,\"\"");
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.rows, 6);
  EXPECT_EQ(r.lines, 8);
  EXPECT_EQ(r.columns, 3);
  EXPECT_EQ(row(1), QStringList({"Grey, Ann", "say \"hi\"", "3"}));
  EXPECT_EQ(row(2), QStringList({"two\r\nlines", "and\none", "x"})) << "line breaks stay as they are";
  EXPECT_EQ(row(3), QStringList({"5\" pipe", "quotedtail"})) << "a quote inside an item is a character";
  EXPECT_EQ(row(4), QStringList()) << "an empty line is an empty row";
  EXPECT_EQ(row(5), QStringList());
  EXPECT_EQ(row(6), QStringList({"last"}));
  EXPECT_EQ(table.line(2), 2);
  EXPECT_EQ(table.line(3), 5) << "rows after a quoted line break start on later lines";
  EXPECT_EQ(table.line(6), 8);
  EXPECT_EQ(r.lastDataRow, 6);
  EXPECT_EQ(r.firstItems, 3);
}

TEST_F(Loader, RowsWithAnotherNumberOfItemsAndEmptyLinesAtTheEnd) {
  const Result r = read("\nLast,First,Died,Price,Paid\nA,1,2,Jones,1,500.00\nB,2,3,4,5\nC\n\n\r\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.firstItems, 5) << "the first row holding data";
  EXPECT_EQ(r.ragged, (std::vector<std::pair<int, int>>{{3, 6}, {5, 1}}));
  EXPECT_EQ(r.lastDataRow, 5) << "the empty lines after it are no rows";
  EXPECT_TRUE(log().contains("Line 3: 6 items, where the first line has 5."));
}

TEST_F(Loader, TabFilesKeepQuotesAndCommasAndAnyLineEnd) {
  ASSERT_TRUE(read("\"Smith, J\"\tx\ry\t\"\"\r\nz", kTab).ok);
  EXPECT_EQ(table.rowCount(), 3) << "CR alone, CR LF and the end of the file end rows";
  EXPECT_EQ(row(1), QStringList({"\"Smith, J\"", "x"}));
  EXPECT_EQ(row(2), QStringList({"y", "\"\""}));
  EXPECT_EQ(row(3), QStringList({"z"}));
}

TEST_F(Loader, EncodingsAreDetected) {
  const QString expect = QString::fromUtf8("M\xc3\xbcller \xe2\x82\xac");
  Result r = read("\xef\xbb\xbfM\xc3\xbcller \xe2\x82\xac,1\n");
  EXPECT_EQ(r.encoding, Encoding::Utf8Bom);
  EXPECT_EQ(table.text(1, 1), expect) << "the byte order mark is not part of the first item";
  read("\xef\xbb\xbf\xef\xbb\xbfx\n");
  EXPECT_EQ(table.text(1, 1), QStringView(u"\ufeffx")) << "only the first mark is one";
  r = read("M\xfcller \x80,1\n");
  EXPECT_EQ(r.encoding, Encoding::Latin1);
  EXPECT_EQ(table.text(1, 1), expect) << "0x80 is the euro sign of Windows files";
  r = read(
      "Ren\xe9"
      "e \xc2\xa9,Jos\xe9\nM\xfcller,Zo\xeb \xc5\n");
  EXPECT_EQ(r.encoding, Encoding::Latin1) << "one pair that happens to be UTF-8 among Latin-1 letters";
  EXPECT_EQ(table.text(1, 1), QStringView(u"Ren\u00e9e \u00c2\u00a9"));
  r = read(QByteArray("\xff\xfeM\0\xfc\0l\0l\0e\0r\0 \0\xac\x20,\0001\0\n\0", 24));
  EXPECT_EQ(r.encoding, Encoding::Utf16Le);
  EXPECT_EQ(table.text(1, 1), expect);
  EXPECT_EQ(table.text(1, 2), "1");
  // A UTF-8 file with a byte from a Windows editor stays UTF-8; only that byte is lost, and said.
  r = read("M\xc3\xbcller \xe2\x82\xac,1\nCaf\xe9,2\n\ncaf\xc3\xa9\n\xc3");
  EXPECT_EQ(r.encoding, Encoding::Utf8Mixed);
  EXPECT_EQ(table.text(1, 1), expect);
  EXPECT_EQ(table.text(2, 1), QStringView(u"Caf\ufffd"));
  EXPECT_EQ(table.text(4, 1), QStringView(u"caf\u00e9"));
  EXPECT_EQ(table.text(5, 1), QStringView(u"\ufffd")) << "a character cut short at the end";
  EXPECT_EQ(r.undecodableLines, 2);
  EXPECT_TRUE(log().contains("Line 2 holds bytes that are not UTF-8.")) << log().toStdString();
}

TEST_F(Loader, MalformedFilesAreRefusedWithTheirLine) {
  Result r = read("a,b\nc,\"open\nd,e\n");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "Line 2: a quoted item is not closed before the end of the file.");
  EXPECT_TRUE(log().contains("The file was not loaded: Line 2: a quoted item"));

  int calls = 0;
  Options o;
  o.logFile = logFile();
  r = load(write("bin.csv", QByteArray("PK\x03\x04\n\n\x00\x01\xff", 9)), o,
           [&](int, int, const Items&) { ++calls; });
  EXPECT_EQ(r.error, "Line 3 holds a zero character: this is not a text file.");
  EXPECT_EQ(calls, 0) << "nothing of a refused file is given";

  r = read("\n,\n\n");
  EXPECT_FALSE(r.ok) << "blank lines only";
  r = read(" x\n");
  EXPECT_TRUE(r.ok);
  r = read("");
  EXPECT_EQ(r.error, "The file holds no data.");
  r = load(dir.filePath("missing.csv"), o, [](int, int, const Items&) {});
  EXPECT_TRUE(r.error.startsWith("The file cannot be opened"));
}

TEST_F(Loader, NoLimitOnSizeButWhatMemoryAllows) {
  QByteArray wide;
  for (int c = 1; c <= 2000000; ++c) wide += "x,";
  wide += "end\n";
  for (int l = 2; l <= 10001; ++l) wide += QByteArray::number(l) + "\n";
  Result r = read(wide);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.columns, 2000001);
  EXPECT_EQ(r.rows, 10001);
  EXPECT_EQ(table.text(1, 2000001), "end");
  EXPECT_EQ(table.text(10001, 1), "10001");

  Options small;
  small.memoryLimit = 1 << 20;
  int calls = 0;
  small.logFile = logFile();
  r = load(write("big.csv", wide), small, [&](int, int, const Items&) { ++calls; });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(r.error.contains("MB of memory to load, more than the 1 MB free")) << r.error.toStdString();
  EXPECT_TRUE(log().contains(r.error));
}

TEST_F(Loader, GridGrowsToHoldTheFile) {
  QByteArray data;
  for (int l = 1; l <= 10005; ++l)
    data += "a" + QByteArray::number(l) + "\t\t" + (l == 3 ? QByteArray(600, '\t') + "far" : "") + "\r\n";
  GridControl g;
  g.setMaxRows(10000);
  g.setMaxCols(500);
  QString error;
  double progress = 0;
  GridTextLoad extra{true, &error, [&](double f) { progress = f; }};
  ASSERT_TRUE(g.loadTextFile(write("big.txt", data), QString(), "\t", "\r\n", 4, logFile(), extra));
  EXPECT_EQ(g.maxRows(), 10005);
  EXPECT_EQ(g.maxCols(), 603);
  EXPECT_EQ(g.text(3, 603), "far");
  EXPECT_EQ(g.text(10005, 1), "a10005");
  EXPECT_EQ(progress, 1.0);
  EXPECT_TRUE(log().contains("Read 10005 lines as 10005 rows of up to 603 items."));

  EXPECT_FALSE(g.loadTextFile(write("bad.csv", "\"x\n"), "\"", ",", "\r\n", 4, logFile(), extra));
  EXPECT_EQ(error, "Line 1: a quoted item is not closed before the end of the file.");
}

}  // namespace
