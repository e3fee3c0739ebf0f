#pragma once

#include <QString>
#include <stdexcept>

// A failure of the database engine: its number and description, as the error reports show them.
class DbError : public std::runtime_error {
 public:
  DbError(int number, const QString& description)
      : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
  int number() const { return number_; }
  const QString& description() const { return description_; }

 private:
  int number_;
  QString description_;
};
