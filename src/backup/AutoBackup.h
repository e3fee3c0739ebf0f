#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "backup/DataBackup.h"

// Automatic backups: a verified archive made when the program closes, into a folder of their own,
// keeping only the newest few. Automatic archives are named "zelauto" + yyyymmddhhmmss + ".zip", so
// that the rotation never touches a backup made by hand.
namespace AutoBackup {

inline constexpr int kDefaultKeep = 10;
inline constexpr int kMaxKeep = 999;

struct Settings {
  bool enabled = false;
  int keep = kDefaultKeep;
  QString folder;  // empty: the "backups" folder of the data folder
  QDateTime last;  // the last successful automatic backup; invalid when there was none
};

// The per-user settings store, group "backup"; settingsFile names another INI file (tests). Saving
// gives the failure's message, empty when the settings were written.
Settings load(const QString& settingsFile = QString());
QString save(const Settings& settings, const QString& settingsFile = QString());

// The folder automatic backups go to.
QString folder(const Settings& settings, const QString& dataPath);
QString defaultFolder(const QString& dataPath);

QString archiveName(const QString& folder, const QDateTime& when);
bool isAutomaticArchive(const QString& fileName);

// Removes the oldest automatic archives of the folder beyond keep (at least one is kept). Returns
// the names removed; nothing else in the folder is touched.
QStringList rotate(const QString& folder, int keep);

// Makes a verified automatic backup of the data folder into folder (made if missing, one level
// only, so that a folder on a medium that is not there is not made elsewhere), then rotates.
DataBackup::Result run(const QString& dataPath, const QString& folder, int keep, const QDateTime& when,
                       const ZipArchive::Progress& progress = {});

}  // namespace AutoBackup
