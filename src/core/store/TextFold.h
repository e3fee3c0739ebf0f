#pragma once

#include <QString>
#include <QStringView>
#include <cstddef>

struct sqlite3;

// The one rule by which names and places compare without regard to case: every letter is folded
// (Unicode simple case folding), not only A to Z. The database's NOCASE collation and LIKE, and the
// map's place keys, all use it, so "É,1,1" and "é,1,1" are one place everywhere.
namespace TextFold {

char32_t fold(char32_t c);
bool equal(QStringView a, QStringView b);
size_t hash(QStringView s, size_t seed = 0);

// Gives a connection the folding NOCASE collation and like(), and two orders for sorting: PLACES
// for places (numbers by value, "A,2" before "A,10") and NAMES (the user's language's order). Run on every
// connection to the program's files before its first statement: an index ordered by one rule and searched by
// another would miss rows.
void install(sqlite3* db);

}  // namespace TextFold
