#include "core/maps/MapFile.h"

#include <openssl/evp.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>
#include <vector>

#include "core/store/Connection.h"
#include "core/store/DbError.h"

// Layout: magic, then little-endian u32 version, rows, columns, default back, default text colour,
// cell count; per cell varint row, varint column, flags byte, varint UTF-8 length, the UTF-8 bytes,
// u32 back colour and u32 text colour when their flags are set; last the SHA-1 of all before it.

namespace {

const QByteArray kMagic("ZELMAP\x1a", 7);
constexpr quint32 kVersion = 1;
constexpr int kHashLen = 20;
constexpr int kHeaderLen = 7 + 6 * 4;

enum CellFlags : quint8 { HasBack = 1, HasFore = 2 };

// SHA-1 from the cipher library the database already loads: several times quicker than Qt's own,
// and the checksum is a large part of reading a large map.
class Sha1 {
 public:
  Sha1() : ctx_(EVP_MD_CTX_new()) { ok_ = ctx_ && EVP_DigestInit_ex(ctx_, EVP_sha1(), nullptr) == 1; }
  ~Sha1() { EVP_MD_CTX_free(ctx_); }
  Sha1(const Sha1&) = delete;
  Sha1& operator=(const Sha1&) = delete;
  // False when the library could not start or take the data: no checksum can be trusted then.
  bool ok() const { return ok_; }
  void addData(QByteArrayView b) {
    if (ok_ && !b.isEmpty()) ok_ = EVP_DigestUpdate(ctx_, b.data(), size_t(b.size())) == 1;
  }
  QByteArray result() {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (ok_) ok_ = EVP_DigestFinal_ex(ctx_, md, &n) == 1 && n == unsigned(kHashLen);
    return ok_ ? QByteArray(reinterpret_cast<const char*>(md), kHashLen) : QByteArray();
  }

 private:
  EVP_MD_CTX* ctx_;
  bool ok_ = false;
};

DbError unreadable(const QString& path, const QString& reason, DbError::Code code = DbError::CantOpen) {
  return DbError(
      code, 0,
      QStringLiteral("The map file %1 cannot be read: %2.").arg(QDir::toNativeSeparators(path), reason));
}

DbError damaged(const QString& path) {
  return unreadable(path, QStringLiteral("it is damaged or is not a map file of this program"),
                    DbError::Corrupt);
}

// Bytes one cell can take at least and at most: varint row and column, flags, varint length, the
// text, two colours. Varints are read up to five bytes long.
constexpr qint64 kMinCellBytes = 4;
constexpr qint64 kMaxCellBytes = 5 + 5 + 1 + 5 + MapFile::kMaxTextBytes + 4 + 4;

// Cells are encoded into a fixed buffer by pointer: per byte appends to a growing array cost more
// than the encoding itself on a million cells.
class Writer {
 public:
  explicit Writer(qsizetype capacity) : buf_(capacity, Qt::Uninitialized) {}
  void u32(quint32 v) {
    char* p = buf_.data() + len_;
    p[0] = char(v);
    p[1] = char(v >> 8);
    p[2] = char(v >> 16);
    p[3] = char(v >> 24);
    len_ += 4;
  }
  void varint(quint32 v) {
    char* p = buf_.data();
    while (v >= 0x80) {
      p[len_++] = char((v & 0x7F) | 0x80);
      v >>= 7;
    }
    p[len_++] = char(v);
  }
  void byte(quint8 v) { buf_.data()[len_++] = char(v); }
  void bytes(QByteArrayView b) {
    std::memcpy(buf_.data() + len_, b.data(), size_t(b.size()));
    len_ += b.size();
  }
  // Returns the text's length in bytes; a text longer than a cell may hold is not written.
  qsizetype text(const QString& s) {
    // Plain ASCII, the usual case, is copied without a temporary.
    const QChar* p = s.constData();
    const qsizetype n = s.size();
    bool ascii = n <= MapFile::kMaxTextBytes;
    for (qsizetype i = 0; i < n && ascii; ++i) ascii = p[i].unicode() < 0x80;
    if (ascii) {
      varint(quint32(n));
      char* d = buf_.data() + len_;
      for (qsizetype i = 0; i < n; ++i) d[i] = char(p[i].unicode());
      len_ += n;
      return n;
    }
    const QByteArray u = s.toUtf8();
    if (u.size() > MapFile::kMaxTextBytes) return u.size();
    varint(quint32(u.size()));
    bytes(u);
    return u.size();
  }
  QByteArrayView filled() const { return QByteArrayView(buf_.constData(), len_); }
  qsizetype room() const { return buf_.size() - len_; }
  void clear() { len_ = 0; }

