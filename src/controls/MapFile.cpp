#include "controls/MapFile.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

// Layout: magic, then little-endian u32 version, rows, columns, default back, default text colour,
// cell count; per cell varint row, varint column, flags byte, varint UTF-8 length, the UTF-8 bytes,
// u32 back colour and u32 text colour when their flags are set; last the SHA-1 of all before it.

namespace {

const QByteArray kMagic("ZELMAP\x1a", 7);
constexpr quint32 kVersion = 1;
constexpr int kHashLen = 20;
constexpr int kHeaderLen = 7 + 6 * 4;

enum CellFlags : quint8 { HasBack = 1, HasFore = 2 };

QString damaged(const QString& path) {
  return QStringLiteral(
             "The map file %1 is damaged or is not a map file of this program. The map is "
             "shown empty; the file is left as it is.")
      .arg(path);
}

class Writer {
 public:
  void u32(quint32 v) {
    char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    buf_.append(b, 4);
  }
  void varint(quint32 v) {
    while (v >= 0x80) {
      buf_.append(char((v & 0x7F) | 0x80));
      v >>= 7;
    }
    buf_.append(char(v));
  }
  void byte(quint8 v) { buf_.append(char(v)); }
  void text(const QString& s) {
    // Plain ASCII, the usual case, is copied without a temporary.
    const QChar* p = s.constData();
    const qsizetype n = s.size();
    bool ascii = true;
    for (qsizetype i = 0; i < n && ascii; ++i) ascii = p[i].unicode() < 0x80;
    if (ascii) {
      varint(quint32(n));
      for (qsizetype i = 0; i < n; ++i) buf_.append(char(p[i].unicode()));
    } else {
      const QByteArray u = s.toUtf8();
      varint(quint32(u.size()));
      buf_.append(u);
    }
  }
  QByteArray& buffer() { return buf_; }

