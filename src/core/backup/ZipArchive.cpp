#include "core/backup/ZipArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <cerrno>
#include <memory>

namespace {

constexpr qint64 kChunk = 1 << 20;

QString zipErrorText(int code) {
  zip_error_t e;
  zip_error_init_with_code(&e, code);
  const QString text = QString::fromLocal8Bit(zip_error_strerror(&e));
  zip_error_fini(&e);
  return text;
}

struct ZipCloser {
  void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

struct FileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipFileHandle = std::unique_ptr<zip_file_t, FileCloser>;

QByteArray nativeName(const QString& path) { return QFile::encodeName(path); }

// The CRC-32 of a whole file (the checksum zip keeps for each entry); false when it cannot be read.
bool fileCrc(const QString& path, quint32& crc, quint64& size, const std::function<void(qint64)>& read) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  uLong c = crc32(0L, Z_NULL, 0);
  size = 0;
  QByteArray buf(kChunk, Qt::Uninitialized);
  for (;;) {
    const qint64 n = f.read(buf.data(), buf.size());
    if (n < 0) return false;
    if (n == 0) break;
    c = crc32(c, reinterpret_cast<const Bytef*>(buf.constData()), uInt(n));
    size += quint64(n);
    read(n);
  }
  crc = quint32(c);
  return true;
}

// libzip writes a new archive through this source onto a Qt device, seeking back to complete each
// entry's header. A failing device's own reason is kept for the message.
struct DeviceSink {
  explicit DeviceSink(QIODevice& d) : dev(d) { zip_error_init(&error); }
  ~DeviceSink() { zip_error_fini(&error); }
  QIODevice& dev;
  zip_error_t error;
  QString failure;
};

zip_int64_t deviceSource(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  DeviceSink& s = *static_cast<DeviceSink*>(state);
  const auto failed = [&](int code, int system = 0) {
    zip_error_set(&s.error, code, system);
    return zip_int64_t(-1);
  };
  switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
      return ZIP_SOURCE_SUPPORTS_WRITABLE;
    case ZIP_SOURCE_STAT:  // the way a file source says there is no file yet: the archive is new
      return failed(ZIP_ER_READ, ENOENT);
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&s.error, data, len);
    case ZIP_SOURCE_WRITE: {
      // A device may take part of a write; the rest is written again, so that a failure is one that
      // also gives its reason (a full disk says so only when nothing more fits).
      const char* p = static_cast<const char*>(data);
      for (zip_uint64_t left = len; left > 0;) {
        const qint64 n = s.dev.write(p, qint64(left));
        if (n <= 0) {
          s.failure = s.dev.errorString();
          return failed(ZIP_ER_WRITE);
        }
        p += n;
        left -= zip_uint64_t(n);
      }
      return zip_int64_t(len);
    }
    case ZIP_SOURCE_SEEK_WRITE: {
      const auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, len, &s.error);
      if (!args) return -1;
      const qint64 base = args->whence == SEEK_CUR   ? s.dev.pos()
                          : args->whence == SEEK_END ? s.dev.size()
                                                     : 0;
      return base + args->offset >= 0 && s.dev.seek(base + args->offset) ? 0 : failed(ZIP_ER_SEEK);
    }
    case ZIP_SOURCE_TELL_WRITE:
      return s.dev.pos();
    case ZIP_SOURCE_COMMIT_WRITE:
      if (auto* f = qobject_cast<QFileDevice*>(&s.dev); f && !f->flush()) {
        s.failure = f->errorString();
        return failed(ZIP_ER_WRITE);
      }
      return 0;
    case ZIP_SOURCE_BEGIN_WRITE:
    case ZIP_SOURCE_ROLLBACK_WRITE:  // the device's owner throws the bytes away
    case ZIP_SOURCE_REMOVE:
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
      return 0;
    default:
      return failed(ZIP_ER_OPNOTSUPP);
  }
}

}  // namespace

int ZipArchive::fail(int code, const QString& reason) {
  reason_ = reason;
  return code;
}

void ZipArchive::report(double fraction) {
  if (progress_) progress_(qBound(0.0, fraction, 1.0));
}