 private:
  QByteArray buf_;
  qsizetype len_ = 0;
};

// What a pass does with a cell's text.
enum class TextUse { Skip, Decode, Bytes };

// Reads the cells of a file in pieces of at most kChunk bytes, never past the checksum, through one
// buffer of fixed size: the bytes land in the same memory each time.
class Reader {
 public:
  Reader(QIODevice& dev, qint64 bodyLeft, Sha1* hash)
      : dev_(dev), left_(bodyLeft), hash_(hash), buf_(size_t(kChunk + kMaxCellBytes)) {}
  bool ok() const { return ok_; }
  bool readFailed() const { return readFailed_; }
  bool atEnd() const { return left_ == 0 && pos_ == len_; }
  // The next cell, parsed from the buffer: it is filled once with as many bytes as a cell can take,
  // so the fields are read by pointer. Checks the text (check), and decodes it into c.text, whose
  // buffer is reused (most cells are short plain ASCII; a million would each cost an allocation),
  // or points c.utf8 at its bytes.
  bool cell(MapCell& c, quint8& flags, TextUse use, bool check) {
    const qint64 have = len_ - pos_;
    if (!ok_ ||
        (have < kMaxCellBytes && left_ > 0 && !need(qsizetype(std::min(kMaxCellBytes, have + left_)))))
      return false;
    const auto* base = reinterpret_cast<const uchar*>(buf_.data());
    const uchar* p = base + pos_;
    const uchar* const end = base + len_;
    quint32 row = 0, col = 0, n = 0;
    if (!(p = varint(p, end, row)) || !(p = varint(p, end, col)) || p == end) return fail();
    flags = *p++;
    if (!(p = varint(p, end, n)) || n > quint32(MapFile::kMaxTextBytes) || quint32(end - p) < n)
      return fail();
    const uchar* text = p;
    p += n;
    c.row = qint32(row);
    c.col = qint32(col);
    c.hasBack = flags & HasBack;
    c.hasFore = flags & HasFore;
    if (end - p < 4 * (int(c.hasBack) + int(c.hasFore))) return fail();
    c.back = c.hasBack ? u32(p) & 0xFFFFFFu : 0;
    c.fore = c.hasFore ? u32(p) & 0xFFFFFFu : 0;
    pos_ = p - base;
    quint32 ascii = 0;
    while (ascii < n && text[ascii] < 0x80) ++ascii;
    // Bytes that are not UTF-8 would read as replacement characters, longer than a cell holds.
    if (check && ascii < n && !QByteArrayView(text, qsizetype(n)).isValidUtf8()) return fail();
    c.utf8 = {};
    if (use == TextUse::Skip) return true;
    if (use == TextUse::Bytes) {
      c.utf8 = QByteArrayView(text, qsizetype(n));
      return true;
    }
    if (ascii < n) {
      c.text = QString::fromUtf8(reinterpret_cast<const char*>(text), qsizetype(n));
      return true;
    }
    c.text.resize(qsizetype(n));
    QChar* d = c.text.data();
    for (quint32 i = 0; i < n; ++i) d[i] = QChar(text[i]);
    return true;
  }

 private:
  static constexpr qint64 kChunk = 64 * 1024;
  bool need(qsizetype n) {
    if (!ok_) return false;
    if (len_ - pos_ >= n) return true;
    std::memmove(buf_.data(), buf_.data() + pos_, size_t(len_ - pos_));
    len_ -= pos_;
    pos_ = 0;
    while (len_ < n) {
      const qint64 want = std::min(qint64(buf_.size()) - len_, left_);
      if (want <= 0) return fail();
      const qint64 got = dev_.read(buf_.data() + len_, want);
      if (got <= 0) {
        readFailed_ = got < 0;
        return fail();
      }
      if (hash_) hash_->addData(QByteArrayView(buf_.data() + len_, qsizetype(got)));
      len_ += qsizetype(got);
      left_ -= got;
    }
    return true;
  }
  bool fail() {
    ok_ = false;
    return false;
  }
  static const uchar* varint(const uchar* p, const uchar* end, quint32& v) {
    for (int shift = 0; shift < 35; shift += 7) {
      if (p == end) return nullptr;
      const quint8 b = *p++;
      // The fifth byte holds the top four bits; more would not fit and is not ours.
      if (shift == 28 && b > 0x0F) return nullptr;
      v |= quint32(b & 0x7F) << shift;
      if (!(b & 0x80)) return p;
    }
    return nullptr;
  }
  static quint32 u32(const uchar*& p) {
    const quint32 v = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    p += 4;
    return v;
  }
  QIODevice& dev_;
  qint64 left_;
  Sha1* hash_;
  std::vector<char> buf_;
  qsizetype pos_ = 0;
  qsizetype len_ = 0;
  bool ok_ = true;
  bool readFailed_ = false;
};

}  // namespace

