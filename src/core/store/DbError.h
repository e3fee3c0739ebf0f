#pragma once

#include <QString>
#include <stdexcept>

// A failure of the database engine: its number and description, as the error reports show them.
class DbError : public std::runtime_error {
 public:
  // The primary codes that work outside the store tells apart (another engine maps its own to these).
  enum Code { Error = 1, Busy = 5, Locked = 6, Corrupt = 11, Full = 13, Misuse = 21, NotADatabase = 26 };

  DbError(int number, const QString& description)
      : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
  int number() const { return number_; }
  int code() const { return number_ & 0xff; }
  const QString& description() const { return description_; }

 private:
  int number_;
  QString description_;
};
