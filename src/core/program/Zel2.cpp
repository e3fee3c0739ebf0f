#include "core/program/Zel2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>
#include <cstdio>

#include "core/store/DbError.h"
#include "core/store/Dialect.h"

namespace ZEL2 {

QString SqlQuote(const QString& text) { return Dialect::sqlQuote(text); }

QString versionText() {
  return QStringLiteral("%1.%2.%3").arg(ZEL_VERSION_MAJOR).arg(ZEL_VERSION_MINOR).arg(ZEL_VERSION_PATCH);
}

QString userSettingsFile() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zel"), QStringLiteral("zel"))
      .fileName();
}

namespace {

// Writes bytes whole into a new file; false when the file could not take them all.
bool writeWhole(QTemporaryFile& f, const QByteArray& bytes) {
  if (!f.open()) return false;
  for (qsizetype done = 0; done < bytes.size();) {
    const qint64 n = f.write(bytes.constData() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += qsizetype(n);
  }
  const bool ok = f.flush();
  f.close();
  return ok;
}

}  // namespace

void writeSettings(const QString& file, const QString& group,
                   const QList<std::pair<QString, QString>>& values) {
  const auto failure = [&] {
    return DbError(
        DbError::IoErr, 0,
        QStringLiteral("The settings could not be written to %1.").arg(QDir::toNativeSeparators(file)));
  };
  QDir().mkpath(QFileInfo(file).absolutePath());
  QByteArray earlier;
  if (QFileInfo::exists(file)) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) throw failure();
    earlier = f.readAll();
  }
  // The copy lies beside the file, so that putting it in place is a rename.
  QTemporaryFile side(file + QStringLiteral(".XXXXXX"));
  if (!writeWhole(side, earlier)) throw failure();
  QMap<QString, QVariant> meant;
  {
    QSettings s(side.fileName(), QSettings::IniFormat);
    s.beginGroup(group);
    for (const auto& [key, value] : values) s.setValue(key, value);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError) throw failure();
    for (const QString& key : s.allKeys()) meant.insert(key, s.value(key));
  }
  // Read back under a name QSettings has not seen, so that what it reads is what is on the disk. Its
  // files end with a line end: one cut just before it holds every value but is still cut.
  QFile written(side.fileName());
  QTemporaryFile check;
  if (!written.open(QIODevice::ReadOnly)) throw failure();
  const QByteArray bytes = written.readAll();
  if (!bytes.endsWith('\n') || !writeWhole(check, bytes)) throw failure();
  {
    QSettings back(check.fileName(), QSettings::IniFormat);
    QMap<QString, QVariant> read;
    for (const QString& key : back.allKeys()) read.insert(key, back.value(key));
    if (back.status() != QSettings::NoError || read != meant) throw failure();
  }
  if (std::rename(QFile::encodeName(side.fileName()).constData(), QFile::encodeName(file).constData()) != 0)
    throw failure();
}

}  // namespace ZEL2