bool ZipArchive::sync(const QString& path) {
  const int fd = ::open(nativeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

int ZipArchive::checkReady(const QString& folder) {
  reason_.clear();
  const QFileInfo info(folder);
  const QStorageInfo volume(folder);
  if (!info.isDir() || !volume.isValid() || !volume.isReady())
    return fail(NotReady, QStringLiteral("The folder %1 cannot be reached: its drive or medium is not ready.")
                              .arg(QDir::toNativeSeparators(folder)));
  return Ok;
}

int ZipArchive::write(const QString& path, const std::vector<Source>& files) {
  reason_.clear();
  // Written aside and put in place whole by the commit. Unbuffered, so that a failing write reports
  // its own reason at once.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return fail(CannotWrite,
                QStringLiteral("The archive %1 cannot be written: %2").arg(path, file.errorString()));
  if (const int code = write(file, files)) {
    file.cancelWriting();
    return code;
  }
  // The commit flushes to disk too, but says nothing when that fails.
  if (::fsync(file.handle()) != 0) {
    const QString why = qt_error_string(errno);
    file.cancelWriting();
    return fail(CannotWrite, QStringLiteral("The archive %1 cannot be written to disk: %2").arg(path, why));
  }
  if (!file.commit())
    return fail(CannotWrite,
                QStringLiteral("The archive %1 cannot be written: %2").arg(path, file.errorString()));
  return Ok;
}

int ZipArchive::write(QIODevice& out, const std::vector<Source>& files) {
  reason_.clear();
  // Reasons name the file when the device is one.
  const auto* file = qobject_cast<const QFileDevice*>(&out);
  const QString archive =
      file ? QStringLiteral("The archive %1").arg(file->fileName()) : QStringLiteral("The archive");
  for (const Source& s : files) {
    QFile f(s.path);
    if (!f.open(QIODevice::ReadOnly))
      return fail(SourceUnreadable,
                  QStringLiteral("The file %1 cannot be read: %2").arg(s.path, f.errorString()));
  }
  DeviceSink sink(out);
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* target = zip_source_function_create(deviceSource, &sink, &err);
  ZipHandle za(target ? zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &err) : nullptr);
  if (!za) {
    if (target) zip_source_free(target);
    const QString why = QString::fromLocal8Bit(zip_error_strerror(&err));
    zip_error_fini(&err);
    return fail(CannotWrite, QStringLiteral("%1 cannot be written: %2").arg(archive, why));
  }
  zip_error_fini(&err);
  for (const Source& s : files) {
    zip_source_t* src = zip_source_file(za.get(), nativeName(s.path).constData(), 0, -1);
    const QByteArray name = QFileInfo(s.path).fileName().toUtf8();
    const zip_int64_t index = src ? zip_file_add(za.get(), name.constData(), src, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (src) zip_source_free(src);
      return fail(SourceUnreadable, QStringLiteral("The file %1 cannot be read: %2")
                                        .arg(s.path, QString::fromLocal8Bit(zip_strerror(za.get()))));
    }
    // libzip deflates at its highest level unless told; the zip command's level 6 is many times
    // faster for nearly the same size.
    zip_set_file_compression(za.get(), zip_uint64_t(index), s.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                             s.compress ? 6 : 0);
  }
  if (!comment_.isEmpty()) {
    const QByteArray text = comment_.toUtf8();
    zip_set_archive_comment(za.get(), text.constData(), zip_uint16_t(qMin<qsizetype>(text.size(), 65535)));
  }
  zip_register_progress_callback_with_state(
      za.get(), 0.01, [](zip_t*, double done, void* self) { static_cast<ZipArchive*>(self)->report(done); },
      nullptr, this);
  if (zip_close(za.get()) != 0) {
    const QString why =
        sink.failure.isEmpty() ? QString::fromLocal8Bit(zip_strerror(za.get())) : sink.failure;
    return fail(CannotWrite, QStringLiteral("%1 cannot be written: %2").arg(archive, why));
  }
  (void)za.release();  // closed
  report(1.0);
  return Ok;
}