namespace MapFile {

QString fileName(const QString& dataPath, qint32 cemeteryId) {
  return dataPath + QStringLiteral("zelmap") + QString::number(cemeteryId) + QStringLiteral(".dat");
}

qint64 maxFileSize() { return kHeaderLen + qint64(kMaxCells) * kMaxCellBytes + kHashLen; }

void write(QIODevice& out, const Header& header, const CellWriter& cells) {
  auto fail = [](const QString& reason) { return DbError(DbError::IoErr, 0, reason); };
  // What cannot be read back is not written.
  if (header.maxRows < 0 || header.maxCols < 0 || header.maxRows > kMaxSize || header.maxCols > kMaxSize)
    throw fail(QStringLiteral("the map has more than %1 rows or columns").arg(kMaxSize));
  if (header.cellCount > kMaxCells)
    throw fail(QStringLiteral("the map has more than %1 drawn cells").arg(kMaxCells));
  Sha1 hash;
  if (!hash.ok()) throw fail(QStringLiteral("its checksum cannot be computed"));
  bool ok = true;
  bool tooLong = false;
  Writer w(1 << 20);
  // A device may take part of a write; the rest is written again, so a failure is one that also
  // reports its reason (a full disk says so only when nothing more fits).
  auto writeAll = [&](QByteArrayView bytes) {
    while (ok && !bytes.isEmpty()) {
      const qint64 n = out.write(bytes.data(), bytes.size());
      if (n <= 0) ok = false;
      bytes = bytes.sliced(qsizetype(std::max<qint64>(n, 0)));
    }
  };
  auto flush = [&] {
    if (!ok) return;
    hash.addData(w.filled());
    writeAll(w.filled());
    w.clear();
  };
  w.bytes(kMagic);
  w.u32(kVersion);
  w.u32(quint32(header.maxRows));
  w.u32(quint32(header.maxCols));
  w.u32(header.defaultBack);
  w.u32(header.defaultFore);
  w.u32(header.cellCount);
  quint32 written = 0;
  cells([&](const MapCell& c) {
    ++written;
    if (!ok || tooLong) return;
    w.varint(quint32(c.row));
    w.varint(quint32(c.col));
    w.byte((c.hasBack ? HasBack : 0) | (c.hasFore ? HasFore : 0));
    if (w.text(c.text) > kMaxTextBytes) tooLong = true;
    if (c.hasBack) w.u32(c.back & 0xFFFFFFu);
    if (c.hasFore) w.u32(c.fore & 0xFFFFFFu);
    if (w.room() < kMaxCellBytes) flush();
  });
  if (tooLong) throw fail(QStringLiteral("a cell holds a text longer than %1 bytes").arg(kMaxTextBytes));
  if (written != header.cellCount) throw fail(QStringLiteral("internal error"));
  flush();
  const QByteArray sum = hash.result();
  if (ok && !hash.ok()) throw fail(QStringLiteral("its checksum cannot be computed"));
  if (ok) writeAll(sum);
  if (!ok) throw fail(out.errorString());
}

void save(const QString& path, const Header& header, const CellWriter& cells) {
  QSaveFile file(path);
  QString reason;
  // Unbuffered: a failing write (a full disk) reports its own reason at once.
  bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  if (!ok) reason = file.errorString();
  if (ok) {
    try {
      write(file, header, cells);
    } catch (const DbError& e) {
      ok = false;
      reason = e.description();
    }
  }
  if (ok) {
    ok = file.commit();
    if (!ok) reason = file.errorString();
  } else {
    // The reason is taken before the cancel, which would replace it with its own.
    file.cancelWriting();
  }
  if (ok) return;
  if (!folderWritable(QFileInfo(path).absolutePath()))
    reason = QStringLiteral("the folder %1 cannot be written to")
                 .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
  throw DbError(
      DbError::IoErr, 0,
      QStringLiteral("The map could not be saved to %1: %2.").arg(QDir::toNativeSeparators(path), reason));
}

namespace {

// path names the map in failures; file is open for reading. bytes: texts are handed over as their
// checked bytes, not decoded.
void readDevice(QIODevice& file, const QString& path, const std::function<void(const Header&)>& onHeader,
                const std::function<void(MapCell&&)>& onCell, bool onePass, bool bytes) {
  const qint64 size = file.size();
  if (size > maxFileSize())
    throw unreadable(path, QStringLiteral("it is larger than any map can be (%1 bytes)").arg(size));
  if (size < kHeaderLen + kHashLen) throw damaged(path);

  const QByteArray head = file.read(kHeaderLen);
  if (head.size() != kHeaderLen) throw unreadable(path, file.errorString());
  if (!head.startsWith(kMagic)) throw damaged(path);
  const auto u32At = [&](int i) {
    const auto* u = reinterpret_cast<const uchar*>(head.constData() + kMagic.size() + 4 * i);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
  };
  const quint32 version = u32At(0);
  if (version != kVersion)
    throw unreadable(path, version > kVersion
                               ? QStringLiteral("it was written by a newer version of this program")
                               : QStringLiteral("it was written by another version of this program"));
  Header h;
  h.maxRows = qint32(u32At(1));
  h.maxCols = qint32(u32At(2));
  h.defaultBack = u32At(3) & 0xFFFFFFu;
  h.defaultFore = u32At(4) & 0xFFFFFFu;
  h.cellCount = u32At(5);
  // The header bounds the whole file: refused here, nothing more is read.
  const qint64 cellBytes = size - kHeaderLen - kHashLen;
  if (h.maxRows < 0 || h.maxCols < 0 || h.maxRows > kMaxSize || h.maxCols > kMaxSize ||
      h.cellCount > kMaxCells || quint64(h.cellCount) > (quint64(h.maxRows) + 1) * (quint64(h.maxCols) + 1) ||
      cellBytes < qint64(h.cellCount) * kMinCellBytes || cellBytes > qint64(h.cellCount) * kMaxCellBytes)
    throw damaged(path);

  // Two passes over the cells: the first checks the structure and the checksum, so that a file
  // that is not sound (damaged, forged, or written by a faulty program) never reaches the sheet
  // half-read; the second delivers the cells. In one pass, both at once.
  for (int pass = onePass ? 1 : 0; pass < 2; ++pass) {
    const bool check = onePass || pass == 0, deliver = pass == 1;
    Sha1 hash;
    if (check && !hash.ok()) throw unreadable(path, QStringLiteral("its checksum cannot be computed"));
    if (check) hash.addData(head);
    if (!file.seek(kHeaderLen)) throw unreadable(path, file.errorString());
    Reader in(file, cellBytes, check ? &hash : nullptr);
    if (deliver) onHeader(h);
    MapCell c;
    for (quint32 i = 0; i < h.cellCount; ++i) {
      quint8 flags = 0;
      // Checked again while delivering: the file may have changed since the first pass.
      const TextUse use = !deliver ? TextUse::Skip : bytes ? TextUse::Bytes : TextUse::Decode;
      if (!in.cell(c, flags, use, check) || c.row < 0 || c.col < 0 || c.row > h.maxRows ||
          c.col > h.maxCols || (flags & ~(HasBack | HasFore)))
        throw in.readFailed() ? unreadable(path, file.errorString()) : damaged(path);
      if (deliver) onCell(std::move(c));
    }
    if (!check) break;
    if (!in.atEnd()) throw damaged(path);
    const QByteArray sum = file.read(kHashLen);
    const QByteArray expected = hash.result();
    if (!hash.ok()) throw unreadable(path, QStringLiteral("its checksum cannot be computed"));
    if (sum != expected) throw damaged(path);
  }
}

void readFile(const QString& path, const std::function<void(const Header&)>& onHeader,
              const std::function<void(MapCell&&)>& onCell, bool onePass, bool bytes) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw unreadable(path, file.errorString());
  readDevice(file, path, onHeader, onCell, onePass, bytes);
}

}  // namespace

