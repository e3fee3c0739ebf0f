#pragma once

#include <QString>

// A data folder whose records are on a server holds a small file, zel.server, with a libpq
// connection string or URI in place of zel.mdb.
inline constexpr const char* kServerFile = "zel.server";

// The connection string of the folder's zel.server (blank lines and lines starting with '#'
// skipped); empty when the folder has none. A string that does not parse, or that carries a
// password, fails with DbError: the password comes from libpq's own means (~/.pgpass, a service
// file, the environment), never from a file in the data folder.
QString serverOfFolder(const QString& folder);

// Checks a connection string before it is written into a folder: one that does not parse, or that
// carries a password, fails with DbError as serverOfFolder's would; where names it in the message.
void checkServerAddress(const QString& connection, const QString& where);