 private:
  QByteArray buf_;
};

class Reader {
 public:
  Reader(const char* p, const char* end) : p_(p), end_(end) {}
  bool ok() const { return ok_; }
  bool atEnd() const { return p_ == end_; }
  quint32 u32() {
    if (end_ - p_ < 4) return fail();
    const auto* u = reinterpret_cast<const uchar*>(p_);
    p_ += 4;
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
  }
  quint8 byte() {
    if (p_ >= end_) return quint8(fail());
    return quint8(*p_++);
  }
  quint32 varint() {
    quint32 v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      if (p_ >= end_) return fail();
      const quint8 b = quint8(*p_++);
      v |= quint32(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    return fail();
  }
  void skipText() {
    const quint32 n = varint();
    if (!ok_ || quint64(end_ - p_) < n) {
      fail();
      return;
    }
    p_ += n;
  }
  QString text() {
    const quint32 n = varint();
    if (!ok_ || quint64(end_ - p_) < n) {
      fail();
      return QString();
    }
    QString s = QString::fromUtf8(p_, qsizetype(n));
    p_ += n;
    return s;
  }

 private:
  quint32 fail() {
    ok_ = false;
    p_ = end_;
    return 0;
  }
  const char* p_;
  const char* end_;
  bool ok_ = true;
};

}  // namespace

namespace MapFile {

QString fileName(const QString& dataPath, qint32 cemeteryId) {
  return dataPath + QStringLiteral("zelmap") + QString::number(cemeteryId) + QStringLiteral(".dat");
}

bool save(const QString& path, const Header& header,
          const std::function<void(const std::function<void(const MapCell&)>&)>& cells, QString* error) {
  QSaveFile file(path);
  QCryptographicHash hash(QCryptographicHash::Sha1);
  bool ok = file.open(QIODevice::WriteOnly);
  Writer w;
  w.buffer().reserve(1 << 20);
  auto flush = [&] {
    if (!ok) return;
    hash.addData(w.buffer());
    ok = file.write(w.buffer()) == w.buffer().size();
    w.buffer().resize(0);
  };
  w.buffer().append(kMagic);
  w.u32(kVersion);
  w.u32(quint32(header.maxRows));
  w.u32(quint32(header.maxCols));
  w.u32(header.defaultBack);
  w.u32(header.defaultFore);
  w.u32(header.cellCount);
  quint32 written = 0;
  cells([&](const MapCell& c) {
    ++written;
    w.varint(quint32(c.row));
    w.varint(quint32(c.col));
    w.byte((c.hasBack ? HasBack : 0) | (c.hasFore ? HasFore : 0));
    w.text(c.text);
    if (c.hasBack) w.u32(c.back & 0xFFFFFFu);
    if (c.hasFore) w.u32(c.fore & 0xFFFFFFu);
    if (w.buffer().size() >= (1 << 20) - 1024) flush();
  });
  flush();
  if (ok) ok = file.write(hash.result()) == kHashLen;
  if (ok && written != header.cellCount) ok = false;
  if (!ok || !file.commit()) {
    file.cancelWriting();
    if (error)
      *error =
          QStringLiteral("The map could not be saved to %1: %2")
              .arg(path, written != header.cellCount ? QStringLiteral("internal error") : file.errorString());
    return false;
  }
  return true;
}

bool load(const QString& path, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell, QString* error) {
  auto fail = [&](const QString& msg) {
    if (error) *error = msg;
    return false;
  };
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return fail(QStringLiteral("The map file %1 could not be read: %2").arg(path, file.errorString()));
  const QByteArray all = file.readAll();
  file.close();
  if (all.size() < kHeaderLen + kHashLen || !all.startsWith(kMagic)) return fail(damaged(path));
  const qsizetype bodyLen = all.size() - kHashLen;
  if (QCryptographicHash::hash(QByteArrayView(all.constData(), bodyLen), QCryptographicHash::Sha1) !=
      QByteArrayView(all.constData() + bodyLen, kHashLen))
    return fail(damaged(path));

  Reader in(all.constData() + kMagic.size(), all.constData() + bodyLen);
  if (in.u32() != kVersion)
    return fail(QStringLiteral("The map file %1 was written by another version of this program and cannot be "
                               "read. The map is shown empty; the file is left as it is.")
                    .arg(path));
  Header h;
  h.maxRows = qint32(in.u32());
  h.maxCols = qint32(in.u32());
  h.defaultBack = in.u32() & 0xFFFFFFu;
  h.defaultFore = in.u32() & 0xFFFFFFu;
  h.cellCount = in.u32();
  if (!in.ok() || h.maxRows < 0 || h.maxCols < 0 || h.maxRows > kMaxSize || h.maxCols > kMaxSize ||
      quint64(h.cellCount) > (quint64(h.maxRows) + 1) * (quint64(h.maxCols) + 1))
    return fail(damaged(path));

  // Two passes over the cells: the first only checks, so that a file that passes the checksum but
  // is not sound (forged, or written by a faulty program) never reaches the sheet half-read.
  const Reader cellsStart = in;
  for (int pass = 0; pass < 2; ++pass) {
    in = cellsStart;
    if (pass == 1) onHeader(h);
    for (quint32 i = 0; i < h.cellCount; ++i) {
      MapCell c;
      c.row = qint32(in.varint());
      c.col = qint32(in.varint());
      const quint8 flags = in.byte();
      if (pass == 0)
        in.skipText();
      else
        c.text = in.text();
      c.hasBack = flags & HasBack;
      c.hasFore = flags & HasFore;
      if (c.hasBack) c.back = in.u32() & 0xFFFFFFu;
      if (c.hasFore) c.fore = in.u32() & 0xFFFFFFu;
      if (pass == 1) {
        onCell(std::move(c));
        continue;
      }
      if (!in.ok() || c.row < 0 || c.col < 0 || c.row > h.maxRows || c.col > h.maxCols ||
          (flags & ~(HasBack | HasFore)))
        return fail(damaged(path));
    }
    if (pass == 0 && !in.atEnd()) return fail(damaged(path));
  }
  return true;
}

bool save(const QString& path, const MapSheetData& sheet, QString* error) {
  Header h{sheet.maxRows, sheet.maxCols, sheet.defaultBack, sheet.defaultFore, quint32(sheet.cells.size())};
  return save(
      path, h,
      [&](const std::function<void(const MapCell&)>& put) {
        for (const MapCell& c : sheet.cells) put(c);
      },
      error);
}

bool load(const QString& path, MapSheetData& sheet, QString* error) {
  MapSheetData read;
  const bool ok = load(
      path,
      [&](const Header& h) {
        read.maxRows = h.maxRows;
        read.maxCols = h.maxCols;
        read.defaultBack = h.defaultBack;
        read.defaultFore = h.defaultFore;
      },
      [&](MapCell&& c) { read.cells.push_back(std::move(c)); }, error);
  if (ok) sheet = std::move(read);
  return ok;
}

}  // namespace MapFile
