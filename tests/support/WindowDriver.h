#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QStringList>
#include <QTest>
#include <QWidget>

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
