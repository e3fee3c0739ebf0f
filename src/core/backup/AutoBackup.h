#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "core/backup/DataBackup.h"

// Automatic backups: a verified archive made when the program closes, into a folder of their own,
// keeping only the newest few. Automatic archives are named "zelauto" + yyyymmddhhmmss + "-" + the
// data folder's identity + ".zip", so that the rotation never touches a backup made by hand nor
// the archives of another data folder sharing the backup folder.
namespace AutoBackup {

inline constexpr int kDefaultKeep = 10;
inline constexpr int kMaxKeep = 999;

struct Settings {
  bool enabled = false;
  int keep = kDefaultKeep;
  QString folder;  // empty: the "backups" folder of the data folder
  QDateTime last;  // the last successful automatic backup; invalid when there was none
};

// The settings of one data folder in the per-user settings store (group "backup/<identity>");
// settingsFile names another INI file (tests). A data folder without settings of its own starts
// from the ones kept for every folder by earlier versions, without their last backup. Saving
// throws DbError (IoErr) naming the file when the settings cannot be written.
Settings load(const QString& dataPath, const QString& settingsFile = QString());
void save(const Settings& settings, const QString& dataPath, const QString& settingsFile = QString());

// The folder automatic backups go to.
QString folder(const Settings& settings, const QString& dataPath);
QString defaultFolder(const QString& dataPath);

// Eight hexadecimal digits that tell data folders apart, made from the folder's full path.
QString identity(const QString& dataPath);
QString archiveName(const QString& folder, const QString& dataPath, const QDateTime& when);
// An automatic archive of that data folder.
bool isAutomaticArchive(const QString& fileName, const QString& dataPath);

// Removes the oldest automatic archives of the data folder in folder beyond keep (see
// DataBackup::rotate: the archive just written is always kept; archives dated in the future are
// only reported).
DataBackup::Rotation rotate(const QString& folder, const QString& dataPath, int keep,
                            const QString& justWritten, const QDateTime& now);

// Makes a verified automatic backup of the data folder into folder (made if missing, one level
// only, so that a folder on a medium that is not there is not made elsewhere), then rotates.
// Archives dated in the future are named in the result's warnings.
DataBackup::Result run(const QString& dataPath, const QString& folder, int keep, const QDateTime& when,
                       const ZipArchive::Progress& progress = {});

}  // namespace AutoBackup
