#include "core/backup/AutoBackup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <memory>

#include "core/program/Zel2.h"

namespace {

const char* const kStamp = "yyyy-MM-dd HH:mm:ss";

QString group(const QString& dataPath) { return QStringLiteral("backup/") + AutoBackup::identity(dataPath); }

QString settingsPath(const QString& file) { return file.isEmpty() ? ZEL2::userSettingsFile() : file; }

QRegularExpression automaticPattern(const QString& dataPath) {
  return QRegularExpression(
      QStringLiteral("^zelauto([0-9]{14})-%1\\.zip$").arg(AutoBackup::identity(dataPath)));
}

}  // namespace

namespace AutoBackup {

QString identity(const QString& dataPath) {
  QString path = QFileInfo(dataPath).canonicalFilePath();
  if (path.isEmpty()) path = QDir::cleanPath(QFileInfo(dataPath).absoluteFilePath());
  return QString::fromLatin1(
      QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
}

Settings load(const QString& dataPath, const QString& settingsFile) {
  QSettings s(settingsPath(settingsFile), QSettings::IniFormat);
  Settings out;
  // Earlier versions kept one set for every data folder: a folder's own values win.
  const QString own = group(dataPath);
  const auto value = [&](const char* key) {
    const QString k = QLatin1String(key);
    return s.contains(own + u'/' + k) ? s.value(own + u'/' + k).toString()
                                      : s.value(QStringLiteral("backup/") + k).toString();
  };
  out.enabled = value("auto") == QLatin1String("1");
  bool ok = false;
  const int keep = value("keep").toInt(&ok);
  if (ok) out.keep = qBound(1, keep, kMaxKeep);
  out.folder = value("folder");
  out.last = QDateTime::fromString(s.value(own + QStringLiteral("/last")).toString(), QLatin1String(kStamp));
  return out;
}

void save(const Settings& settings, const QString& dataPath, const QString& settingsFile) {
  ZEL2::writeSettings(
      settingsPath(settingsFile), group(dataPath),
      {{QStringLiteral("data"), dataPath},
       {QStringLiteral("auto"), settings.enabled ? QStringLiteral("1") : QStringLiteral("0")},
       {QStringLiteral("keep"), QString::number(qBound(1, settings.keep, kMaxKeep))},
       {QStringLiteral("folder"), settings.folder},
       {QStringLiteral("last"),
        settings.last.isValid() ? settings.last.toString(QLatin1String(kStamp)) : QString()}});
}

QString defaultFolder(const QString& dataPath) { return dataPath + QStringLiteral("backups"); }

QString folder(const Settings& settings, const QString& dataPath) {
  return settings.folder.isEmpty() ? defaultFolder(dataPath) : settings.folder;
}

QString archiveName(const QString& folder, const QString& dataPath, const QDateTime& when) {
  return QDir(folder).filePath(QStringLiteral("zelauto") + when.toString(QStringLiteral("yyyyMMddHHmmss")) +
                               u'-' + identity(dataPath) + QStringLiteral(".zip"));
}

bool isAutomaticArchive(const QString& fileName, const QString& dataPath) {
  return automaticPattern(dataPath).match(fileName).hasMatch();
}

DataBackup::Rotation rotate(const QString& folder, const QString& dataPath, int keep,
                            const QString& justWritten, const QDateTime& now) {
  return DataBackup::rotate(folder, automaticPattern(dataPath), keep, justWritten, now);
}

DataBackup::Result run(const QString& dataPath, const QString& folder, int keep, const QDateTime& when,
                       const ZipArchive::Progress& progress) {
  const QFileInfo target(folder);
  if (!target.exists() && target.absoluteDir().exists()) QDir().mkdir(folder);
  DataBackup::Result r = DataBackup::backup(dataPath, archiveName(folder, dataPath, when), progress);
  // Older backups go only once a newer one is known to be good.
  if (!r.ok()) return r;
  const DataBackup::Rotation rotation =
      rotate(folder, dataPath, keep, QFileInfo(r.archive).fileName(), QDateTime::currentDateTime());
  for (const QString& name : rotation.future)
    r.warnings << QStringLiteral(
                      "The archive %1 is dated in the future; it is not trusted and was left alone.")
                      .arg(QDir(folder).filePath(name));
  return r;
}

}  // namespace AutoBackup
