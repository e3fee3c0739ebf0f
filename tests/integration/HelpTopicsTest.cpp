// Every window of the program opens the help file at its own topic, from its Help command and
// from F1, and the built help file holds each of those topics.
#include <gtest/gtest.h>

#include <QFile>
#include <QMdiArea>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>

#include "core/program/Zel1.h"
#include "gui/app/Startup.h"
#include "gui/app/frm_Main.h"
#include "gui/backup/frmBackupRestore.h"
#include "gui/cemeteries/frmAddress.h"
#include "gui/cemeteries/frmCemeteryMgr.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/cemeteries/frmLotMgr.h"
#include "gui/controls/GridControl.h"
#include "gui/import/frmImport.h"
#include "gui/maps/frmMapEdit.h"
#include "gui/maps/frmViewMap.h"
#include "gui/records/frmDataEntry.h"
#include "gui/reports/frmReports.h"
#include "gui/search/frmFind.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestFrame.h"
#include "support/WindowDriver.h"

namespace {

class HelpTopics : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    exec(QStringLiteral("insert into cemetery (name) values ('Oak Hill'), ('Elm Rest')"));
    exec(QStringLiteral("insert into lots (lotdesc, lotsize, lotprice) values ('Single', '4x8', %1)")
             .arg(sqlMoney("100")));
    msgs = std::make_unique<ScriptedMessages>();
    frame = testFrame(folder->file(QStringLiteral("placement.ini")));
    showActive(*frame, QSize(1200, 950));
  }
  void TearDown() override {
    frame.reset();
    msgs.reset();
    DataTest::TearDown();
  }

  // F1 in a field of the window, which is made the active one first (a dialog run by the scripted
  // messages is only shown, and the offscreen platform does not activate it by itself).
  void pressF1(QWidget* field) {
    QApplication::setActiveWindow(field->window());
    field->setFocus();
    QTest::keyClick(field, Qt::Key_F1);
  }
  // The window's Help command (when it has one) and F1 both open the topic.
  void expectTopic(int topic, QWidget* field, const std::function<void()>& help = {}) {
    if (help) {
      msgs->expectHelp(topic);
      help();
    }
    msgs->expectHelp(topic);
    pressF1(field);
    EXPECT_EQ(msgs->pending(), 0) << "topic " << topic;
    topics.insert(topic);
  }
  std::function<int(QDialog&)> onModal(const std::function<void(QDialog&)>& act) {
    return [act](QDialog& d) {
      act(d);
      d.reject();
      return d.result();
    };
  }
  template <class W>
  W* child() const {
    return frame->mdiArea->findChild<W*>();
  }

  std::unique_ptr<ScriptedMessages> msgs;
  std::unique_ptr<frm_Main> frame;
  QSet<int> topics;
};

