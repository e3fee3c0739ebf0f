// Every writer against a disk that fills up part way through its file. For each size n up to the
// whole file: once onto a device that takes n bytes, once onto the real file with no room beyond n
// bytes. Each time the failure is reported with the device's or the disk's reason, and the earlier
// file is left exactly as it was, with nothing beside it.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstring>

#include "core/backup/AutoBackup.h"
#include "core/backup/DataBackup.h"
#include "core/export/ExportWriter.h"
#include "core/import/DelimitedText.h"
#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/DbError.h"
#include "support/FailingDevice.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

namespace {

const QString kDeviceFull = QStringLiteral("No space left on device");
const QString kDiskFull = QString::fromLocal8Bit(std::strerror(EFBIG));

// The text of the failure a write throws; empty when it wrote.
template <class Write>
QString failureOf(Write write) {
  try {
    write();
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), DbError::IoErr);
    return e.description();
  }
  return {};
}

// The sizes a write is cut at: each size through the headers, then a thousand steps to the end.
std::vector<qint64> cuts(qint64 whole) {
  std::vector<qint64> n;
  for (qint64 i = 0; i < whole; i += i < 600 ? 1 : std::max<qint64>(1, whole / 1000)) n.push_back(i);
  if (whole > 0 && n.back() != whole - 1) n.push_back(whole - 1);
  return n;
}

QStringList files(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

MapSheetData sheet(int rows, int cols) {
  MapSheetData s;
  s.maxRows = rows;
  s.maxCols = cols;
  s.cells.push_back({0, 0, QStringLiteral("6.0")});
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= cols; c += 2)
      s.cells.push_back({r, c, QStringLiteral("Süd,%1,%2").arg(r).arg(c), true, 0xFFFFFF, c % 3 == 0, 0xFF});
  return s;
}

}  // namespace

class FailingWrite : public DataTest {};

TEST_F(FailingWrite, Export) {
  exec(QStringLiteral("insert into cemetery (name) values ('Oak Hill')"));
  exec(QStringLiteral("insert into lots (lotdesc) values ('Single')"));
  const auto addRecords = [](int from, int to) {
    exec(QStringLiteral("with recursive n(i) as (select %1 union all select i + 1 from n where i < %2) "
                        "insert into zel (cemeteryid, lotid, csection, interlastname, interdate, purchprice) "
                        "select 1, 1, 'A' || i, 'O''Neil \"' || i, '2001-02-03', i * 12345 from n")
             .arg(from)
             .arg(to));
  };
  addRecords(1, 20);
  const QString csv = ZEL1.dataFile(QLatin1String(ExportWriter::kFileName));
  ASSERT_TRUE(ExportWriter::write().ok);
  const QByteArray earlier = fileBytes(csv);
  addRecords(21, 60);

  FailingDevice whole(qint64(1) << 30);
  ASSERT_TRUE(ExportWriter::write(ZEL1.cnData, ZEL1.rsRecords, whole).ok);
  for (qint64 n : cuts(whole.written().size())) {
    SCOPED_TRACE(n);
    FailingDevice device(n);
    ExportWriter::Result r = ExportWriter::write(ZEL1.cnData, ZEL1.rsRecords, device);
    ASSERT_FALSE(r.ok);
    ASSERT_EQ(r.error, kDeviceFull);
    ASSERT_EQ(device.written(), whole.written().left(n));
    {
      const FileSizeLimit full(n);
      r = ExportWriter::write();
    }
    ASSERT_FALSE(r.ok);
    ASSERT_EQ(r.error, kDiskFull);
    ASSERT_EQ(fileBytes(csv), earlier);
    ASSERT_EQ(files(ZEL1.DataPath), QStringList({QStringLiteral("zel.csv"), QStringLiteral("zel.mdb")}));
  }
}

TEST(FailingWriteOf, MapSave) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("zelmap1.dat"));
  MapFile::save(name, sheet(5, 5));
  const QByteArray earlier = fileBytes(name);
  const MapSheetData next = sheet(40, 60);
  const MapFile::Header header{next.maxRows, next.maxCols, next.defaultBack, next.defaultFore,
                               quint32(next.cells.size())};
  const auto cells = [&](const std::function<void(const MapCell&)>& put) {
    for (const MapCell& c : next.cells) put(c);
  };

  FailingDevice whole(qint64(1) << 30);
  MapFile::write(whole, header, cells);
  for (qint64 n : cuts(whole.written().size())) {
    SCOPED_TRACE(n);
    FailingDevice device(n);
    ASSERT_EQ(failureOf([&] { MapFile::write(device, header, cells); }), kDeviceFull);
    ASSERT_EQ(device.written(), whole.written().left(n));
    QString error;
    {
      const FileSizeLimit full(n);
      error = failureOf([&] { MapFile::save(name, next); });
    }
    ASSERT_EQ(error, QStringLiteral("The map could not be saved to %1: %2.").arg(name, kDiskFull));
    ASSERT_EQ(fileBytes(name), earlier);
    ASSERT_EQ(files(dir.path()), QStringList(QStringLiteral("zelmap1.dat")));
  }
}

