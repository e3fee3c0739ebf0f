#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "core/store/Engine.h"

class Connection;

// The keys of a static record set over one table, in the set's order, with a position among them.
//
// A set whose order can be paged reads its keys as the moves reach them: pages from the start going
// forward and pages from the end going backward, each page found by a seek on the order's values
// (and the key) of the row where the last page ended, so that no page reads the rows before it.
// Rows the set adds itself come after all others. A pass over the set shows each row once:
//  - a row deleted meanwhile is skipped (by the record set, which finds it missing);
//  - a row whose order values changed stays where it was when its page was read, and is not shown
//    again where it now sorts;
//  - a row that another writer moves from the part not read yet into a part already read is not
//    shown in that pass (it is at its new place from the next First or Last on).
// An order that cannot be paged (no "order by", ordinal terms, "nulls first/last", a limit, a
// compound or grouped query) is read whole when the set opens, as one page.
class KeyPages {
 public:
  // The paged keys of "select * from <table><tail>" (tail: " where ... order by ...", in the file's
  // dialect: the engine's own translation comes after the pages' SQL is made), with the first page
  // read; null when the order cannot be paged. With firstRow (a select list) the set's first row is
  // read along with the first page, in the same wait for a server: see takeFirstRow().
  static std::unique_ptr<KeyPages> paged(Connection* cn, const QString& table, const QString& key,
                                         const QString& tail, const QString& firstRow = {});
  // Keys read whole, in order.
  static std::unique_ptr<KeyPages> whole(std::vector<qint64> keys);
  ~KeyPages() = default;
  KeyPages(const KeyPages&) = delete;
  KeyPages& operator=(const KeyPages&) = delete;

  bool isEmpty() const { return head_.empty() && tail_.empty() && added_.empty(); }
  bool atBof() const { return part_ == Part::Bof; }
  bool atEof() const { return part_ == Part::Eof; }
  qint64 key() const;  // at a row only

  void toBof() { part_ = Part::Bof; }
  void toEof() { part_ = Part::Eof; }
  void forward();        // to the next row, or EOF
  void backward();       // to the previous row, or BOF
  void add(qint64 key);  // a row added by the set: the last one, and current
  // Every key, read to the end if need be.
  int count();

  // The number of page reads so far (for tests of what a move reads).
  int pagesRead() const { return pagesRead_; }
  // The statement that read the first row's columns, at that row; null when the set is empty or the
  // row was not asked for. Read at nearly the same moment as the page: a change in between may
  // make it another row than the first key.
  std::unique_ptr<EngineStatement> takeFirstRow() { return std::move(firstRow_); }

 private:
  enum class Part { Bof, Head, Tail, Added, Eof };
  struct Term {
    QString expr;
    bool desc = false;
  };
  // An order value (or the key) of the row where a page ended, as the engine gave it.
  struct Bound {
    ColumnType type = ColumnType::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes;  // text or blob
  };
  KeyPages() = default;
  // Reads the next page at one end; a probe returns false where the query fails, else it throws.
  bool fetch(bool fromEnd, bool probe);
  void join();
  QString after(const std::vector<Bound>& bound, bool reverse, std::vector<const Bound*>& params) const;

  Connection* cn_ = nullptr;
  QString table_, key_, where_;
  std::vector<Term> terms_;
  std::vector<qint64> head_;                  // from the start, in order
  std::vector<qint64> tail_;                  // from the end, last first
  std::vector<qint64> added_;                 // added by the set, in order
  QSet<qint64> seen_;                         // every key above, so that no row shows twice
  bool joined_ = true;                        // the head holds every key of the query
  std::vector<Bound> headBound_, tailBound_;  // order values and key where each end stopped
  int headPage_ = 256, tailPage_ = 256;
  int pagesRead_ = 0;
  QString firstColumns_;  // asked for along with the next page from the start
  std::unique_ptr<EngineStatement> firstRow_;
  Part part_ = Part::Bof;
  qsizetype index_ = 0;
};
