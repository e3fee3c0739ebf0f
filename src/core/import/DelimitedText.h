#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;

// Tab- and comma-delimited text files as spreadsheets save them, read into rows of items.
// The file is read as one stream by a small state machine, so that a quoted item keeps its
// delimiters, doubled quotes and line breaks. Lines may end in CR LF, LF or CR.
namespace DelimitedText {

struct Format {
  QChar delimiter = u',';  // a null QChar: every line is one item
  bool quoted = true;      // items may stand in double quotes, a doubled quote inside standing for one
  friend bool operator==(const Format&, const Format&) = default;
};

// The format a file name asks for by its last three letters, in any case: "TXT" tab-delimited
// with quotes as ordinary characters, "CSV" comma-delimited with the usual quoting. Nothing for
// any other name.
std::optional<Format> formatFor(const QString& fileName);

// Utf8Mixed: UTF-8 with a few bytes that are not; those bytes read as U+FFFD, the replacement
// character, and the rest keeps its UTF-8 text.
enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Latin1, Utf8Mixed };
QString encodingName(Encoding e);
// What stands in a text for bytes that were not UTF-8.
inline constexpr char16_t kUndecodable = 0xFFFD;

// The items of one row. They point into the loader's buffer: valid during the call only.
using Items = std::vector<QStringView>;
// Receives each row: its number (from 1), the file line it starts on (from 1) and its items.
using RowSink = std::function<void(int row, int line, const Items& items)>;

struct Options {
  Format format;
  QString logFile;  // the log the load writes (replacing an older one); empty: no log
  // Bytes the loaded rows may take; -1: the memory the system has free when the load starts.
  qint64 memoryLimit = -1;
  // What the receiver keeps per item beside its characters, for the memory estimate.
  qint64 bytesPerItem = 64;
  std::function<void(double fraction)> progress;  // now and then while the file is read
};

struct Result {
  bool ok = false;
  QString error;  // why the load failed, as the log says it
  Encoding encoding = Encoding::Utf8;
  int lines = 0;        // lines of the file
  int rows = 0;         // rows given to the sink
  int columns = 0;      // the most items of a row
  int lastDataRow = 0;  // the last row holding data: empty lines after it are no rows
  // Rows holding data whose number of items differs from the first such row's.
  int firstItems = 0;
  std::vector<std::pair<int, int>> ragged;  // row and its number of items
  int undecodableLines = 0;                 // lines holding bytes that are not UTF-8
  QString logError;                         // why the log could not be written; empty when it was
};

// Reads the whole file, row by row, into sink. Refuses (ok false, nothing given to the sink) a file
// that cannot be opened, holds zero bytes (not a text file) or would need more memory than allowed;
// fails after an unclosed quote at the end. Encodings: UTF-8 with or without a byte order mark,
// UTF-16 with one; a file with no UTF-8 sequence at all and bytes above 0x7F is Latin-1 (with the
// Windows characters at 0x80 to 0x9F); a UTF-8 file with a few other bytes stays UTF-8, those bytes
// becoming kUndecodable, so that valid text is never read as another encoding.
// A sink that throws std::bad_alloc fails the load with a message rather than ending the program.
Result load(const QString& fileName, const Options& options, const RowSink& sink);

// Adds lines to a log that a load wrote. A log is replaced whole, so that a failure leaves it as it
// was; a failure throws DbError (IoErr) saying why ("The log ... could not be written: <reason>").
void appendLog(const QString& logFile, const QStringList& lines);
// Writes log lines onto any device (the log's bytes; tests give failing devices). False with the
// device's own reason in error.
bool writeLog(QIODevice& out, const QStringList& lines, QString* error = nullptr);

// A whole file held in memory, for callers without a grid (the command line, tests).
class Table {
 public:
  int rowCount() const { return int(lines_.size()); }
  int columnCount() const { return columns_; }
  // Row and column from 1; empty outside the table. The text shares the table's characters, so
  // that reading a large table copies nothing: it is valid while the table lives unchanged.
  QString text(int row, int col) const;
  int line(int row) const { return row >= 1 && row <= rowCount() ? lines_[size_t(row - 1)] : 0; }
  void append(int line, const Items& items);

 private:
  QString chars_;
  std::vector<qsizetype> ends_;    // end of each item in chars_
  std::vector<qsizetype> firsts_;  // index into ends_ of each row's first item
  std::vector<int> lines_;
  int columns_ = 0;
};

Result loadTable(const QString& fileName, Options options, Table& table);

}  // namespace DelimitedText