TEST_F(FailingWrite, BackupArchive) {
  exec(QStringLiteral("insert into zel (csection, interlastname) values ('A', 'Smith')"));
  ZEL1.cnData.close();
  MapFile::save(folder->file(QStringLiteral("zelmap1.dat")), sheet(10, 10));
  QTemporaryDir target;
  const QString archive = target.filePath(QStringLiteral("zel202401021530.zip"));
  ASSERT_TRUE(DataBackup::backup(folder->path(), archive).ok());
  const QByteArray earlier = fileBytes(archive);
  MapFile::save(folder->file(QStringLiteral("zelmap2.dat")), sheet(30, 30));
  std::vector<ZipArchive::Source> sources;
  for (const QString& f : DataBackup::dataFiles(folder->path())) sources.push_back({f, !f.endsWith(".mdb")});

  FailingDevice whole(qint64(1) << 30);
  ASSERT_EQ(ZipArchive().write(whole, sources), ZipArchive::Ok);
  const std::vector<qint64> at = cuts(whole.written().size());
  for (size_t i = 0; i < at.size(); ++i) {
    const qint64 n = at[i];
    SCOPED_TRACE(n);
    FailingDevice device(n);
    ZipArchive zip;
    ASSERT_EQ(zip.write(device, sources), ZipArchive::CannotWrite);
    ASSERT_EQ(zip.reason(), QStringLiteral("The archive cannot be written: ") + kDeviceFull);
    // A whole backup (snapshot, copies, archive, check) at every fifth cut and the last: the phases
    // each span many cuts.
    if (i % 5 != 0 && i + 1 != at.size()) continue;
    DataBackup::Result r;
    {
      const FileSizeLimit full(n);
      r = DataBackup::backup(folder->path(), archive);
    }
    ASSERT_EQ(r.code, ZipArchive::CannotWrite);
    // The database's copy is written first, by the engine, which words the failure its own way.
    ASSERT_TRUE(r.reason.startsWith(QStringLiteral("The archive %1 cannot be written: ").arg(archive)))
        << r.reason.toStdString();
    ASSERT_EQ(fileBytes(archive), earlier);
    ASSERT_EQ(files(target.path()), QStringList(QStringLiteral("zel202401021530.zip")));
  }
}

TEST(FailingWriteOf, ImportLog) {
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("import.log"));
  const QString input = dir.filePath(QStringLiteral("people.csv"));
  writeFile(input, "A,1,1,Smith\r\nB,2\r\n\"C, D\",3,3,Grün\r\n");
  DelimitedText::Options o;
  o.logFile = log;
  DelimitedText::Table table;
  const DelimitedText::Result loaded = DelimitedText::loadTable(input, o, table);
  ASSERT_TRUE(loaded.ok && loaded.logError.isEmpty());
  const QByteArray earlier = fileBytes(log);
  QStringList lines;
  for (int i = 1; i <= 60; ++i)
    lines << QStringLiteral("Row %1, column 4 (InterDate): \"31-02-19%1\"").arg(i);

  FailingDevice whole(qint64(1) << 30);
  ASSERT_TRUE(DelimitedText::writeLog(whole, lines));
  for (qint64 n : cuts(earlier.size() + whole.written().size())) {
    SCOPED_TRACE(n);
    if (n < whole.written().size()) {
      FailingDevice device(n);
      QString error;
      ASSERT_FALSE(DelimitedText::writeLog(device, lines, &error));
      ASSERT_EQ(error, kDeviceFull);
      ASSERT_EQ(device.written(), whole.written().left(n));
    }
    QString error;
    {
      const FileSizeLimit full(n);
      error = failureOf([&] { DelimitedText::appendLog(log, lines); });
    }
    ASSERT_EQ(error, QStringLiteral("The log %1 could not be written: %2").arg(log, kDiskFull));
    ASSERT_EQ(fileBytes(log), earlier);
    ASSERT_EQ(files(dir.path()), QStringList({QStringLiteral("import.log"), QStringLiteral("people.csv")}));
  }

  // The load's own log: the file still loads, and the failure is told beside it.
  DelimitedText::Result r;
  {
    const FileSizeLimit full(earlier.size() / 2);
    r = DelimitedText::loadTable(input, o, table);
  }
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.logError, QStringLiteral("The log %1 could not be written: %2").arg(log, kDiskFull));
  EXPECT_EQ(fileBytes(log), earlier);
}

TEST(FailingWriteOf, Settings) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("zel.ini"));
  AutoBackup::Settings settings{true, 7, dir.filePath(QStringLiteral("backups")),
                                QDateTime(QDate(2024, 1, 2), QTime(15, 30))};
  ASSERT_NO_THROW(AutoBackup::save(settings, dir.path() + u'/', file));
  const QByteArray earlier = fileBytes(file);
  settings.keep = 12;
  settings.folder = dir.filePath(QStringLiteral("the backups of the Oak Hill cemetery"));
  const QString written = dir.filePath(QStringLiteral("whole.ini"));
  ASSERT_NO_THROW(AutoBackup::save(settings, dir.path() + u'/', written));
  const qint64 size = fileBytes(written).size();
  ASSERT_TRUE(QFile::remove(written));

  for (qint64 n : cuts(size)) {
    SCOPED_TRACE(n);
    QString error;
    {
      const FileSizeLimit full(n);
      error = failureOf([&] { AutoBackup::save(settings, dir.path() + u'/', file); });
    }
    ASSERT_EQ(error, QStringLiteral("The settings could not be written to %1.").arg(file));
    ASSERT_EQ(fileBytes(file), earlier);
    ASSERT_EQ(files(dir.path()), QStringList(QStringLiteral("zel.ini")));
  }
}
