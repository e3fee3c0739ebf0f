#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "core/store/Connection.h"
#include "core/store/Engine.h"
#include "core/store/KeyPages.h"
#include "core/store/Value.h"

// A set of rows read through the connection by SQL text.
//  - ForwardOnly streams rows from the engine: move next only, read-only.
//  - Static holds a snapshot of the rows in their order and can step both ways, change the current
//    row and add rows (which appear at the end of the set). A "select * from <table> ..." keeps only
//    the keys and reads each row when it becomes current; rows deleted meanwhile are skipped over.
//    With an "order by" the keys are read in pages as the moves reach them, from the start forward
//    and from the end backward (see KeyPages in RecordSet.cpp for which rows a pass shows).
class RecordSet {
 public:
  enum class Cursor { ForwardOnly, Static, Default = ForwardOnly };

  explicit RecordSet(Connection* cn = nullptr) : cn_(cn) {}
  ~RecordSet();
  RecordSet(const RecordSet&) = delete;
  RecordSet& operator=(const RecordSet&) = delete;

  void setConnection(Connection* cn) { cn_ = cn; }
  void open(const QString& sql, Cursor cursor = Cursor::ForwardOnly);
  void close();
  bool isOpen() const { return open_; }

  bool eof() const;
  bool bof() const;
  bool isEmpty() const;
  void moveFirst();
  void moveLast();
  void moveNext();
  void movePrevious();
  // Static sets only; -1 for forward-only. Reads every key of a paged set: ask only when needed.
  int recordCount() const;

  // Field of the current row by case-insensitive column name. An unknown name throws DbError, and
  // so does a money column whose stored value is not an amount (see Schema.h).
  Value field(const QString& name) const;
  bool hasField(const QString& name) const;
  QStringList fieldNames() const { return names_; }
  int fieldCount() const { return int(names_.size()); }
  Value field(int index) const;

  // Editing (static sets on one table): assign fields, then update() writes the row.
  // Text given to a money, date or number column is converted the way the engine converts it
  // (dates in ISO or in the connection's display order); text that does not convert leaves the
  // field as it was, so a field keeps its default.
  void addNew();
  void assign(const QString& name, const Value& v);
  void update();
  void cancelUpdate();
  bool editing() const { return editMode_ != EditMode::None; }
  // On a server, the version of the current row as it was read (keyed sets: "select * from <table>
  // ..."); a server raises it with every change of the row. Nothing on the file, whose folder lock
  // lets one program write.
  std::optional<qint64> version() const;
  // The next update() of the current row saves only over this version of it (what a window showed,
  // read earlier than the set's row): changed or removed since, it throws RowConflict, and the set's
  // current row is then the row as stored now. Without it an update saves over the version read.
  void expectVersion(qint64 v) { expected_ = v; }
  // Deletes the current row of a keyed set ("select * from <table> where ..."). On a server only the
  // version expected (expectVersion) or else read: changed since, it throws RowConflict and the
  // current row is then the row as stored now; gone already, RowConflict too (removed()).
  void deleteCurrent();
  // The key of the row the last update() wrote: for an added row, the number the engine gave it.
  qint64 savedKey() const { return savedKey_; }

 private:
  enum class EditMode { None, Edit, Add };
  enum class ColKind { Other, Money, Date, Number };

  int indexOf(const QString& name) const;
  Value rawField(int index) const;
  void loadCurrent() const;
  void readRow(const EngineStatement& st, std::vector<Value>& row) const;
  void setColumns(const EngineStatement& st);
  Value decode(const EngineStatement& st, int i) const;
  Value decodeAs(const EngineStatement& st, int i, ColKind kind) const;
  void bindValue(EngineStatement& st, int pos, const Value& v, int col) const;
  std::unique_ptr<EngineStatement> prepare(const QString& sql) const;
  std::optional<Value> convertText(const QString& text, ColKind kind) const;
  void skipMissingForward();
  void skipMissingBackward();
  bool atRow() const;
  void requireOpen() const;

  Connection* cn_ = nullptr;
  Connection* registered_ = nullptr;  // the connection that lists this set as open
  bool open_ = false;
  Cursor cursor_ = Cursor::ForwardOnly;
  QStringList names_;
  QHash<QString, int> index_;
  std::vector<ColKind> kinds_;

  // Forward-only state.
  std::unique_ptr<EngineStatement> stmt_;
  bool fwdEof_ = true;

  // Static state: either full rows or keys of one table.
  QString table_;
  QString keyColumn_;
  int keyIndex_ = -1;
  bool keyed_ = false;
  std::vector<std::vector<Value>> rows_;  // full snapshot (not keyed)
  int pos_ = -1;                          // rows: -1 = BOF, size = EOF
  std::unique_ptr<KeyPages> pages_;       // keyed: the keys, read as the moves need them
  mutable std::vector<Value> current_;    // keyed: the current row
  mutable qint64 currentKey_ = 0;
  mutable bool currentRead_ = false;
  mutable bool currentMissing_ = false;
  bool versioned_ = false;              // the fetch reads each row's version after its columns
  mutable qint64 currentVersion_ = -1;  // keyed: the current row's version
  std::optional<qint64> expected_;
  qint64 savedKey_ = 0;
  std::unique_ptr<EngineStatement> fetch_;

  EditMode editMode_ = EditMode::None;
  std::vector<Value> pending_;
  std::vector<bool> touched_;
};
