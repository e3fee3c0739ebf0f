#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStringList>
#include <QTest>
#include <QToolBar>
#include <QWidget>
#include <functional>

#include "gui/app/frm_Main.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "support/Failure.h"

// Drives the real windows the way a user does. What a user could not do (press a disabled or
// hidden command, type into a disabled field, pick a missing entry) fails instead of passing
// silently: a disabled button or action ignores the click.

template <class T>
T* child(QWidget& w, const char* name) {
  T* c = w.findChild<T*>(QLatin1String(name));
  if (!c) failed(std::string("no control ") + name);
  return c;
}

inline bool usable(const QWidget* w, const char* name) {
  if (!w) return false;
  if (!w->isEnabled() || !w->isVisibleTo(w->window())) {
    failed(std::string(name) + (w->isEnabled() ? " is hidden" : " is disabled"));
    return false;
  }
  return true;
}

// Clicks the named button.
inline void press(QWidget& w, const char* buttonName) {
  auto* b = child<QAbstractButton>(w, buttonName);
  if (usable(b, buttonName)) b->click();
}

// Triggers the frame's toolbar command by its key; on a shown frame its button must show too.
inline void press(frm_Main& frame, const char* key) {
  QAction* a = frame.toolbarAction(QLatin1String(key));
  if (!a) return failed(std::string("no toolbar command ") + key);
  if (!a->isEnabled() || !a->isVisible())
    return failed(std::string("toolbar command ") + key + " is unusable");
  if (frame.isVisible()) {
    QWidget* button = frame.Toolbar1->widgetForAction(a);
    if (!button || !button->isVisible()) return failed(std::string("toolbar button ") + key + " is hidden");
  }
  a->trigger();
}

inline QStringList listTexts(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

inline QPoint rowCentre(QListWidget* list, int row) {
  list->scrollToItem(list->item(row));
  return list->visualItemRect(list->item(row)).center();
}

inline void clickRow(QListWidget* list, int row, Qt::MouseButton button = Qt::LeftButton) {
  QTest::mouseClick(list->viewport(), button, {}, rowCentre(list, row));
}

inline void doubleClickRow(QListWidget* list, int row) {
  const QPoint p = rowCentre(list, row);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, p);
}

inline void rightPress(QListWidget* list, int row) {
  QTest::mousePress(list->viewport(), Qt::RightButton, {}, rowCentre(list, row));
  QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, rowCentre(list, row));
}

inline int selectedRow(const QListWidget* list) {
  const auto sel = list->selectedItems();
  return sel.isEmpty() ? -1 : list->row(sel.first());
}

// Lets queued events and deferred deletions run, as the event loop would between two user actions.
inline void settle() {
  for (int i = 0; i < 5; ++i) {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// Types into a field as a user does, replacing what it held.
inline void type(QLineEdit* field, const QString& text) {
  if (!usable(field, qPrintable(field ? field->objectName() : QString()))) return;
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, text);
}

// Picks an entry of a list by its position or its text, as a click on it does.
inline void choose(QComboBox* box, int index) {
  if (!usable(box, qPrintable(box->objectName()))) return;
  box->setCurrentIndex(index);
  emit box->activated(index);
}
inline void choose(QComboBox* box, const QString& text) {
  const int i = box->findText(text);
  if (i < 0) return failed("no entry " + text.toStdString() + " in " + box->objectName().toStdString());
  choose(box, i);
}

// The cemetery chooser, handled: double-clicks the named cemetery, or closes without a choice.
inline std::function<int(QDialog&)> chooser(const QString& name) {
  return [name](QDialog& d) {
    auto& w = static_cast<frmCemeterySelect&>(d);
    if (name.isEmpty()) {
      w.close();
      return w.result();
    }
    const auto items = w.List1->findItems(name, Qt::MatchExactly);
    if (items.size() != 1) failed("no single cemetery " + name.toStdString());
    for (QListWidgetItem* item : items) {
      w.List1->setCurrentItem(item);
      w.List1DblClick();
    }
    return w.result();
  };
}
