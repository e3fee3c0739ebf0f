// A full disk under the real data folder: a small file system of its own, filled up to a few levels
// of free space. Saving a record through the form, the export, a map save, an import and a backup
// each either do their work whole or report a failure and leave the earlier data as it was.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>

#include "core/backup/DataBackup.h"
#include "core/export/ExportWriter.h"
#include "core/import/RecordImport.h"
#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/DbError.h"
#include "core/store/Schema.h"
#include "gui/records/frmDataEntry.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/WindowDriver.h"

namespace {

// Fills the file system of folder up to free bytes, in a file of its own.
void fillUpTo(const QString& folder, qint64 free) {
  QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
  ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
  const QByteArray block(64 * 1024, 'f');
  for (qint64 n = 0; (n = filler.write(block)) > 0;) {
  }
  ASSERT_TRUE(filler.resize(std::max<qint64>(0, filler.size() - free)));
}

MapSheetData sheet(int size, const QString& text) {
  MapSheetData s;
  s.maxRows = s.maxCols = size;
  for (int r = 1; r <= size; ++r)
    for (int c = 1; c <= size; ++c) s.cells.push_back({r, c, text.arg(r).arg(c), true, 0xFFFFFF});
  return s;
}

}  // namespace

class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "a small file system of its own needs root";
    if (mount("tmpfs", QFile::encodeName(disk.path()).constData(), "tmpfs", 0, "size=4m") != 0)
      GTEST_SKIP() << "no tmpfs could be mounted here: " << std::strerror(errno);
    mounted = true;
  }
  void TearDown() override {
    ZEL1.RecordChanged = false;
    ZEL1.reset();
    if (!mounted) return;
    umount(QFile::encodeName(disk.path()).constData());
  }

  QTemporaryDir disk, elsewhere;
  bool mounted = false;
  // Keeps the messages a command shows and answers every question with No.
  ScriptedMessages messages{ScriptedMessages::Mode::Permissive};
};

