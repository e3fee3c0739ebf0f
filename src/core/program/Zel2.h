#pragma once

#include <QList>
#include <QString>
#include <utility>

// Shared operations used by many windows.
namespace ZEL2 {

// Doubles every single quote of a text so that it can stand inside an SQL string literal.
QString SqlQuote(const QString& text);

// The version as major.minor.revision ("6.8.1"); the title puts "Zelmora v." before it.
QString versionText();

// The per-user settings file (INI), organisation and application "zel".
QString userSettingsFile();
// Sets text values of one group of an INI settings file: the whole file is written or none of it.
// QSettings' own save can cut a file short on a full disk and still report success, so the values
// are set on a copy beside the file, which is read back before it replaces the file. A failure
// throws DbError (IoErr) naming the file.
void writeSettings(const QString& file, const QString& group,
                   const QList<std::pair<QString, QString>>& values);

}  // namespace ZEL2
