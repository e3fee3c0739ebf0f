#pragma once

#include <QList>
#include <QString>

class QWidget;

// Why the records on a server cannot be changed over ZEL1.cnData: its role may only read them. Empty
// when they can, on a file, and while nothing is open. Windows that change records open read-only
// then, rather than refuse every change one by one. (A file that cannot be written is a fault to
// mend: the start-up says so, and each change that fails says it again.)
QString readOnlyReason();

// A window opened read-only: " (read only)" after its title, and each field shows its value but
// takes no typing (line and text fields) and no choice (lists, option and check buttons).
void showReadOnly(QWidget* window, const QList<QWidget*>& fields);
