#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QMdiArea>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/Money.h"
#include "core/store/Statement.h"
#include "gui/app/HelpViewer.h"
#include "gui/app/Startup.h"
#include "gui/app/ZelApplication.h"
#include "gui/app/frmSplash.h"
#include "gui/app/frm_Main.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/Guarded.h"
#include "gui/maps/frmMapEdit.h"
#include "support/OrdinaryUser.h"
#include "support/ScriptedMessages.h"
#include "support/TestFolder.h"
#include "support/TestFrame.h"
#include "support/WindowDriver.h"

namespace {

const QString kNoCemetery = QStringLiteral(
    "You have not created any cemeteries. "
    "In order to create a map you must have a cemetery to associate it with.");
const QString kTutorialQuestion = QStringLiteral(
    "Would you like to view the online tutorial instead of the help documentation?\n\n"
    "If you answer YES, you will need a web browser installed to be able to view the documentation. "
    "If you answer NO, no additional software is required to view the information.");

// A child window that may refuse to close, and notes whether the database was open when asked.
class FakeChild : public QWidget {
 public:
  bool refuse = false;
  bool dbOpenWhenAsked = false;
  int asked = 0;

 protected:
  void closeEvent(QCloseEvent* e) override {
    ++asked;
    dbOpenWhenAsked = ZEL1.cnData.isOpen();
    if (refuse)
      e->ignore();
    else
      e->accept();
  }
};

// The frame's windows as a test makes them; unset ones open nothing.
struct StubWindows : FrameWindows {
  std::function<QWidget*()> dataEntry, mapEditor, reports;
  std::function<bool()> chooser;
  QWidget* makeDataEntry() override { return dataEntry ? dataEntry() : nullptr; }
  QWidget* makeMapEditor() override { return mapEditor ? mapEditor() : nullptr; }
  QWidget* makeReports() override { return reports ? reports() : nullptr; }
  bool chooseCemetery() override { return chooser && chooser(); }
};

class FrameTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    frame = std::make_unique<frm_Main>();
    frame->settingsFile = folder->file(QStringLiteral("placement.ini"));
    QObject::connect(frame.get(), &frm_Main::programEnds, frame.get(),
                     [this](int code) { endCodes.push_back(code); });
    auto stub = std::make_unique<StubWindows>();
    windows = stub.get();
    frame->setWindows(std::move(stub));
  }
  void TearDown() override {
    frame.reset();
    DataTest::TearDown();
  }
  QString stored(const char* key) const {
    QSettings s(frame->settingsFile, QSettings::IniFormat);
    return s.value(QStringLiteral("window/") + QLatin1String(key)).toString();
  }

  std::unique_ptr<frm_Main> frame;
  StubWindows* windows = nullptr;
  std::vector<int> endCodes;
};

TEST_F(FrameTest, ChildWindowHidesTheToolbarUntilItCloses) {
  frame->show();
  QPointer<FakeChild> form;
  windows->dataEntry = [&] { return form = new FakeChild; };
  press(*frame, "DataEdit");
  ASSERT_TRUE(form);
  EXPECT_TRUE(frame->Toolbar1->isHidden());
  EXPECT_EQ(frame->mdiArea->subWindowList().size(), 1);
  form->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(frame->Toolbar1->isHidden());

  // A window that is not there yet opens nothing and leaves the toolbar in place.
  press(*frame, "Reports");
  EXPECT_FALSE(frame->Toolbar1->isHidden());
}

