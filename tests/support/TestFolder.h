#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh temporary data folder for one test. With a database it holds a new keyed zel.mdb made
// by the program's own schema code, opened as ZEL1.cnData with DataPath pointing at the folder.
class TestFolder {
 public:
  explicit TestFolder(bool withDatabase = true);
  ~TestFolder();

  QString path() const;                     // ends with '/'
  QString file(const QString& name) const;  // full name of a file in the folder
  void copyIn(const QString& source, const QString& name = QString()) const;

 private:
  QTemporaryDir dir_;
};

// Fixture base: ZEL1 is reset before and after each test, with a fresh data folder and database.
class DataTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<TestFolder> folder;
};

// Runs one SQL statement on ZEL1.cnData (for preparing test rows).
void exec(const QString& sql);
// First column of the first row of a query on ZEL1.cnData, as text ("" for Null or no rows).
QString scalar(const QString& sql);
