#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/program/Zel1.h"
#include "core/store/Schema.h"

TestFolder::TestFolder(bool withDatabase) {
  ZEL1.reset();
  ZEL1.DataPath = path();
  ZEL1.DateDisplayFormat = QStringLiteral("mm-dd-yyyy");
  ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
  if (withDatabase) {
    ZEL1.cnData.create(file(QStringLiteral("zel.mdb")), QString::fromLatin1(kDatabasePassword));
    Schema::create(ZEL1.cnData);
  }
}

TestFolder::~TestFolder() { ZEL1.reset(); }

QString TestFolder::path() const { return QDir(dir_.path()).absolutePath() + QLatin1Char('/'); }

QString TestFolder::file(const QString& name) const { return path() + name; }

void TestFolder::copyIn(const QString& source, const QString& name) const {
  const QString target = file(name.isEmpty() ? QFileInfo(source).fileName() : name);
  QFile::remove(target);
  if (!QFile::copy(source, target)) ADD_FAILURE() << "cannot copy " << source.toStdString();
  QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

void DataTest::SetUp() { folder = std::make_unique<TestFolder>(); }
void DataTest::TearDown() { folder.reset(); }

void exec(const QString& sql) { ZEL1.cnData.execute(sql); }

QString scalar(const QString& sql) {
  RecordSet rs(&ZEL1.cnData);
  rs.open(sql);
  if (rs.eof()) return QString();
  return rs.field(0).toString();
}