TEST_F(FrameTest, EveryCommandIsReachableByKeyboard) {
  std::vector<QString> opened;
  windows->dataEntry = [&]() -> QWidget* {
    opened.push_back(QStringLiteral("records"));
    return new FakeChild;
  };
  windows->reports = [&]() -> QWidget* {
    opened.push_back(QStringLiteral("reports"));
    return new FakeChild;
  };
  showActive(*frame, QSize(800, 600));
  const auto closeChild = [&] {
    frame->mdiArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frame->Toolbar1->isHidden());
  };
  const auto button = [&](const char* key) {
    return qobject_cast<QToolButton*>(
        frame->Toolbar1->widgetForAction(frame->toolbarAction(QLatin1String(key))));
  };
  // The first button has the focus and Tab walks the buttons.
  EXPECT_EQ(button("DataEdit")->text(), QStringLiteral("&Grave records"));
  EXPECT_EQ(QApplication::focusWidget(), button("DataEdit"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), button("Reports"));
  QTest::keyClick(button("Reports"), Qt::Key_Space);
  ASSERT_EQ(opened, std::vector<QString>{QStringLiteral("reports")});
  // While a window is open the frame offers no command, in the toolbar or the menu.
  EXPECT_TRUE(frame->Toolbar1->isHidden());
  EXPECT_TRUE(frame->menuBar()->isHidden());
  closeChild();
  EXPECT_FALSE(frame->menuBar()->isHidden());
  EXPECT_EQ(QApplication::focusWidget(), button("DataEdit")) << "back on the toolbar";
  QTest::keyClick(button("DataEdit"), Qt::Key_Return);
  EXPECT_EQ(opened.back(), QStringLiteral("records"));
  closeChild();
  // The letter of a button presses it (the button shows itself pressed first; CTest's timeout
  // ends a wait that never ends).
  QTest::keyClick(frame.get(), Qt::Key_G, Qt::AltModifier);
  while (opened.size() < 3) QTest::qWait(10);
  closeChild();
}

TEST_F(FrameTest, MapEditWithoutCemeteriesOrADatabaseRefuses) {
  ScriptedMessages msgs;
  msgs.expectInfo(kNoCemetery);
  ZEL1.CurrentCemeteryId = 7;
  int editors = 0;
  windows->mapEditor = [&]() -> QWidget* {
    ++editors;
    return nullptr;
  };
  windows->chooser = [] {
    ADD_FAILURE() << "no chooser without cemeteries";
    return false;
  };
  press(*frame, "MapEdit");
  EXPECT_EQ(ZEL1.CurrentCemeteryId, 0);
  EXPECT_EQ(editors, 0);

  // Without a database: the failure is shown.
  ZEL1.cnData.close();
  msgs.expectInfo(QStringLiteral("Operation is not allowed when the object is closed."));
  press(*frame, "MapEdit");
  EXPECT_FALSE(frame->Toolbar1->isHidden());
}

TEST_F(FrameTest, MapEditWithOneCemeteryOpensItsMapWithoutAsking) {
  exec(QStringLiteral("insert into cemetery (name) values ('Only One')"));
  const qint32 id = scalar(QStringLiteral("select cemeteryid from cemetery")).toInt();
  ScriptedMessages msgs;
  frame->show();
  windows->chooser = [] {
    ADD_FAILURE() << "one cemetery needs no choice";
    return false;
  };
  qint32 editorCemetery = -1;
  windows->mapEditor = [&] {
    editorCemetery = ZEL1.CurrentCemeteryId;
    return new FakeChild;
  };
  press(*frame, "MapEdit");
  EXPECT_EQ(editorCemetery, id);
}

TEST_F(FrameTest, MapEditWithSeveralCemeteriesAsksTheChooser) {
  exec(QStringLiteral("insert into cemetery (name) values ('East')"));
  exec(QStringLiteral("insert into cemetery (name) values ('West')"));
  const qint32 west = scalar(QStringLiteral("select cemeteryid from cemetery where name='West'")).toInt();
  ScriptedMessages msgs;
  int editors = 0;
  windows->mapEditor = [&]() -> QWidget* {
    ++editors;
    EXPECT_EQ(ZEL1.CurrentCemeteryId, west);
    return new FakeChild;
  };

  // Closed without a choice: nothing opens.
  int asked = 0;
  windows->chooser = [&] {
    ++asked;
    EXPECT_EQ(ZEL1.CurrentCemeteryId, 0);
    return false;
  };
  press(*frame, "MapEdit");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(editors, 0);
  EXPECT_FALSE(frame->Toolbar1->isHidden());

  windows->chooser = [&] {
    ZEL1.CurrentCemeteryId = west;
    return true;
  };
  press(*frame, "MapEdit");
  EXPECT_EQ(editors, 1);
}

