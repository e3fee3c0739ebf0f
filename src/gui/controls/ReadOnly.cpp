#include "gui/controls/ReadOnly.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "core/program/Zel1.h"

QString readOnlyReason() { return ZEL1.cnData.isServer() ? ZEL1.cnData.writeProblem() : QString(); }

void showReadOnly(QWidget* window, const QList<QWidget*>& fields) {
  const QString mark = QStringLiteral(" (read only)");
  if (!window->windowTitle().endsWith(mark)) window->setWindowTitle(window->windowTitle() + mark);
  for (QWidget* f : fields) {
    if (auto* line = qobject_cast<QLineEdit*>(f))
      line->setReadOnly(true);
    else if (auto* text = qobject_cast<QPlainTextEdit*>(f))
      text->setReadOnly(true);
    else if (qobject_cast<QComboBox*>(f) || qobject_cast<QAbstractButton*>(f))
      f->setEnabled(false);
  }
}
