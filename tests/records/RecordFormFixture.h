#pragma once

#include <QApplication>
#include <QDate>
#include <QMdiArea>
#include <QTest>
#include <memory>

#include "core/program/Zel1.h"
#include "core/store/DateValue.h"
#include "gui/app/Startup.h"
#include "gui/app/frm_Main.h"
#include "gui/controls/DateEdit.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/controls/MoneyEdit.h"
#include "gui/records/frmDataEntry.h"
#include "support/Engines.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestFrame.h"
#include "support/WindowDriver.h"

// A fresh database with the record form open on it, shown offscreen and active: the data folder's
// file (DataTest), or the file or a server by the test's parameter (EngineTest).
template <class Base>
class RecordFormOf : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    msgs = std::make_unique<ScriptedMessages>();
  }
  void TearDown() override {
    ZEL1.RecordChanged = false;
    form.reset();
    frame.reset();
    msgs.reset();
    Base::TearDown();
  }

  static qint64 addCemetery(const QString& name) {
    exec(QStringLiteral("insert into cemetery (name) values ('%1')").arg(name));
    return scalar(QStringLiteral("select max(cemeteryid) from cemetery")).toLongLong();
  }
  static qint64 addLot(const QString& desc, const QString& size, const QString& price) {
    exec(QStringLiteral("insert into lots (lotdesc, lotsize, lotprice) values ('%1', %2, %3)")
             .arg(desc, size,
                  price == QLatin1String("NULL") ? price : sqlMoney(price.toLatin1().constData())));
    return scalar(QStringLiteral("select max(lotid) from lots")).toLongLong();
  }

  frmDataEntry& open() {
    form = std::make_unique<frmDataEntry>();
    form->resize(1024, 700);
    form->show();
    form->activateWindow();
    (void)QTest::qWaitForWindowActive(form.get());
    return *form;
  }

  // The form as the program opens it: "DataEdit" in a frame window of the given size.
  frmDataEntry& openInFrame(QSize size) {
    frame = testFrame(this->folder->file(QStringLiteral("placement.ini")));
    showActive(*frame, size);
    frame->toolbarAction(QStringLiteral("DataEdit"))->trigger();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    return *frame->mdiArea->findChild<frmDataEntry*>();
  }

  // Leaves the focused field for another one and lets the form react.
  static void moveTo(QWidget* field) {
    field->setFocus();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  static QString shown(const QDate& d) { return DateValue::formatDisplay(d, QStringLiteral("mm-dd-yyyy")); }
  static QDate today() { return QDate::currentDate(); }

  // "New", dropping the edits of the record on the form.
  void newRecord() {
    if (ZEL1.RecordChanged)
      msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                           MessageService::Answer::No, true);
    form->mnuNewClick();
  }

  // One cemetery and one lot type, and a new record on the form at a place of the cemetery.
  void placeNew(const QString& section, const QString& lot, const QString& grave) {
    newRecord();
    type(form->ui().txtSection, section);
    type(form->ui().txtLot, lot);
    type(form->ui().txtGrave, grave);
    choose(form->ui().txtCemetery, 0);
    choose(form->ui().txtLotInfo, 0);
  }

  std::unique_ptr<ScriptedMessages> msgs;
  std::unique_ptr<frmDataEntry> form;
  std::unique_ptr<frm_Main> frame;
};

using RecordForm = RecordFormOf<DataTest>;