TEST_F(FrameTest, HelpOffersTheTutorialOrTheHelpFile) {
  ScriptedMessages msgs;
  const QString tutorial = folder->file(QStringLiteral("zl-tutor.html"));
  msgs.expectQuestion(kTutorialQuestion, MessageService::Answer::Yes, false).expectDocument(tutorial);
  press(*frame, "Help");
  EXPECT_FALSE(frame->CD1->isVisible());
  msgs.expectQuestion(kTutorialQuestion, MessageService::Answer::No).expectHelp(1);
  press(*frame, "Help");

  // Without a web browser the tutorial shows in the program's own help viewer, its example dates
  // in the form's pattern...
  folder->copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zl-tutor.html"));
  ZEL1.DateDisplayFormat = QStringLiteral("dd-mm-yyyy");
  msgs.expectQuestion(kTutorialQuestion, MessageService::Answer::Yes).expectDocument(tutorial, false);
  press(*frame, "Help");
  msgs.verify();
  EXPECT_TRUE(frame->CD1->isVisible());
  EXPECT_TRUE(frame->CD1->browser()->toPlainText().contains(QStringLiteral("Step 1")));
  EXPECT_TRUE(frame->CD1->browser()->toPlainText().contains(QStringLiteral("date of birth 15-03-1931")));
  frame->CD1->close();

  // ...and without the file either, the message says where it should be.
  QFile::remove(tutorial);
  msgs.expectQuestion(kTutorialQuestion, MessageService::Answer::Yes)
      .expectDocument(tutorial, false)
      .expectInfo(QStringLiteral("No web browser was found, and the tutorial %1 cannot be found either.")
                      .arg(tutorial));
  press(*frame, "Help");
  EXPECT_FALSE(frame->CD1->isVisible());
}

TEST_F(FrameTest, HelpViewerShowsTheTopicOfTheRealHelpFile) {
  folder->copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zel6.hlp"));
  RealMessageService real;  // the frame's help dialog behind the real service
  real.showHelp(12);
  EXPECT_TRUE(frame->CD1->isVisible());
  EXPECT_EQ(frame->CD1->HelpFile, folder->file(QStringLiteral("zel6.hlp")));
  EXPECT_EQ(frame->CD1->currentAnchor(), QStringLiteral("topic12"));
  QCoreApplication::processEvents();
  EXPECT_GT(frame->CD1->browser()->verticalScrollBar()->value(), 0) << "scrolled down to the topic";
  const QString text = frame->CD1->browser()->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("The main window")));
  EXPECT_TRUE(text.contains(QStringLiteral("Backing up and restoring data")));

  // Asked for in a modal dialog, the help is shown over it and can be read while the dialog waits.
  frame->CD1->close();
  {
    QDialog dialog(frame.get());
    dialog.setModal(true);
    dialog.show();
    real.showHelp(7);
    EXPECT_EQ(frame->CD1->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(QApplication::activeModalWidget(), frame->CD1) << "the dialog waits for the help";
  }
  frame->CD1->close();
  real.showHelp(1);
  EXPECT_EQ(frame->CD1->windowModality(), Qt::NonModal);

  // Without the file the viewer says which file is missing.
  QFile::remove(folder->file(QStringLiteral("zel6.hlp")));
  frame->CD1->HelpFile = folder->file(QStringLiteral("gone.hlp"));
  frame->CD1->ShowHelp();
  EXPECT_TRUE(frame->CD1->browser()->toPlainText().contains(QStringLiteral("gone.hlp")));
}

TEST_F(FrameTest, SplashShowsTheVersionAndClosesOnAKeyOrAClick) {
  QPointer<frmSplash> splash = new frmSplash;
  EXPECT_EQ(splash->Label1->text(), QStringLiteral("Version 6.8.1  PLEASE WAIT ..."));
  EXPECT_TRUE(splash->Timer1->isActive());
  splash->show();
  QTest::keyClick(splash, Qt::Key_Space);
  EXPECT_FALSE(splash && splash->isVisible());

  splash = new frmSplash;
  splash->show();
  QTest::mouseClick(splash->Label1, Qt::LeftButton);
  EXPECT_FALSE(splash && splash->isVisible());

  // An activation closes a splash that is still up.
  splash = new frmSplash;
  splash->show();
  frame->splash = splash;
  frame->FormActivate();
  EXPECT_FALSE(splash && splash->isVisible());
}

