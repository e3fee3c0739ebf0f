#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <vector>

class QIODevice;

// Zip archives through libzip. Every operation returns 0 on success or one of the codes below;
// reason() then says in words what went wrong, naming the file.
class ZipArchive {
 public:
  enum Code {
    Ok = 0,
    SourceUnreadable = 501,  // a file to be archived cannot be read
    CannotWrite = 502,       // the archive cannot be written (no permission, disk full, ...)
    NotAnArchive = 503,      // not a zip archive, or damaged beyond reading its contents
    EntryDamaged = 504,      // an entry does not read back whole with its own checksum
    NotLikeSource = 505,     // an entry differs from the file it was made from
    CannotExtract = 506,     // an extracted file cannot be written
    NotReady = 510,          // the medium of the folder is not there or not usable
  };

  // Fraction of the operation done, 0 to 1.
  using Progress = std::function<void(double fraction)>;

  struct Source {
    QString path;          // full name; stored in the archive under its bare name
    bool compress = true;  // false stores the bytes as they are
  };

  struct Entry {
    QString name;
    quint64 size = 0;
    quint32 crc = 0;
    bool folder = false;
    bool link = false;
    bool encrypted = false;
    QDateTime modified;  // as the archive records it
  };

  void setProgress(Progress progress) { progress_ = std::move(progress); }
  const QString& reason() const { return reason_; }
  // The archive's comment: set before write, read by list.
  void setComment(const QString& comment) { comment_ = comment; }
  const QString& comment() const { return comment_; }

  // Writes a new archive at path (replacing a file there) and flushes it to disk. A failure leaves
  // a file that was there as it was.
  int write(const QString& path, const std::vector<Source>& files);
  // The same onto a device open for writing that can seek (the archive's bytes; tests give failing
  // devices). A failing device's own reason is given.
  int write(QIODevice& out, const std::vector<Source>& files);
  // Reads the archive back whole: it must hold exactly the files, in their order, each entry
  // reading back with its own checksum, which must be that of the file. Entries named in copies
  // (entry name -> file) are also written out while they are read.
  int verify(const QString& path, const std::vector<Source>& files,
             const std::vector<std::pair<QString, QString>>& copies = {});
  // The entries of an archive, in their order.
  int list(const QString& path, std::vector<Entry>& entries);
  // Extracts the named entries into folder under the same names, each checked against its
  // checksum and flushed to disk. An entry larger than it claims to be is refused.
  int extract(const QString& path, const QStringList& names, const QString& folder);

  // 510 with its reason when the folder cannot be reached: missing, or its volume not ready.
  int checkReady(const QString& folder);

  // Flushes a file, or a folder's list of names, to disk.
  static bool sync(const QString& path);

 private:
  int fail(int code, const QString& reason);
  void report(double fraction);

  Progress progress_;
  QString reason_;
  QString comment_;
};