TEST_F(FullDisk, EveryWriterFinishesOrFailsLeavingTheEarlierDataAsItWas) {
  const QString data = disk.path() + QStringLiteral("/data/"),
                backups = disk.path() + QStringLiteral("/backups/");
  const QString people = elsewhere.filePath(QStringLiteral("people.csv"));
  QByteArray rows;
  for (int i = 1; i <= 300; ++i)
    rows += "I," + QByteArray::number(i) + ",1,Imported " + QByteArray::number(i) + "\r\n";
  writeFile(people, rows);
  DelimitedText::Table table;
  ASSERT_TRUE(DelimitedText::loadTable(people, {}, table).ok);
  RecordImport::Plan plan;
  plan.mapping = *RecordImport::parseMapping(QStringLiteral("1=cSection,2=Lot,3=Grave,4=InterLastName"));
  plan.lastRow = table.rowCount();
  plan.dateFormat = QStringLiteral("mm-dd-yyyy");
  int failed[5] = {};

  for (const qint64 free : {0, 2048, 8192, 32768, 131072}) {
    SCOPED_TRACE(free);
    // The earlier data: a database, a map, an export and a backup.
    QDir(disk.path()).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(data) && QDir().mkpath(backups));
    ZEL1.reset();
    ZEL1.DataPath = data;
    ZEL1.DateDisplayFormat = plan.dateFormat;
    ZEL1.cnData.create(data + QStringLiteral("zel.mdb"), QString::fromLatin1(kDatabasePassword));
    Schema::create(ZEL1.cnData);
    exec(QStringLiteral("insert into cemetery (name) values ('Oak Hill')"));
    exec(QStringLiteral("insert into lots (lotdesc) values ('Single')"));
    exec(
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 100) "
                       "insert into zel (cemeteryid, lotid, csection, lot, grave, interlastname) "
                       "select 1, 1, 'A', i, 1, 'Earlier ' || i from n"));
    const QString map = MapFile::fileName(data, 1), archive = backups + QStringLiteral("zel202401021530.zip");
    MapFile::save(map, sheet(10, QStringLiteral("A,%1,%2")));
    ASSERT_TRUE(ExportWriter::write().ok);
    ZEL1.cnData.close();
    ASSERT_TRUE(DataBackup::backup(data, archive).ok());
    ZEL1.cnData.open(data + QStringLiteral("zel.mdb"), QString::fromLatin1(kDatabasePassword));
    const QByteArray earlierMap = fileBytes(map), earlierCsv = fileBytes(data + QStringLiteral("zel.csv")),
                     earlierArchive = fileBytes(archive);
    const auto records = [] { return scalar(QStringLiteral("select count(*) from zel")).toInt(); };
    fillUpTo(disk.path(), free);

    // A record saved through the form.
    {
      messages.clearLog();
      frmDataEntry form;
      form.show();
      form.mnuNewClick();
      for (auto [field, text] : {std::pair{form.ui().txtSection, "B"},
                                 {form.ui().txtLot, "7"},
                                 {form.ui().txtGrave, "3"},
                                 {form.ui().txtInterredLastName, "Saved"}})
        type(field, QString::fromLatin1(text));
      for (QComboBox* box : {form.ui().txtCemetery, form.ui().txtLotInfo}) choose(box, 0);
      form.mnuSaveClick();
      if (ZEL1.RecordChanged) {
        ++failed[0];
        EXPECT_EQ(messages.log().size(), 1u);
        EXPECT_EQ(records(), 100);
      } else {
        EXPECT_TRUE(messages.log().empty()) << qPrintable(messages.last());
        EXPECT_EQ(scalar(QStringLiteral("select interlastname from zel where csection='B'")), "Saved");
      }
      ZEL1.RecordChanged = false;
    }
    const int before = records();

    const ExportWriter::Result exported = ExportWriter::write();
    if (!exported.ok) {
      ++failed[1];
      EXPECT_FALSE(exported.error.isEmpty());
      EXPECT_EQ(fileBytes(data + QStringLiteral("zel.csv")), earlierCsv);
    } else {
      EXPECT_EQ(fileBytes(data + QStringLiteral("zel.csv")).count("\r\n"), before + 1);
    }

    const MapSheetData next = sheet(40, QStringLiteral("Section B,%1,%2"));
    MapSheetData read;
    try {
      MapFile::save(map, next);
      MapFile::load(map, read);
      EXPECT_EQ(read.cells.size(), next.cells.size());
    } catch (const DbError& e) {
      ++failed[2];
      EXPECT_TRUE(e.description().startsWith(QStringLiteral("The map could not be saved to "))) << e.what();
      EXPECT_EQ(fileBytes(map), earlierMap);
    }

    try {
      EXPECT_EQ(RecordImport::write(ZEL1.cnData, RecordImport::TableSource(table), plan, false), 300);
      EXPECT_EQ(records(), before + 300);
    } catch (const DbError& e) {
      ++failed[3];
      EXPECT_FALSE(e.description().isEmpty());
      EXPECT_EQ(records(), before) << "an import is all or nothing";
    }
    EXPECT_EQ(scalar(QStringLiteral("PRAGMA integrity_check")), "ok");

    ZEL1.cnData.close();
    const DataBackup::Result backedUp = DataBackup::backup(data, archive);
    if (!backedUp.ok()) {
      ++failed[4];
      EXPECT_FALSE(backedUp.reason.isEmpty());
      EXPECT_EQ(fileBytes(archive), earlierArchive);
      EXPECT_EQ(QDir(backups).entryList(QDir::Files), QStringList(QStringLiteral("zel202401021530.zip")));
    }
    if (free == 0) {
      for (int k = 0; k < 5; ++k) EXPECT_EQ(failed[k], 1) << "writer " << k << " on a full disk";
    }
  }
}