TEST_F(HelpTopics, EveryWindowOpensItsOwnTopicAndTheHelpFileHoldsThemAll) {
  // The frame (its Help button's question about the tutorial is the frame's own test's).
  expectTopic(1, frame->mdiArea);

  // The record form and the dialogs it opens.
  frame->toolbarAction(QStringLiteral("DataEdit"))->trigger();
  settle();
  frmDataEntry* form = child<frmDataEntry>();
  ASSERT_TRUE(form);
  expectTopic(3, form->ui().txtSection, [&] { form->ui().mnuHelp->trigger(); });

  msgs->expectModal(QStringLiteral("frmFind"), onModal([&](QDialog& d) {
                      auto& w = static_cast<frmFind&>(d);
                      expectTopic(5, w.findChild<QPushButton*>(QStringLiteral("Command1")),
                                  [&] { w.findChild<QPushButton*>(QStringLiteral("Command4"))->click(); });
                    }));
  form->ui().mnuOpen->trigger();
  msgs->expectModal(QStringLiteral("frmCemeteryMgr"), onModal([&](QDialog& d) {
                      auto& w = static_cast<frmCemeteryMgr&>(d);
                      expectTopic(7, w.fields().txtName, [&] { w.ui().Command3->click(); });
                    }));
  form->ui().Command1->click();
  msgs->expectModal(QStringLiteral("frmLotMgr"), onModal([&](QDialog& d) {
                      auto& w = static_cast<frmLotMgr&>(d);
                      expectTopic(8, w.fields().txtLotDesc, [&] { w.ui().Command3->click(); });
                    }));
  form->ui().Command2->click();
  // The address dialog and the chooser have no Help button of their own: F1 only.
  msgs->expectModal(QStringLiteral("frmAddress"), onModal([&](QDialog& d) {
                      auto& w = static_cast<frmAddress&>(d);
                      expectTopic(4, w.ui().txtAddr1);
                    }));
  form->ui().Command3->click();
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), [&](QDialog& d) {
    auto& w = static_cast<frmCemeterySelect&>(d);
    expectTopic(6, w.List1);
    w.List1->setCurrentRow(0);
    w.List1DblClick();
    return w.result();
  });
  form->ui().mnuMapView->trigger();
  settle();
  frmViewMap* viewer = child<frmViewMap>();
  ASSERT_TRUE(viewer);
  expectTopic(10, viewer->Spread1, [&] { viewer->mnuHelp->trigger(); });
  viewer->close();
  settle();

  emit form->ui().mnuFile->aboutToShow();
  form->ui().mnuImport->trigger();
  settle();
  frmImport* import = child<frmImport>();
  ASSERT_TRUE(import);
  expectTopic(13, import->Spread1, [&] { import->mnuHelp->trigger(); });
  import->close();
  form->ui().mnuClose->trigger();
  settle();
  ASSERT_FALSE(frame->Toolbar1->isHidden());

  // The windows of the frame's other buttons.
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), [](QDialog& d) {
    auto& w = static_cast<frmCemeterySelect&>(d);
    w.List1->setCurrentRow(0);
    w.List1DblClick();
    return w.result();
  });
  frame->toolbarAction(QStringLiteral("MapEdit"))->trigger();
  settle();
  frmMapEdit* editor = child<frmMapEdit>();
  ASSERT_TRUE(editor);
  expectTopic(9, editor->ui().txtSection, [&] { editor->ui().mnuHelp->trigger(); });
  editor->close();
  settle();

  frame->toolbarAction(QStringLiteral("Reports"))->trigger();
  settle();
  frmReports* reports = child<frmReports>();
  ASSERT_TRUE(reports);
  expectTopic(11, reports);  // its Help is F1 alone
  reports->mnuClose->trigger();
  settle();

  msgs->expectModal(QStringLiteral("frmBackupRestore"), onModal([&](QDialog& d) {
                      auto& w = static_cast<frmBackupRestore&>(d);
                      expectTopic(12, w.Command1, [&] { w.Command3->click(); });
                    }));
  frame->toolbarAction(QStringLiteral("Archive"))->trigger();

  // The help file has each of these topics, and every link inside it leads to a topic it has.
  QFile file(QStringLiteral(ZEL_BUILD_DIR "/data/zel6.hlp"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString help = QString::fromUtf8(file.readAll());
  QSet<int> anchors;
  for (const auto& m : QRegularExpression(QStringLiteral("id=\"topic(\\d+)\"")).globalMatch(help))
    anchors.insert(m.captured(1).toInt());
  EXPECT_EQ(topics.size(), 12);
  for (int t : topics) EXPECT_TRUE(anchors.contains(t)) << "no help topic " << t;
  for (const auto& m : QRegularExpression(QStringLiteral("href=\"#topic(\\d+)\"")).globalMatch(help))
    EXPECT_TRUE(anchors.contains(m.captured(1).toInt()))
        << "a link to the missing topic " << m.captured(1).toStdString();

  // The tutorial carries its pictures inside: it is copied into data folders as one file.
  QFile tutorial(QStringLiteral(ZEL_BUILD_DIR "/data/zl-tutor.html"));
  ASSERT_TRUE(tutorial.open(QIODevice::ReadOnly));
  const QByteArray tutorialText = tutorial.readAll();
  EXPECT_FALSE(tutorialText.contains("src=\"images/")) << "a picture of docs/images is missing";
  EXPECT_TRUE(tutorialText.contains("src=\"data:image/png;base64,"));
}

}  // namespace