void load(const QString& path, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell) {
  readFile(path, onHeader, onCell, false, false);
}

void read(const QString& path, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell, Text text) {
  readFile(path, onHeader, onCell, true, text == Text::Bytes);
}

void load(QIODevice& in, const QString& name, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell) {
  readDevice(in, name, onHeader, onCell, false, false);
}

void read(QIODevice& in, const QString& name, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell, Text text) {
  readDevice(in, name, onHeader, onCell, true, text == Text::Bytes);
}

void save(const QString& path, const MapSheetData& sheet) {
  Header h{sheet.maxRows, sheet.maxCols, sheet.defaultBack, sheet.defaultFore, quint32(sheet.cells.size())};
  save(path, h, [&](const std::function<void(const MapCell&)>& put) {
    for (const MapCell& c : sheet.cells) put(c);
  });
}

void load(const QString& path, MapSheetData& sheet) {
  MapSheetData read;
  load(
      path,
      [&](const Header& h) {
        read.maxRows = h.maxRows;
        read.maxCols = h.maxCols;
        read.defaultBack = h.defaultBack;
        read.defaultFore = h.defaultFore;
      },
      [&](MapCell&& c) { read.cells.push_back(std::move(c)); });
  sheet = std::move(read);
}

}  // namespace MapFile