int ZipArchive::verify(const QString& path, const std::vector<Source>& files,
                       const std::vector<std::pair<QString, QString>>& copies) {
  reason_.clear();
  int err = 0;
  ZipHandle za(zip_open(nativeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err));
  if (!za)
    return fail(NotAnArchive,
                QStringLiteral("The archive %1 cannot be read back: %2").arg(path, zipErrorText(err)));
  const zip_int64_t count = zip_get_num_entries(za.get(), 0);
  if (count != zip_int64_t(files.size()))
    return fail(NotLikeSource, QStringLiteral("The archive %1 holds %2 files instead of %3.")
                                   .arg(path)
                                   .arg(count)
                                   .arg(files.size()));

  // Each byte is read twice: once from the archive, once from its file.
  double total = 0;
  for (const Source& s : files) total += 2.0 * double(QFileInfo(s.path).size());
  double done = 0;
  auto advance = [&](qint64 n) {
    done += double(n);
    if (total > 0) report(done / total);
  };

  QByteArray buf(kChunk, Qt::Uninitialized);
  for (zip_int64_t i = 0; i < count; ++i) {
    const QString& source = files[size_t(i)].path;
    const QString name = QFileInfo(source).fileName();
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za.get(), zip_uint64_t(i), 0, &st) != 0 || QString::fromUtf8(st.name) != name)
      return fail(NotLikeSource,
                  QStringLiteral("The archive %1 does not hold %2 in its place.").arg(path, name));

    std::unique_ptr<QFile> copy;
    for (const auto& [entry, target] : copies) {
      if (entry != name) continue;
      copy = std::make_unique<QFile>(target);
      if (!copy->open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(CannotExtract,
                    QStringLiteral("The file %1 cannot be written: %2").arg(target, copy->errorString()));
    }

    ZipFileHandle zf(zip_fopen_index(za.get(), zip_uint64_t(i), 0));
    if (!zf)
      return fail(
          EntryDamaged,
          QStringLiteral("%1 in the archive %2 cannot be read: %3").arg(name, path, zip_strerror(za.get())));
    uLong crc = crc32(0L, Z_NULL, 0);
    quint64 size = 0;
    for (;;) {
      const zip_int64_t n = zip_fread(zf.get(), buf.data(), zip_uint64_t(buf.size()));
      if (n < 0)
        return fail(EntryDamaged, QStringLiteral("%1 in the archive %2 is damaged: %3")
                                      .arg(name, path, QString::fromLocal8Bit(zip_file_strerror(zf.get()))));
      if (n == 0) break;
      crc = crc32(crc, reinterpret_cast<const Bytef*>(buf.constData()), uInt(n));
      size += quint64(n);
      if (copy && copy->write(buf.constData(), n) != n)
        return fail(
            CannotExtract,
            QStringLiteral("The file %1 cannot be written: %2").arg(copy->fileName(), copy->errorString()));
      advance(n);
    }
    if (copy) copy->close();
    if (quint32(crc) != st.crc || size != st.size)
      return fail(EntryDamaged,
                  QStringLiteral("%1 in the archive %2 does not match its checksum.").arg(name, path));

    quint32 sourceCrc = 0;
    quint64 sourceSize = 0;
    if (!fileCrc(source, sourceCrc, sourceSize, advance))
      return fail(SourceUnreadable, QStringLiteral("The file %1 cannot be read.").arg(source));
    if (sourceCrc != st.crc || sourceSize != st.size)
      return fail(NotLikeSource,
                  QStringLiteral("%1 in the archive %2 is not the same as %3.").arg(name, path, source));
  }
  report(1.0);
  return Ok;
}

