#include "core/import/DelimitedText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <new>

#include "core/store/DbError.h"

namespace DelimitedText {

namespace {

constexpr qsizetype kChunk = qsizetype(1) << 20;
constexpr int kMaxRaggedNotes = 50;

// The characters Windows puts at 0x80 to 0x9F of its Latin-1; the five it leaves free stay.
constexpr char16_t kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString number(qint64 n) { return QLocale::c().toString(n); }

// Bytes that are no UTF-8 must outnumber the UTF-8 sequences this many times for a file to be read
// as Latin-1.
constexpr qint64 kLatin1Share = 4;

// What one pass over the raw file tells before anything is loaded.
struct Scan {
  qint64 multibyte = 0;  // valid UTF-8 sequences of more than one byte
  qint64 invalid = 0;    // bytes above 0x7F that are no part of one
  qint64 zeroLine = 0;   // line of the first zero character; 0 when there is none
  qint64 breaks = 0;     // CR and LF characters
  qint64 delimiters = 0;
  qint64 chars = 0;
};

// A valid UTF-8 sequence of more than one byte at p (before end): its length, or 0.
int utf8Length(const uchar* p, const uchar* end) {
  const uchar b = *p;
  int len;
  char32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
  } else {
    return 0;
  }
  if (end - p < len) return 0;
  for (int k = 1; k < len; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;  // overlong, surrogate
  if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
  return len;
}

Scan scanBytes(const uchar* p, qsizetype n, char16_t delimiter) {
  Scan s;
  const uchar* end = p + n;
  while (p < end) {
    const uchar b = *p;
    if (b < 0x80) {
      if (b == '\n' || b == '\r')
        ++s.breaks;
      else if (b == delimiter)
        ++s.delimiters;
      else if (b == 0 && !s.zeroLine)
        s.zeroLine = s.breaks + 1;
      ++p;
    } else if (const int len = utf8Length(p, end)) {
      p += len;
      ++s.multibyte;
    } else {
      ++s.invalid;
      ++p;
    }
    ++s.chars;
  }
  return s;
}

Scan scanUtf16(const uchar* p, qsizetype n, bool bigEndian, char16_t delimiter) {
  Scan s;
  for (qsizetype i = 0; i + 1 < n; i += 2) {
    const char16_t c = bigEndian ? char16_t(p[i] << 8 | p[i + 1]) : char16_t(p[i + 1] << 8 | p[i]);
    if (c == u'\n' || c == u'\r')
      ++s.breaks;
    else if (c == delimiter)
      ++s.delimiters;
    else if (c == 0 && !s.zeroLine)
      s.zeroLine = s.breaks + 1;
    ++s.chars;
  }
  return s;
}

// Memory the system could give now; -1 when it cannot be told.
qint64 freeMemory() {
  QFile f(QStringLiteral("/proc/meminfo"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  while (!f.atEnd()) {
    const QByteArray line = f.readLine();
    if (line.startsWith("MemAvailable:")) {
      const QList<QByteArray> parts = line.simplified().split(' ');
      if (parts.size() >= 2) return parts[1].toLongLong() * 1024;
    }
  }
  return -1;
}

// The rows of a character stream, fed in pieces.
class Parser {
 public:
  Parser(const Format& f, const RowSink& sink)
      : delimiter_(f.delimiter.unicode()), quoted_(f.quoted), sink_(sink) {}

  void feed(QStringView text);
  // False when a quoted item is still open at the end.
  bool finish();

  int line() const { return line_; }
  int quoteLine() const { return quoteLine_; }
  int rows() const { return rows_; }
  int dataRows() const { return dataRows_; }
  int columns() const { return columns_; }
  int lines() const { return lines_; }
  int lastDataRow() const { return lastDataRow_; }
  int firstItems() const { return std::max(firstColumns_, 0); }
  std::vector<std::pair<int, int>>& ragged() { return raggedRows_; }
  int undecodableLines() const { return undecodableLines_; }
  const QStringList& notes() const { return notes_; }

 private:
  enum class State { Start, Plain, Quoted, QuoteSeen };
  void endItem() { ends_.push_back(buf_.size()); }
  void endRow();

  const char16_t delimiter_;
  const bool quoted_;
  const RowSink& sink_;
  State st_ = State::Start;
  bool rowOpen_ = false;  // something of the row was read
  bool skipLf_ = false;   // a CR ended the last line: an LF right after it belongs to it
  int line_ = 1;
  int rowLine_ = 1;
  int quoteLine_ = 0;
  int rows_ = 0;
  int dataRows_ = 0;
  int columns_ = 0;
  int lines_ = 0;
  int firstColumns_ = -1;
  int ragged_ = 0;
  int lastDataRow_ = 0;
  int undecodableLines_ = 0;
  std::vector<std::pair<int, int>> raggedRows_;
  QString buf_;
  std::vector<qsizetype> ends_;
  Items items_;
  QStringList notes_;
};

void Parser::feed(QStringView text) {
  const char16_t* p = text.utf16();
  const char16_t* const e = p + text.size();
  while (p < e) {
    const char16_t c = *p;
    if (skipLf_) {
      skipLf_ = false;
      if (c == u'\n') {
        if (st_ == State::Quoted) buf_.append(QChar(u'\n'));
        ++p;
        continue;
      }
    }
    switch (st_) {
      case State::Start:
        if (!rowOpen_) {
          rowOpen_ = true;
          rowLine_ = line_;
        }
        if (c == u'"' && quoted_) {
          st_ = State::Quoted;
          quoteLine_ = line_;
          ++p;
        } else {
          st_ = State::Plain;
        }
        break;
      case State::Plain: {
        if (c == delimiter_) {
          endItem();
          st_ = State::Start;
          ++p;
          break;
        }
        if (c == u'\r' || c == u'\n') {
          endRow();
          ++line_;
          skipLf_ = c == u'\r';
          ++p;
          break;
        }
        const char16_t* q = p + 1;
        while (q < e && *q != delimiter_ && *q != u'\r' && *q != u'\n') ++q;
        buf_.append(QStringView(p, q));
        p = q;
        break;
      }
      case State::Quoted: {
        if (c == u'"') {
          st_ = State::QuoteSeen;
          ++p;
          break;
        }
        if (c == u'\r' || c == u'\n') {  // a line break inside the item stays in it
          buf_.append(QChar(c));
          ++line_;
          skipLf_ = c == u'\r';
          ++p;
          break;
        }
        const char16_t* q = p + 1;
        while (q < e && *q != u'"' && *q != u'\r' && *q != u'\n') ++q;
        buf_.append(QStringView(p, q));
        p = q;
        break;
      }
      case State::QuoteSeen:
        if (c == u'"') {
          buf_.append(QChar(u'"'));
          st_ = State::Quoted;
          ++p;
        } else {
          // The closing quote; anything after it up to the delimiter stays in the item.
          st_ = State::Plain;
        }
        break;
    }
  }
}

void Parser::endRow() {
  endItem();
  items_.clear();
  qsizetype from = 0;
  bool data = false;
  for (qsizetype end : ends_) {
    items_.emplace_back(buf_.constData() + from, end - from);
    data = data || end > from;
    from = end;
  }
  ++rows_;
  if (data) {
    ++dataRows_;
    lastDataRow_ = rows_;
    if (QStringView(buf_).contains(QChar(kUndecodable))) {
      if (++undecodableLines_ <= kMaxRaggedNotes)
        notes_ << QStringLiteral("Line %1 holds bytes that are not UTF-8.").arg(rowLine_);
    }
  }
  const int n = int(items_.size());
  columns_ = std::max(columns_, n);
  // Rows with another number of items than the first often mean a missing or extra delimiter.
  if (data && firstColumns_ < 0) {
    firstColumns_ = n;
  } else if (data && n != firstColumns_) {
    raggedRows_.emplace_back(rows_, n);
    if (++ragged_ <= kMaxRaggedNotes)
      notes_ << QStringLiteral("Line %1: %2 items, where the first line has %3.")
                    .arg(rowLine_)
                    .arg(n)
                    .arg(firstColumns_);
  }
  sink_(rows_, rowLine_, items_);
  buf_.resize(0);
  ends_.clear();
  st_ = State::Start;
  rowOpen_ = false;
}

bool Parser::finish() {
  if (st_ == State::Quoted) return false;
  lines_ = rowOpen_ ? line_ : line_ - 1;
  if (rowOpen_) endRow();
  if (ragged_ > kMaxRaggedNotes)
    notes_ << QStringLiteral("%1 more rows have another number of items than the first line.")
                  .arg(ragged_ - kMaxRaggedNotes);
  return true;
}

QString formatText(const Format& f) {
  QString d = f.delimiter == u'\t'  ? QStringLiteral("tab")
              : f.delimiter == u',' ? QStringLiteral("comma")
                                    : QStringLiteral("'%1'").arg(f.delimiter);
  return d + (f.quoted ? QStringLiteral("-delimited, items in double quotes read as quoted")
                       : QStringLiteral("-delimited, double quotes kept as ordinary characters"));
}

// Writes bytes whole; a device may take part of a write, and the rest is written again, so that a
// failure is one that also gives its reason.
bool writeAll(QIODevice& out, QByteArrayView bytes, QString* error) {
  while (!bytes.isEmpty()) {
    const qint64 n = out.write(bytes.data(), bytes.size());
    if (n <= 0) {
      if (error) *error = out.errorString();
      return false;
    }
    bytes = bytes.sliced(qsizetype(n));
  }
  return true;
}

// Writes a log whole, after what it held when append is set: put in place only when complete.
QString writeLines(const QString& logFile, const QStringList& lines, bool append) {
  if (logFile.isEmpty() || lines.isEmpty()) return {};
  QString reason;
  QSaveFile f(logFile);
  [&] {
    QByteArray earlier;
    if (append && QFile::exists(logFile)) {
      QFile old(logFile);
      if (!old.open(QIODevice::ReadOnly)) {
        reason = old.errorString();
        return;
      }
      earlier = old.readAll();
    }
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
      reason = f.errorString();
      return;
    }
    if (writeAll(f, earlier, &reason) && writeLog(f, lines, &reason) && !f.commit()) reason = f.errorString();
  }();
  if (reason.isEmpty()) return {};
  f.cancelWriting();
  return QStringLiteral("The log %1 could not be written: %2").arg(QDir::toNativeSeparators(logFile), reason);
}

}  // namespace

std::optional<Format> formatFor(const QString& fileName) {
  const QString ending = fileName.right(3).toUpper();
  if (ending == QLatin1String("TXT")) return Format{u'\t', false};
  if (ending == QLatin1String("CSV")) return Format{u',', true};
  return std::nullopt;
}

QString encodingName(Encoding e) {
  switch (e) {
    case Encoding::Utf8:
      return QStringLiteral("UTF-8");
    case Encoding::Utf8Bom:
      return QStringLiteral("UTF-8 with byte order mark");
    case Encoding::Utf16Le:
      return QStringLiteral("UTF-16 (little-endian)");
    case Encoding::Utf16Be:
      return QStringLiteral("UTF-16 (big-endian)");
    case Encoding::Latin1:
      return QStringLiteral("Latin-1 (Windows), since the file is not UTF-8");
    case Encoding::Utf8Mixed:
      return QStringLiteral("UTF-8, with some bytes that are not UTF-8");
  }
  return {};
}

void appendLog(const QString& logFile, const QStringList& lines) {
  if (const QString failure = writeLines(logFile, lines, true); !failure.isEmpty())
    throw DbError(DbError::IoErr, 0, failure);
}

bool writeLog(QIODevice& out, const QStringList& lines, QString* error) {
  return writeAll(out, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8(), error);
}

Result load(const QString& fileName, const Options& options, const RowSink& sink) {
  Result r;
  QStringList log;
  log << QStringLiteral("Zelmora import log, %1").arg(QDateTime::currentDateTime().toString(Qt::ISODate));
  log << QStringLiteral("File: %1").arg(QFileInfo(fileName).absoluteFilePath());
  log << QStringLiteral("Format: %1").arg(formatText(options.format));
  auto finish = [&](const QString& error) {
    r.ok = error.isEmpty();
    r.error = error;
    if (r.ok)
      log << QStringLiteral("Read %1 lines as %2 rows of up to %3 items.")
                 .arg(number(r.lines), number(r.rows), number(r.columns))
          << QStringLiteral("The file was loaded.");
    else
      log << QStringLiteral("The file was not loaded: %1").arg(error);
    r.logError = writeLines(options.logFile, log, false);
    return r;
  };

  QFile in(fileName);
  if (!in.open(QIODevice::ReadOnly))
    return finish(QStringLiteral("The file cannot be opened (%1).").arg(in.errorString()));
  const qint64 size = in.size();
  const char16_t delimiter = options.format.delimiter.unicode();
  Parser parser(options.format, sink);
  try {
    // The file is mapped rather than read, so that only the loaded rows take memory.
    QByteArray copy;
    const uchar* bytes = size > 0 ? in.map(0, size) : nullptr;
    if (size > 0 && !bytes) {
      copy = in.readAll();
      bytes = reinterpret_cast<const uchar*>(copy.constData());
    }
    const qsizetype n = size > 0 ? qsizetype(size) : 0;
    qsizetype start = 0;
    Scan scan;
    if (n >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
      r.encoding = bytes[0] == 0xFF ? Encoding::Utf16Le : Encoding::Utf16Be;
      start = 2;
      scan = scanUtf16(bytes + 2, n - 2, r.encoding == Encoding::Utf16Be, delimiter);
    } else {
      const bool bom = n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
      start = bom ? 3 : 0;
      scan = scanBytes(bytes + start, n - start, delimiter);
      // A file whose bytes above 0x7F are mostly no UTF-8 was written in Latin-1 (a pair such as
      // "Â©" may form a sequence by chance); one that is mostly UTF-8 is UTF-8 whose other bytes
      // are damage, never a reason to read the whole file another way.
      r.encoding = scan.invalid == 0 ? (bom ? Encoding::Utf8Bom : Encoding::Utf8)
                   : !bom && scan.multibyte * kLatin1Share < scan.invalid ? Encoding::Latin1
                                                                          : Encoding::Utf8Mixed;
    }
    log << QStringLiteral("Encoding: %1").arg(encodingName(r.encoding));
    if (scan.zeroLine)
      return finish(QStringLiteral("Line %1 holds a zero character: this is not a text file.")
                        .arg(number(scan.zeroLine)));
    const qint64 limit = options.memoryLimit >= 0 ? options.memoryLimit : freeMemory();
    const qint64 need = scan.chars * 2 + (scan.delimiters + scan.breaks + 1) * options.bytesPerItem;
    if (limit >= 0 && need > limit)
      return finish(QStringLiteral("The file needs about %1 MB of memory to load, more than the %2 MB free.")
                        .arg(number(need >> 20), number(limit >> 20)));

    // The byte order mark was skipped above: one more at the start is text, not a second mark.
    QStringDecoder decoder(r.encoding == Encoding::Utf16Le   ? QStringConverter::Utf16LE
                           : r.encoding == Encoding::Utf16Be ? QStringConverter::Utf16BE
                                                             : QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom);
    QString chunk;
    for (qsizetype at = start; at < n; at += kChunk) {
      const qsizetype len = std::min(kChunk, n - at);
      const QByteArrayView piece(bytes + at, len);
      if (r.encoding == Encoding::Latin1) {
        chunk = QString::fromLatin1(piece);
        for (QChar& c : chunk)
          if (c.unicode() >= 0x80 && c.unicode() <= 0x9F) c = QChar(kWindows1252[c.unicode() - 0x80]);
      } else {
        chunk = decoder.decode(piece);
      }
      parser.feed(chunk);
      if (options.progress) options.progress(double(at + len) / double(n));
    }
    if (r.encoding == Encoding::Utf8Mixed) {
      // A character cut short at the very end waits in the decoder: one more byte lets it out.
      // (The decoder may take the blank into the replacement character.)
      chunk = decoder.decode(QByteArrayView(" "));
      if (chunk.endsWith(u' ')) chunk.chop(1);
      parser.feed(chunk);
    }
    chunk.clear();
    if (!parser.finish())
      return finish(QStringLiteral("Line %1: a quoted item is not closed before the end of the file.")
                        .arg(number(parser.quoteLine())));
  } catch (const std::bad_alloc&) {
    return finish(QStringLiteral("There is not enough memory to load the file (at line %1).")
                      .arg(number(parser.line())));
  }
  r.lines = parser.lines();
  r.rows = parser.rows();
  r.columns = parser.columns();
  r.lastDataRow = parser.lastDataRow();
  r.firstItems = parser.firstItems();
  r.ragged = std::move(parser.ragged());
  r.undecodableLines = parser.undecodableLines();
  log << parser.notes();
  if (parser.dataRows() == 0) return finish(QStringLiteral("The file holds no data."));
  return finish(QString());
}

// ---- Table --------------------------------------------------------------------------------------

QString Table::text(int row, int col) const {
  if (row < 1 || row > rowCount() || col < 1) return {};
  const size_t first = firsts_[size_t(row - 1)];
  const size_t next = size_t(row) < firsts_.size() ? firsts_[size_t(row)] : ends_.size();
  const size_t item = first + size_t(col - 1);
  if (item >= next) return {};
  const qsizetype from = item == 0 ? 0 : ends_[item - 1];
  return QString::fromRawData(chars_.constData() + from, ends_[item] - from);
}

void Table::append(int line, const Items& items) {
  firsts_.push_back(ends_.size());
  lines_.push_back(line);
  for (QStringView item : items) {
    chars_.append(item);
    ends_.push_back(chars_.size());
  }
  columns_ = std::max(columns_, int(items.size()));
}

Result loadTable(const QString& fileName, Options options, Table& table) {
  table = Table();
  options.bytesPerItem = sizeof(qsizetype);
  return load(fileName, options, [&](int, int line, const Items& items) { table.append(line, items); });
}

}  // namespace DelimitedText
