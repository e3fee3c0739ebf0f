// The restore of a zip archive: whatever names and contents its entries have, the restore either
// puts the archive's data files in place whole or leaves the data folder exactly as it was, and it
// never writes outside the data folder.
//
// The input is either a raw archive or, to reach names and attributes quickly, a list of entries
// that the target writes as an archive itself: per entry a name, flags, Unix mode bits and contents.
#include <zip.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <map>

#include "FuzzTarget.h"
#include "core/backup/DataBackup.h"
#include "core/history/History.h"
#include "core/store/Connection.h"

namespace {

using Files = std::map<QString, QByteArray>;  // relative name -> contents ("/" at the end: a folder)

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
    Fuzz::fail(QStringLiteral("cannot write ") + path);
}

// Every file and folder under root, links as links.
// Whether a restored database's last history entry is the restore from the archive: the database
// goes on from the restore, so its bytes are the archive's plus that entry.
bool restoredFrom(const QString& db, const QString& archive) {
  try {
    Connection cn;
    cn.open(db, QString::fromLatin1(kDatabasePassword));
    const std::vector<History::Entry> all = History::entries(cn);
    return !all.empty() && all.back().kind == History::Kind::Restored &&
           all.back().detail.startsWith(QStringLiteral("archive: ") + QFileInfo(archive).fileName());
  } catch (const DbError&) {
    return false;
  }
}

Files tree(const QString& root) {
  Files files;
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QFileInfo info = it.fileInfo();
    const QString name = QDir(root).relativeFilePath(path);
    if (info.isSymLink())
      files[name] = "link:" + QFile::encodeName(info.symLinkTarget());
    else if (info.isDir())
      files[name + u'/'] = {};
    else {
      QFile f(path);
      files[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
  }
  return files;
}

// Writes the listed entries as an archive; false when libzip takes none of it.
bool buildArchive(Fuzz::Input& in, const QString& path) {
  QFile::remove(path);
  int err = 0;
  zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!za) return false;
  std::vector<QByteArray> keep;  // libzip reads the contents at close
  for (int count = in.byte() % 6; count > 0 && in.n > 0; --count) {
    const QByteArray name = in.take(in.byte());
    const uint8_t flags = in.byte();
    const uint16_t mode = uint16_t(in.byte() << 8 | in.byte());
    const size_t len = size_t(in.byte()) << 8 | in.byte();
    keep.push_back(in.take(len));
    zip_source_t* src = zip_source_buffer(za, keep.back().constData(), zip_uint64_t(keep.back().size()), 0);
    const zip_int64_t index =
        src ? zip_file_add(za, name.constData(), src, (flags & 1) ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (src) zip_source_free(src);
      continue;
    }
    zip_set_file_compression(za, zip_uint64_t(index), (flags & 2) ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    if (flags & 4)
      zip_file_set_external_attributes(za, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, zip_uint32_t(mode) << 16);
    if (flags & 8) zip_file_set_external_attributes(za, zip_uint64_t(index), 0, ZIP_OPSYS_DOS, 0x10);
    if (flags & 16) zip_file_set_encryption(za, zip_uint64_t(index), ZIP_EM_AES_128, "secret");
  }
  if (zip_close(za) != 0) {
    zip_discard(za);
    return false;
  }
  return true;
}

// The contents of an archive's entry, read with libzip alone.
std::optional<QByteArray> entry(const QString& archive, const QString& name) {
  int err = 0;
  zip_t* za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
  if (!za) return std::nullopt;
  std::optional<QByteArray> out;
  if (zip_file_t* f = zip_fopen(za, name.toUtf8().constData(), 0)) {
    QByteArray bytes;
    char buf[8192];
    zip_int64_t n;
    while ((n = zip_fread(f, buf, sizeof buf)) > 0) bytes.append(buf, qsizetype(n));
    if (n == 0) out = bytes;
    zip_fclose(f);
  }
  zip_discard(za);
  return out;
}

}  // namespace

ZEL_FUZZ_TARGET(archive_restore) {
  Fuzz::Input in{data, size};
  const uint8_t mode = in.byte();
  // outer/box/data/ is the data folder, outer/box/in.zip the archive: nothing may appear beside them.
  const QString outer = Fuzz::scratch() + QStringLiteral("/restore");
  QDir(outer).removeRecursively();
  const QString box = outer + QStringLiteral("/box");
  const QString dataPath = box + QStringLiteral("/data/");
  const QString archive = box + QStringLiteral("/in.zip");
  if (!QDir().mkpath(dataPath)) Fuzz::fail(QStringLiteral("cannot make ") + dataPath);
  writeFile(dataPath + QStringLiteral("zel.mdb"), "the current database");
  writeFile(dataPath + QStringLiteral("zelmap1.dat"), "the current map");
  writeFile(dataPath + QStringLiteral("notes.txt"), "not a data file");
  if (mode & 1) {
    if (!buildArchive(in, archive)) return 0;
  } else {
    writeFile(archive, in.rest());
  }
  const Files before = tree(dataPath);

  const DataBackup::Result r = DataBackup::restore(archive, dataPath);

  Fuzz::require(tree(outer).size() == tree(box).size() + 1, "nothing is written beside the data folder");
  const Files boxAfter = tree(box);
  for (const auto& [name, bytes] : boxAfter)
    Fuzz::require(name == QLatin1String("in.zip") || name.startsWith(QLatin1String("data/")),
                  "nothing is written beside the data folder");
  const Files after = tree(dataPath);
  if (!r.ok()) {
    Fuzz::require(!r.reason.isEmpty(), "a refused archive gives its reason");
    Fuzz::require(after == before, "a refused archive leaves the data folder as it was");
    return 0;
  }
  // Restored: the data files of the archive whole; the replaced data files in the safety archive
  // (and no longer in the folder when the archive lacks them); everything else as it was.
  Fuzz::require(!r.safetyArchive.isEmpty() && after.count(QFileInfo(r.safetyArchive).fileName()),
                "the replaced data are kept");
  for (const auto& [name, bytes] : before)
    if (DataBackup::isDataFileName(name))
      Fuzz::require(entry(r.safetyArchive, name) == bytes, "the safety archive holds a replaced file whole");
  for (const auto& [name, bytes] : after) {
    Fuzz::require(!name.endsWith(u'/') && !name.contains(u'/'), "a restore leaves no folder behind");
    if (name == QFileInfo(r.safetyArchive).fileName()) continue;
    if (DataBackup::isDataFileName(name)) {
      const std::optional<QByteArray> stored = entry(archive, name);
      Fuzz::require(stored && (*stored == bytes ||
                               (name == QLatin1String("zel.mdb") && restoredFrom(dataPath + name, archive))),
                    "a restored file is its entry whole, and only the archive's");
    } else {
      Fuzz::require(before.count(name) && before.at(name) == bytes, "only data files are restored");
    }
  }
  Fuzz::require(after.count(QStringLiteral("zel.mdb")) && entry(archive, QStringLiteral("zel.mdb")),
                "a restore always brings the database");
  return 0;
}
