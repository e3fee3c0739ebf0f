#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <functional>

#include "gui/cemeteries/frmCemeterySelect.h"

// Small helpers to drive the real windows the way a user does.

template <class T>
T* child(QWidget& w, const char* name) {
  T* c = w.findChild<T*>(QLatin1String(name));
  EXPECT_NE(c, nullptr) << "no control " << name;
  return c;
}

inline void press(QWidget& w, const char* buttonName) { child<QAbstractButton>(w, buttonName)->click(); }

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
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, text);
}

// Picks an entry of a list by its position or its text, as a click on it does.
inline void choose(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}
inline void choose(QComboBox* box, const QString& text) {
  const int i = box->findText(text);
  ASSERT_GE(i, 0) << text.toStdString();
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
    EXPECT_EQ(items.size(), 1) << name.toStdString();
    for (QListWidgetItem* item : items) {
      w.List1->setCurrentItem(item);
      w.List1DblClick();
    }
    return w.result();
  };
}