TEST_F(FrameTest, ActivationAppliesTheStateRepairOnce) {
  exec(QStringLiteral(
      "insert into zel (csection, ownerlastname, ownerfirstname, interlastname, interfirstname, status)"
      " values ('owner', 'Smith', '', '', '', ' ')"));
  exec(QStringLiteral(
      "insert into zel (csection, ownerlastname, ownerfirstname, interlastname, interfirstname, status)"
      " values ('inter', '', '', '', 'Ann', 'R')"));
  exec(QStringLiteral(
      "insert into zel (csection, ownerlastname, ownerfirstname, interlastname, interfirstname, status)"
      " values ('both', '', 'Joe', 'Doe', '', '')"));
  exec(QStringLiteral(
      "insert into zel (csection, ownerlastname, ownerfirstname, interlastname, interfirstname, status)"
      " values ('blank', '  ', '', ' ', '', 'R')"));
  const QString marker = folder->file(QStringLiteral("fixdates.dat"));
  {
    QFile f(marker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("anything");
  }
  auto states = [] {
    RecordSet rs(&ZEL1.cnData);
    rs.open(QStringLiteral("select csection, status from zel order by recid"));
    QStringList out;
    for (; !rs.eof(); rs.moveNext())
      out << rs.field(QStringLiteral("csection")).toString() + QLatin1Char('=') +
                 rs.field(QStringLiteral("status")).toString();
    return out.join(QLatin1Char(' '));
  };

  ScriptedMessages msgs;
  msgs.expectInfo(QStringLiteral("Patch Applied."));
  frame->FormActivate();
  EXPECT_EQ(states(), QStringLiteral("owner=S inter=B both=B blank=R"));
  EXPECT_EQ(scalar(QStringLiteral(
                "select group_concat(ifnull(oldvalue, '') || '>' || newvalue, ',') from (select * from "
                "history where field='status' order by id)")),
            QStringLiteral(" >S,>S,R>B,S>B"));
  EXPECT_FALSE(QFile::exists(marker));
  EXPECT_TRUE(endCodes.empty());

  // Later activations leave later edits alone.
  exec(QStringLiteral("update zel set status='R' where csection='inter'"));
  frame->FormActivate();
  EXPECT_EQ(states(), QStringLiteral("owner=S inter=R both=B blank=R"));
}

TEST_F(FrameTest, ClosingLetsChildrenRefuseWhileTheDatabaseIsStillOpen) {
  ScriptedMessages msgs;
  frame->show();
  frame->setWindowState(Qt::WindowNoState);
  frame->move(100, 50);
  frame->resize(640, 480);
  auto* child = new FakeChild;
  child->refuse = true;
  windows->dataEntry = [&] { return child; };
  press(*frame, "DataEdit");

  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(child->asked, 1);
  EXPECT_TRUE(child->dbOpenWhenAsked);
  EXPECT_TRUE(ZEL1.cnData.isOpen());
  EXPECT_TRUE(stored("state").isEmpty()) << "nothing is stored while the program keeps running";

  child->refuse = false;
  QPointer<FakeChild> watch = child;
  bool dbOpenAtLastAsk = false;
  QObject::connect(child, &QObject::destroyed, [&] { dbOpenAtLastAsk = ZEL1.cnData.isOpen(); });
  EXPECT_TRUE(frame->close());
  EXPECT_TRUE(dbOpenAtLastAsk || (watch && watch->dbOpenWhenAsked));
  EXPECT_FALSE(ZEL1.cnData.isOpen());

  const double perPixel = 1440.0 / frame->logicalDpiX();
  EXPECT_EQ(stored("state"), QStringLiteral("0"));
  EXPECT_EQ(stored("left"), QString::number(float(100 * perPixel)));
  EXPECT_EQ(stored("top"), QString::number(float(50 * perPixel)));
  EXPECT_EQ(stored("width"), QString::number(float(640 * perPixel)));
  EXPECT_EQ(stored("height"), QString::number(float(480 * perPixel)));
}

TEST_F(FrameTest, PlacementRoundTripsAndMaximisedKeepsTheLastNormalPlacement) {
  frame->show();
  frame->setWindowState(Qt::WindowNoState);
  frame->move(120, 80);
  frame->resize(700, 500);
  ASSERT_TRUE(frame->close());

  frm_Main again;
  again.settingsFile = frame->settingsFile;
  again.restorePlacement();
  EXPECT_EQ(again.windowState(), Qt::WindowNoState);
  EXPECT_EQ(again.pos(), QPoint(120, 80));
  EXPECT_EQ(again.size(), QSize(700, 500));

  // A place far off every screen keeps the window where it is, with its stored size.
  {
    QSettings s(frame->settingsFile, QSettings::IniFormat);
    s.setValue(QStringLiteral("window/left"), QStringLiteral("-900000"));
  }
  frm_Main lost;
  lost.settingsFile = frame->settingsFile;
  const QPoint before = lost.pos();
  lost.restorePlacement();
  EXPECT_EQ(lost.pos(), before);
  EXPECT_EQ(lost.size(), QSize(700, 500));

  again.show();
  again.setWindowState(Qt::WindowMaximized);
  again.storePlacement();
  EXPECT_EQ(stored("state"), QStringLiteral("2"));
  EXPECT_EQ(stored("left"), QStringLiteral("-900000"));
  EXPECT_EQ(stored("width"), QString::number(float(700 * 1440.0 / again.logicalDpiX())));
}

TEST_F(FrameTest, ClosingSavesTheMapEditorAndAFailedSaveKeepsTheProgramRunning) {
  exec(QStringLiteral("insert into cemetery (name) values ('Only One')"));
  const QString map =
      MapFile::fileName(ZEL1.DataPath, scalar(QStringLiteral("select cemeteryid from cemetery")).toInt());
  ScriptedMessages msgs;
  connectWindows(*frame);
  frame->show();
  press(*frame, "MapEdit");
  auto* editor = frame->findChild<frmMapEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->ui().Spread1->setText(3, 3, QStringLiteral("A,1,1"));

  const QString folderPath = ZEL1.DataPath;
  chmodTo(folderPath, 0555);
  {
    OrdinaryUser user;
    msgs.expectInfo(QStringLiteral("*"));
    frame->close();  // the toolbar is hidden behind the editor: the window's own close
    EXPECT_TRUE(msgs.log().back().text.startsWith(QStringLiteral("The map could not be saved to ") + map));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(ZEL1.cnData.isOpen());
  }
  chmodTo(folderPath, 0755);

  frame->close();
  EXPECT_FALSE(frame->isVisible());
  EXPECT_FALSE(ZEL1.cnData.isOpen());
  GridControl back;
  ASSERT_TRUE(back.loadFromFile(map));
  EXPECT_EQ(back.text(3, 3), "A,1,1");
}

TEST_F(FrameTest, AFailureInACommandIsShownItsTransactionUndoneAndTheProgramGoesOn) {
  QAction command;
  connectCommand(&command, &QAction::triggered, frame.get(), [] {
    ZEL1.cnData.beginTransaction();
    ZEL1.cnData.execute(QStringLiteral("create table halfway(x)"));
    throw MoneyOutOfRange(QStringLiteral("1e+30"));
  });
  auto* app = static_cast<ZelApplication*>(QCoreApplication::instance());
  std::vector<int> ends;
  const QMetaObject::Connection noted =
      QObject::connect(app, &ZelApplication::failureEnds, [&](int code) { ends.push_back(code); });
  ScriptedMessages msgs;
  msgs.expectInfo(QStringLiteral("The amount 1e+30 is out of range."));
  command.trigger();
  QObject::disconnect(noted);
  EXPECT_TRUE(ends.empty());
  EXPECT_TRUE(endCodes.empty());
  ASSERT_TRUE(ZEL1.cnData.isOpen());
  EXPECT_FALSE(ZEL1.cnData.inTransaction());
  Statement left(ZEL1.cnData, "select count(*) from sqlite_master where name='halfway'");
  ASSERT_TRUE(left.next());
  EXPECT_EQ(left.int64(0), 0);
}

TEST_F(FrameTest, ExitClosesTheFrameAndReleasesTheDatabase) {
  frame->show();
  press(*frame, "Exit");
  EXPECT_FALSE(frame->isVisible());
  EXPECT_FALSE(ZEL1.cnData.isOpen());
}

}  // namespace
