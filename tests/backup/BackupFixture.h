#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include "core/backup/DataBackup.h"
#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/Connection.h"
#include "core/store/RecordSet.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

// Everything under a folder, hidden files included: relative name -> bytes ("<folder>" for folders).
inline QMap<QString, QByteArray> snapshot(const QString& folder) {
  QMap<QString, QByteArray> out;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString name = QDir(folder).relativeFilePath(path);
    if (it.fileInfo().isDir()) {
      out[name] = "<folder>";
      continue;
    }
    QFile f(path);
    out[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
  }
  return out;
}

// A small map whose corner and one grave cell tell it apart from others.
inline void writeMap(const QString& path, const QString& grave) {
  MapSheetData sheet;
  sheet.maxRows = 20;
  sheet.maxCols = 30;
  sheet.cells.push_back({0, 0, QStringLiteral("6.0")});
  MapCell cell{3, 4, grave};
  cell.hasBack = true;
  cell.back = 0xFFFFFF;
  sheet.cells.push_back(cell);
  MapFile::save(path, sheet);
}

// One entry of a hand-made archive; unixMode sets the entry's file type (links, folders).
struct RawEntry {
  QByteArray name;
  QByteArray data;
  quint32 unixMode = 0;
};

// Writes an archive exactly as given, whatever its names (the hostile archives of the tests).
inline void makeArchive(const QString& path, const std::vector<RawEntry>& entries) {
  int err = 0;
  zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(za, nullptr);
  for (const RawEntry& e : entries) {
    zip_int64_t i = -1;
    if (e.name.endsWith('/') && e.data.isEmpty()) {
      i = zip_dir_add(za, e.name.constData(), ZIP_FL_ENC_RAW);
    } else {
      // The source owns the copy; an empty entry needs none (libzip would not free it).
      char* copy = nullptr;
      if (!e.data.isEmpty()) {
        copy = static_cast<char*>(malloc(size_t(e.data.size())));
        memcpy(copy, e.data.constData(), size_t(e.data.size()));
      }
      zip_source_t* src = zip_source_buffer(za, copy, zip_uint64_t(e.data.size()), copy != nullptr);
      i = zip_file_add(za, e.name.constData(), src, ZIP_FL_ENC_RAW);
      if (i < 0) zip_source_free(src);
    }
    ASSERT_GE(i, 0) << e.name.constData() << ": " << zip_strerror(za);
    if (e.unixMode)
      zip_file_set_external_attributes(za, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX, e.unixMode << 16);
  }
  ASSERT_EQ(zip_close(za), 0);
}

// Grave records in a data folder's database; -1 when it does not open with the password.
inline qint64 recordsIn(const QString& dataPath) {
  try {
    Connection cn;
    cn.open(dataPath + QStringLiteral("zel.mdb"), QString::fromLatin1(kDatabasePassword));
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select count(*) from zel"));
    return rs.field(0).toInt();
  } catch (const DbError&) {
    return -1;
  }
}

// Runs a restore in a child process that ends abruptly (as if killed) after the given step of its
// exchange; step 0 lets it finish. Returns true when it finished.
inline bool restoreKilledAfter(const QString& archive, const QString& dataPath, int step) {
  const pid_t child = fork();
  if (child == 0) {
    DataBackup::setStepHookForTesting([step](int reached) {
      if (reached == step) _exit(2);
    });
    _exit(DataBackup::restore(archive, dataPath).ok() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 1) << "the restore failed";
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Adds n grave records in one transaction.
inline void addRecords(Connection& cn, int n) {
  cn.beginTransaction();
  for (int i = 0; i < n; ++i)
    cn.execute(
        QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, remarks) values (1, 'W', '%1', "
                       "'1', '%2')")
            .arg(i)
            .arg(QString(200, u'r')));
  cn.commit();
}

// A data folder with a database of two cemeteries and two maps, closed, as a backup finds it.
class BackupTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    exec(QStringLiteral("insert into cemetery (name) values ('Elm Ridge')"));
    exec(QStringLiteral("insert into cemetery (name) values ('Oak Hill')"));
    exec(
        QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, interlastname, status) "
                       "values (1, 'A', '1', '1', 'Smith', 'B')"));
    ZEL1.cnData.close();
    writeMap(folder->file(QStringLiteral("zelmap1.dat")), QStringLiteral("A,1,1"));
    writeMap(folder->file(QStringLiteral("zelmap2.dat")), QStringLiteral("B,2,2"));
  }
  QString data() const { return folder->path(); }
  QString db() const { return folder->file(QStringLiteral("zel.mdb")); }
  // Runs one statement on the closed database of the folder.
  void execOnDb(const QString& sql) const {
    ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
    exec(sql);
    ZEL1.cnData.close();
  }
  QString cemeteries() const {
    ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
    const QString names = scalar(QStringLiteral(
        "select group_concat(name, ',') from (select name from cemetery order by cemeteryid)"));
    ZEL1.cnData.close();
    return names;
  }

  QTemporaryDir target;  // where archives go
};
