#include "backup/AutoBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <memory>

#include "program/Zel2.h"

namespace {

const char* const kStamp = "yyyy-MM-dd HH:mm:ss";

std::unique_ptr<QSettings> openSettings(const QString& file) {
  auto s = file.isEmpty() ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                        QStringLiteral("zel"), QStringLiteral("zel"))
                          : std::make_unique<QSettings>(file, QSettings::IniFormat);
  s->beginGroup(QStringLiteral("backup"));
  return s;
}

}  // namespace

namespace AutoBackup {

Settings load(const QString& settingsFile) {
  auto s = openSettings(settingsFile);
  Settings out;
  out.enabled = s->value(QStringLiteral("auto")).toString() == QLatin1String("1");
  bool ok = false;
  const int keep = s->value(QStringLiteral("keep")).toString().toInt(&ok);
  if (ok) out.keep = qBound(1, keep, kMaxKeep);
  out.folder = s->value(QStringLiteral("folder")).toString();
  out.last = QDateTime::fromString(s->value(QStringLiteral("last")).toString(), QLatin1String(kStamp));
  return out;
}

QString save(const Settings& settings, const QString& settingsFile) {
  return ZEL2::writeSettings(
      settingsFile.isEmpty() ? ZEL2::userSettingsFile() : settingsFile, QStringLiteral("backup"),
      {{QStringLiteral("auto"), settings.enabled ? QStringLiteral("1") : QStringLiteral("0")},
       {QStringLiteral("keep"), QString::number(qBound(1, settings.keep, kMaxKeep))},
       {QStringLiteral("folder"), settings.folder},
       {QStringLiteral("last"),
        settings.last.isValid() ? settings.last.toString(QLatin1String(kStamp)) : QString()}});
}

QString defaultFolder(const QString& dataPath) { return dataPath + QStringLiteral("backups"); }

QString folder(const Settings& settings, const QString& dataPath) {
  return settings.folder.isEmpty() ? defaultFolder(dataPath) : settings.folder;
}

QString archiveName(const QString& folder, const QDateTime& when) {
  return QDir(folder).filePath(QStringLiteral("zelauto") + when.toString(QStringLiteral("yyyyMMddHHmmss")) +
                               QStringLiteral(".zip"));
}

bool isAutomaticArchive(const QString& fileName) {
  static const QRegularExpression re(QStringLiteral("^zelauto[0-9]{14}\\.zip$"));
  return re.match(fileName).hasMatch();
}

QStringList rotate(const QString& folder, int keep) {
  QStringList automatic;
  for (const QString& name :
       QDir(folder).entryList({QStringLiteral("zelauto*.zip")}, QDir::Files, QDir::Name))
    if (isAutomaticArchive(name)) automatic << name;
  QStringList removed;
  // The time stamp in the name orders them, oldest first.
  const qsizetype excess = automatic.size() - qMax(1, keep);
  for (qsizetype i = 0; i < excess; ++i)
    if (QFile::remove(QDir(folder).filePath(automatic[i]))) removed << automatic[i];
  return removed;
}

DataBackup::Result run(const QString& dataPath, const QString& folder, int keep, const QDateTime& when,
                       const ZipArchive::Progress& progress) {
  const QFileInfo target(folder);
  if (!target.exists() && target.absoluteDir().exists()) QDir().mkdir(folder);
  DataBackup::Result r = DataBackup::backup(dataPath, archiveName(folder, when), progress);
  // Older backups go only once a newer one is known to be good.
  if (r.ok()) rotate(folder, keep);
  return r;
}

}  // namespace AutoBackup
