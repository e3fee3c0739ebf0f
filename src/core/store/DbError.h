#pragma once

#include <QString>
#include <stdexcept>

// How the core fails: it throws DbError. Callers tell failures apart by code(), never
// by the text; description() is the text shown to the user as it stands, and number() the number
// the error reports show (the engine's, or 0 for a failure of the program's own: a file, a map).
// What a caller expects and reports as an ordinary end of the work (a backup that found the
// database busy, the rows an import refused) is returned as a value, not thrown. The windows run
// every command through one guard (gui/controls/Guarded.h) that shows a failure nothing else
// handled; the command line turns it into its exit code.
class DbError : public std::runtime_error {
 public:
  enum Code {
    // The engine's primary codes that work outside the store tells apart (another engine maps its
    // own to these).
    Error = 1,
    Busy = 5,
    Locked = 6,
    IoErr = 10,  // a file that cannot be written
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,  // a file that is missing or cannot be read
    Misuse = 21,
    NotADatabase = 26,
    // The program's own.
    WrongPassword = 0x100,  // a keyed file opened without its password, or a wrong old password
    Conflict = 0x101,       // a row changed or removed by another clerk since it was read
    NoRight = 0x102,        // the server's role may not do what was asked
  };

  // The code is the engine's primary code within the number.
  DbError(int number, const QString& description) : DbError(Code(number & 0xff), number, description) {}
  DbError(Code code, int number, const QString& description)
      : std::runtime_error(description.toStdString()),
        code_(code),
        number_(number),
        description_(description) {}
  int number() const { return number_; }
  int code() const { return code_; }
  const QString& description() const { return description_; }

 private:
  Code code_;
  int number_;
  QString description_;
};

// A save refused because another clerk changed (or removed) the row since this one was read. The
// set that refused it holds the row as it is stored now.
class RowConflict : public DbError {
 public:
  explicit RowConflict(bool removed)
      : DbError(Conflict, 0,
                removed
                    ? QStringLiteral("Another clerk removed this entry since it was shown: it was not saved.")
                    : QStringLiteral("Another clerk changed this entry since it was shown: it was not saved. "
                                     "Open it again to see the changes, then make yours.")),
        removed_(removed) {}
  bool removed() const { return removed_; }

 private:
  bool removed_;
};
