#pragma once

#include <QList>
#include <QString>

class QWidget;

// Why the records cannot be changed over ZEL1.cnData: a server role that may only read them, or a
// file or folder that cannot be written. Empty when they can (and while nothing is open). Windows
// that change records open read-only then, rather than refuse every change one by one.
QString readOnlyReason();

// A window opened read-only: " (read only)" after its title, and each field shows its value but
// takes no typing (line and text fields) and no choice (lists, option and check buttons).
void showReadOnly(QWidget* window, const QList<QWidget*>& fields);
