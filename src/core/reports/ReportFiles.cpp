#include "core/reports/ReportFiles.h"

#include <QBuffer>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>

#include "core/program/CsvCell.h"
#include "core/store/DbError.h"

namespace Report {

namespace {

std::vector<size_t> shownColumns(const Table& t) {
  std::vector<size_t> cols;
  for (size_t c = 0; c < t.columns.size(); ++c)
    if (t.columns[c].width != 0.0) cols.push_back(c);
  return cols;
}

// Every row the grid shows, the header row first; a missing cell is an empty one.
void forEachRow(const Table& t, const std::function<void(const Row&)>& fn) {
  Row header;
  for (const Column& c : t.columns) header.push_back({c.header, c.headerAlign});
  fn(header);
  for (const Row& r : t.rows) fn(r);
  const Row empty;
  for (int r = t.count() + 1; r < t.countRow(); ++r) fn(empty);
  fn(t.countLine);
}

const Cell& cellAt(const Row& r, size_t c) {
  static const Cell empty;
  return c < r.size() ? r[c] : empty;
}

void appendField(QByteArray& out, const QString& cell) {
  // A text a spreadsheet would run as a formula gets an apostrophe before it; numbers stay.
  const QString text = CsvCell::guard(cell);
  const bool quote =
      text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
  if (!quote) {
    out += text.toUtf8();
    return;
  }
  QString doubled = text;
  doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  out += '"' + doubled.toUtf8() + '"';
}

}  // namespace

namespace {

// Bytes gathered in a buffer of this size are written out; a report of a million rows then never
// stands in memory a second time.
constexpr qsizetype kChunk = 256 * 1024;

// Writes what a row writer appends, a chunk at a time; false once a write fails.
class Chunks {
 public:
  explicit Chunks(QIODevice& out) : out_(out) { buffer_.reserve(kChunk + 4096); }
  QByteArray& buffer() { return buffer_; }
  bool rowDone() { return buffer_.size() < kChunk || flush(); }
  bool flush() {
    const bool ok = ok_ && (buffer_.isEmpty() || out_.write(buffer_) == buffer_.size());
    buffer_.clear();
    ok_ = ok;
    return ok;
  }

 private:
  QIODevice& out_;
  QByteArray buffer_;
  bool ok_ = true;
};

}  // namespace

bool writeCsv(QIODevice& out, const Table& table) {
  const std::vector<size_t> cols = shownColumns(table);
  Chunks chunks(out);
  bool ok = true;
  forEachRow(table, [&](const Row& row) {
    if (!ok) return;
    QByteArray& b = chunks.buffer();
    for (size_t i = 0; i < cols.size(); ++i) {
      if (i) b += ',';
      appendField(b, cellAt(row, cols[i]).text);
    }
    b += "\r\n";
    ok = chunks.rowDone();
  });
  return ok && chunks.flush();
}

QByteArray toCsv(const Table& table) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  writeCsv(buffer, table);
  return buffer.data();
}

bool writeText(QIODevice& out, const Table& table) {
  const std::vector<size_t> cols = shownColumns(table);
  std::vector<qsizetype> width(cols.size(), 0);
  forEachRow(table, [&](const Row& row) {
    for (size_t i = 0; i < cols.size(); ++i)
      for (const QString& line : cellAt(row, cols[i]).text.split(u'\n'))
        width[i] = std::max(width[i], line.size());
  });
  Chunks chunks(out);
  chunks.buffer() += (table.title + QStringLiteral("\n\n")).toUtf8();
  bool first = true, ok = true;
  forEachRow(table, [&](const Row& row) {
    if (!ok) return;
    QByteArray& b = chunks.buffer();
    std::vector<QStringList> lines(cols.size());
    qsizetype height = 1;
    for (size_t i = 0; i < cols.size(); ++i) {
      lines[i] = cellAt(row, cols[i]).text.split(u'\n');
      height = std::max(height, lines[i].size());
    }
    for (qsizetype l = 0; l < height; ++l) {
      QString line;
      for (size_t i = 0; i < cols.size(); ++i) {
        const QString text = l < lines[i].size() ? lines[i][l] : QString();
        const qsizetype pad = width[i] - text.size();
        if (i) line += QStringLiteral("  ");
        switch (cellAt(row, cols[i]).align) {
          case Align::Right:
            line += QString(pad, u' ') + text;
            break;
          case Align::Centre:
            line += QString(pad / 2, u' ') + text + QString(pad - pad / 2, u' ');
            break;
          case Align::Left:
            line += text + QString(pad, u' ');
            break;
        }
      }
      while (line.endsWith(u' ')) line.chop(1);
      b += line.toUtf8();
      b += '\n';
    }
    if (first) {  // a rule under the column headers
      QStringList rule;
      for (qsizetype w : width) rule << QString(w, u'-');
      b += rule.join(QStringLiteral("  ")).toUtf8();
      b += '\n';
      first = false;
    }
    ok = chunks.rowDone();
  });
  return ok && chunks.flush();
}

QString toText(const Table& table) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  writeText(buffer, table);
  return QString::fromUtf8(buffer.data());
}

void saveFile(const QString& path, const std::function<bool(QIODevice&)>& write) {
  QSaveFile file(path);
  QString reason;
  if (!file.open(QIODevice::WriteOnly)) {
    reason = file.errorString();
  } else if (!write(file)) {
    reason =
        file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("it could not be written");
    file.cancelWriting();
  } else if (!file.commit()) {
    reason = file.errorString();
  }
  if (!reason.isEmpty())
    throw DbError(DbError::IoErr, 0,
                  QStringLiteral("The report could not be saved to %1: %2").arg(path, reason));
}

void saveCsv(const QString& path, const Table& table) {
  saveFile(path, [&table](QIODevice& d) { return writeCsv(d, table); });
}

}  // namespace Report