int ZipArchive::list(const QString& path, std::vector<Entry>& entries) {
  reason_.clear();
  entries.clear();
  int err = 0;
  ZipHandle za(zip_open(nativeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err));
  if (!za)
    return fail(
        NotAnArchive,
        QStringLiteral("The file %1 is not a zip archive or is damaged: %2").arg(path, zipErrorText(err)));
  int commentLength = 0;
  const char* comment = zip_get_archive_comment(za.get(), &commentLength, 0);
  comment_ = comment ? QString::fromUtf8(comment, commentLength) : QString();
  const zip_int64_t count = zip_get_num_entries(za.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za.get(), zip_uint64_t(i), 0, &st) != 0)
      return fail(NotAnArchive,
                  QStringLiteral("The archive %1 is damaged: %2").arg(path, zip_strerror(za.get())));
    Entry e;
    e.name = QString::fromUtf8(st.name);
    e.size = st.size;
    e.crc = st.crc;
    e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    if (st.valid & ZIP_STAT_MTIME) e.modified = QDateTime::fromSecsSinceEpoch(qint64(st.mtime));
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za.get(), zip_uint64_t(i), 0, &system, &attributes) == 0) {
      const quint32 mode = attributes >> 16;
      if (system == ZIP_OPSYS_UNIX) {
        e.link = (mode & S_IFMT) == S_IFLNK;
        e.folder = (mode & S_IFMT) == S_IFDIR;
      }
      if (attributes & 0x10) e.folder = true;  // the DOS folder bit
    }
    if (e.name.endsWith(QLatin1Char('/')) || e.name.endsWith(QLatin1Char('\\'))) e.folder = true;
    entries.push_back(std::move(e));
  }
  return Ok;
}

int ZipArchive::extract(const QString& path, const QStringList& names, const QString& folder) {
  reason_.clear();
  int err = 0;
  ZipHandle za(zip_open(nativeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err));
  if (!za)
    return fail(
        NotAnArchive,
        QStringLiteral("The file %1 is not a zip archive or is damaged: %2").arg(path, zipErrorText(err)));
  std::vector<std::pair<zip_uint64_t, quint64>> chosen;  // index, size
  double total = 0;
  for (const QString& name : names) {
    const zip_int64_t index = zip_name_locate(za.get(), name.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
    zip_stat_t st;
    zip_stat_init(&st);
    if (index < 0 || zip_stat_index(za.get(), zip_uint64_t(index), 0, &st) != 0)
      return fail(NotAnArchive, QStringLiteral("The archive %1 does not hold %2.").arg(path, name));
    chosen.emplace_back(zip_uint64_t(index), st.size);
    total += double(st.size);
  }
  double done = 0;
  QByteArray buf(kChunk, Qt::Uninitialized);
  for (qsizetype k = 0; k < names.size(); ++k) {
    const QString& name = names[k];
    const auto [index, expected] = chosen[size_t(k)];
    const QString target = QDir(folder).filePath(name);
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
      return fail(CannotExtract,
                  QStringLiteral("The file %1 cannot be written: %2").arg(target, out.errorString()));
    ZipFileHandle zf(zip_fopen_index(za.get(), index, 0));
    if (!zf)
      return fail(
          EntryDamaged,
          QStringLiteral("%1 in the archive %2 cannot be read: %3").arg(name, path, zip_strerror(za.get())));
    quint64 size = 0;
    for (;;) {
      const zip_int64_t n = zip_fread(zf.get(), buf.data(), zip_uint64_t(buf.size()));
      if (n < 0)
        return fail(EntryDamaged, QStringLiteral("%1 in the archive %2 is damaged: %3")
                                      .arg(name, path, QString::fromLocal8Bit(zip_file_strerror(zf.get()))));
      if (n == 0) break;
      size += quint64(n);
      if (size > expected)
        return fail(EntryDamaged,
                    QStringLiteral("%1 in the archive %2 is larger than it claims.").arg(name, path));
      if (out.write(buf.constData(), n) != n)
        return fail(CannotExtract,
                    QStringLiteral("The file %1 cannot be written: %2").arg(target, out.errorString()));
      done += double(n);
      if (total > 0) report(done / total);
    }
    if (size != expected)
      return fail(EntryDamaged,
                  QStringLiteral("%1 in the archive %2 is shorter than it claims.").arg(name, path));
    if (!out.flush() || ::fsync(out.handle()) != 0)
      return fail(
          CannotExtract,
          QStringLiteral("The file %1 cannot be written to disk: %2").arg(target, qt_error_string(errno)));
  }
  report(1.0);
  return Ok;
}
