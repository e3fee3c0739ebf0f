#include "core/store/TextFold.h"

#include <QChar>
#include <QCollator>
#include <QLocale>
#include <vector>

#include "core/store/sqlite.h"

namespace TextFold {

namespace {

// A byte that starts no valid UTF-8 sequence stands for itself above the Unicode range, so that
// every text still has one place in the order.
constexpr char32_t kBadByte = 0x110000;

char32_t decode(const unsigned char*& p, const unsigned char* end) {
  const unsigned c = *p++;
  if (c < 0x80) return c;
  int extra = 0;
  char32_t cp = 0;
  if (c >= 0xF8 || c < 0xC0) return kBadByte + c;
  if (c >= 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else if (c >= 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else {
    extra = 1;
    cp = c & 0x1F;
  }
  if (end - p < extra) return kBadByte + c;
  for (int i = 0; i < extra; ++i)
    if ((p[i] & 0xC0) != 0x80) return kBadByte + c;
  for (int i = 0; i < extra; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  p += extra;
  return cp;
}

inline char32_t foldAscii(unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

int collate(void*, int n1, const void* v1, int n2, const void* v2) {
  auto a = static_cast<const unsigned char*>(v1), b = static_cast<const unsigned char*>(v2);
  const unsigned char *ae = a + n1, *be = b + n2;
  while (a < ae && b < be) {
    char32_t ca, cb;
    if (*a < 0x80 && *b < 0x80) {
      ca = foldAscii(*a++);
      cb = foldAscii(*b++);
    } else {
      ca = fold(decode(a, ae));
      cb = fold(decode(b, be));
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return int(a < ae) - int(b < be);
}

void decodeAll(const unsigned char* p, int n, std::vector<char32_t>& out, bool folded) {
  out.clear();
  const unsigned char* end = p + n;
  while (p < end) {
    const char32_t c = decode(p, end);
    out.push_back(folded ? fold(c) : c);
  }
}

// SQL's LIKE over code points: "%" any run, "_" one character, esc makes the next one literal.
bool likeMatch(const std::vector<char32_t>& pat, const std::vector<char32_t>& str, char32_t esc,
               bool hasEsc) {
  size_t p = 0, s = 0;
  size_t starP = size_t(-1), starS = 0;
  while (s < str.size()) {
    if (p < pat.size()) {
      const char32_t pc = pat[p];
      if (hasEsc && pc == esc) {
        if (p + 1 < pat.size() && fold(pat[p + 1]) == str[s]) {
          p += 2;
          ++s;
          continue;
        }
      } else if (pc == U'%') {
        starP = ++p;
        starS = s;
        continue;
      } else if (pc == U'_' || fold(pc) == str[s]) {
        ++p;
        ++s;
        continue;
      }
    }
    if (starP == size_t(-1)) return false;
    p = starP;
    s = ++starS;
  }
  while (p < pat.size() && pat[p] == U'%' && !(hasEsc && esc == U'%')) ++p;
  return p == pat.size();
}

void like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // NULL result
  const auto* pat = sqlite3_value_text(argv[0]);
  const int patLen = sqlite3_value_bytes(argv[0]);
  const auto* str = sqlite3_value_text(argv[1]);
  const int strLen = sqlite3_value_bytes(argv[1]);
  if (patLen > sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
    sqlite3_result_error(ctx, "LIKE or GLOB pattern too complex", -1);
    return;
  }
  thread_local std::vector<char32_t> p, s, e;
  char32_t esc = 0;
  if (argc == 3) {
    decodeAll(sqlite3_value_text(argv[2]), sqlite3_value_bytes(argv[2]), e, false);
    if (e.size() != 1) {
      sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
      return;
    }
    esc = e[0];
  }
  decodeAll(pat, patLen, p, false);
  decodeAll(str, strLen, s, true);
  sqlite3_result_int(ctx, likeMatch(p, s, esc, argc == 3) ? 1 : 0);
}

// Code points of a UTF-16 text, surrogate pairs joined.
class CodePoints {
 public:
  explicit CodePoints(QStringView v) : p_(v.utf16()), end_(v.utf16() + v.size()) {}
  bool atEnd() const { return p_ == end_; }
  char32_t next() {
    const char16_t c = *p_++;
    if (QChar::isHighSurrogate(c) && p_ != end_ && QChar::isLowSurrogate(*p_))
      return QChar::surrogateToUcs4(c, *p_++);
    return c;
  }

 private:
  const char16_t* p_;
  const char16_t* end_;
};

}  // namespace

char32_t fold(char32_t c) {
  if (c < 0x80) return foldAscii(c);
  if (c >= kBadByte) return c;
  return QChar::toCaseFolded(c);
}

bool equal(QStringView a, QStringView b) {
  CodePoints ia(a), ib(b);
  for (;;) {
    const bool endA = ia.atEnd(), endB = ib.atEnd();
    if (endA || endB) return endA && endB;
    if (fold(ia.next()) != fold(ib.next())) return false;
  }
}

size_t hash(QStringView s, size_t seed) {
  size_t h = seed ^ 0x9E3779B9u;
  for (CodePoints it(s); !it.atEnd();) h = h * 31 + fold(it.next());
  return h;
}

namespace {

inline bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }

// Compares a and b, digit runs by their value and everything else as f gives it; 2 when the order
// cannot be told without the equal-looking texts' bytes.
template <typename Char, typename Fold>
int naturalOrder(const Char* a, size_t na, const Char* b, size_t nb, Fold f) {
  size_t i = 0, j = 0;
  while (i < na && j < nb) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      while (i < na && a[i] == '0') ++i;
      while (j < nb && b[j] == '0') ++j;
      size_t ei = i, ej = j;
      while (ei < na && isDigit(a[ei])) ++ei;
      while (ej < nb && isDigit(b[ej])) ++ej;
      if (ei - i != ej - j) return ei - i < ej - j ? -1 : 1;
      for (; i < ei; ++i, ++j)
        if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
      continue;
    }
    const auto ca = f(a[i]), cb = f(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < na || j < nb) return i < na ? 1 : -1;
  return 2;
}

// Places: runs of digits by their value (A,2 before A,10), everything else by folded letter.
int collateNatural(void*, int n1, const void* v1, int n2, const void* v2) {
  const auto* p1 = static_cast<const unsigned char*>(v1);
  const auto* p2 = static_cast<const unsigned char*>(v2);
  // Places are mostly plain ASCII, compared here as they stand, folded letter by letter: a sort
  // compares millions of times.
  bool ascii = true;
  for (int k = 0; k < n1 && ascii; ++k) ascii = p1[k] < 0x80;
  for (int k = 0; k < n2 && ascii; ++k) ascii = p2[k] < 0x80;
  int r = 2;
  if (ascii) {
    r = naturalOrder(p1, size_t(n1), p2, size_t(n2), [](unsigned char c) { return foldAscii(c); });
  } else {
    thread_local std::vector<char32_t> a, b;
    decodeAll(p1, n1, a, true);
    decodeAll(p2, n2, b, true);
    r = naturalOrder(a.data(), a.size(), b.data(), b.size(), [](char32_t c) { return c; });
  }
  return r != 2 ? r : collate(nullptr, n1, v1, n2, v2);  // "01" and "1": still one order
}

// Names: the user's language's order ("Négatif" between "Nay" and "Novak"), case aside.
// Whether the bytes are ASCII letters, digits and spaces only: most names.
bool lettersDigitsSpaces(const unsigned char* p, int n) {
  for (int i = 0; i < n; ++i) {
    const unsigned char c = p[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == ' ')) return false;
  }
  return true;
}

int collateNames(void*, int n1, const void* v1, int n2, const void* v2) {
  // The C locale orders by code point: without a language, the common order of the letters.
  static const QLocale language = [] {
    const QLocale system = QLocale::system();
    return system.language() == QLocale::C ? QLocale(QLocale::English) : system;
  }();
  static const QCollator collator = [] {
    QCollator c{language};
    c.setCaseSensitivity(Qt::CaseInsensitive);
    c.compare(u"a", u"b");  // sets itself up now, not in the first compare of two threads at once
    return c;
  }();
  // These languages order the plain letters, digits and spaces as ASCII does once case is folded
  // (space, digits, a to z); a sort of many names then need not ask the collator for each pair.
  static const bool plainAsAscii = [] {
    for (QLocale::Language l : {QLocale::English, QLocale::German, QLocale::French, QLocale::Italian,
                                QLocale::Spanish, QLocale::Portuguese, QLocale::Dutch})
      if (language.language() == l) return true;
    return false;
  }();
  const auto* p1 = static_cast<const unsigned char*>(v1);
  const auto* p2 = static_cast<const unsigned char*>(v2);
  if (plainAsAscii && lettersDigitsSpaces(p1, n1) && lettersDigitsSpaces(p2, n2))
    return collate(nullptr, n1, v1, n2, v2);
  const int r = collator.compare(QString::fromUtf8(static_cast<const char*>(v1), n1),
                                 QString::fromUtf8(static_cast<const char*>(v2), n2));
  return r != 0 ? r : collate(nullptr, n1, v1, n2, v2);
}

}  // namespace

void install(sqlite3* db) {
  // Replacing NOCASE keeps the schema's "collate nocase" columns, so the file stays readable by
  // any SQLite tool; the program's own connections order and match by every letter.
  sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, nullptr, collate);
  sqlite3_create_collation(db, "PLACES", SQLITE_UTF8, nullptr, collateNatural);
  sqlite3_create_collation(db, "NAMES", SQLITE_UTF8, nullptr, collateNames);
  for (int args : {2, 3})
    sqlite3_create_function(db, "like", args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, like, nullptr,
                            nullptr);
}

}  // namespace TextFold
