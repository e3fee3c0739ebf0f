// zel_screen_tour DATA_FOLDER IMAGE_FOLDER
// Starts the program on a data folder (a fresh copy of the demo data) on a real X display, walks
// through every window as the tutorial does, and saves a picture of each into IMAGE_FOLDER. The
// windows are driven as the integration tests drive them; dialogs that the program runs modally
// are shown, filled and pictured by a message service of its own.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>

#include "core/history/History.h"
#include "core/program/Zel1.h"
#include "core/store/DateValue.h"
#include "gui/app/HelpViewer.h"
#include "gui/app/Startup.h"
#include "gui/app/ToolbarIcons.h"
#include "gui/app/frmSplash.h"
#include "gui/app/frm_Main.h"
#include "gui/backup/frmBackupRestore.h"
#include "gui/cemeteries/frmAddress.h"
#include "gui/cemeteries/frmCemeteryMgr.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/cemeteries/frmLotMgr.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/MessageService.h"
#include "gui/history/frmHistory.h"
#include "gui/history/frmRemovedRecords.h"
#include "gui/import/frmImport.h"
#include "gui/maps/frmMapEdit.h"
#include "gui/maps/frmViewMap.h"
#include "gui/records/frmDataEntry.h"
#include "gui/reports/frmReports.h"
#include "gui/search/frmFind.h"
#include "support/WindowDriver.h"

namespace {

QString g_images;
int g_failures = 0;

void fail(const QString& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "zel_screen_tour: %s\n", qPrintable(what));
  ++g_failures;
}

// Lets the windows lay themselves out and paint.
void pause(int ms = 350) { QTest::qWait(ms); }

// Saves the screen, or the part of it that a window covers: a dialog, or a child window inside the
// frame (given by the window inside it). Without a window manager a dialog has no caption of its
// own: its picture gets a plain bar with its title, so that the reader knows which it is.
void picture(const QString& name, QWidget* window = nullptr, int maxHeight = 0, int maxWidth = 0) {
  pause();
  QScreen* screen = QGuiApplication::primaryScreen();
  QPixmap shot = screen->grabWindow(0);
  if (window && !window->isWindow()) {
    QWidget* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()) ? window->parentWidget() : window;
    QRect r(sub->mapToGlobal(QPoint(0, 0)), sub->size());
    if (maxHeight > 0) r.setHeight(qMin(r.height(), maxHeight));
    if (maxWidth > 0) r.setWidth(qMin(r.width(), maxWidth));
    shot = shot.copy(r);
  } else if (window) {
    shot = shot.copy(window->frameGeometry());
    if (!window->windowTitle().isEmpty()) {
      QPixmap framed(shot.width(), shot.height() + 26);
      framed.fill(QColor(48, 140, 198));
      QPainter p(&framed);
      p.drawPixmap(0, 26, shot);
      QFont f = window->font();
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::white);
      p.drawText(QRect(0, 0, shot.width(), 26), Qt::AlignCenter, window->windowTitle());
      p.end();
      shot = framed;
    }
  }
  const QString file = QDir(g_images).filePath(name + QStringLiteral(".png"));
  if (!shot.save(file)) fail(QStringLiteral("cannot write ") + file);
  std::printf("%s\n", qPrintable(file));
}

// Without a window manager nobody hands the keyboard to a window: the tour does, so that fields
// see their focus come and go as they do for a user.
void activate(QWidget* window) {
  if (!window) return;
  window->activateWindow();
  QApplication::setActiveWindow(window);
  pause(100);
}

// Once the real message box that is about to open shows, pictures it and closes it with a key.
void whenBoxShows(const QString& name, bool wholeScreen, int tries = 20) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      if (tries > 0) whenBoxShows(name, wholeScreen, tries - 1);
      return;
    }
    activate(box);
    wholeScreen ? picture(name) : picture(name, box);
    QTest::keyClick(box, Qt::Key_Return);
  });
}

// The program's own message service, but the modal dialogs are handed to the tour: it fills one,
// pictures it and closes it. Message boxes are only written to the terminal; file choices take
// the next prepared answer.
class TourMessages : public RealMessageService {
 public:
  std::map<QString, std::deque<std::function<int(QDialog&)>>> dialogs;
  std::deque<QString> files;

  void information(const QString& text) override {
    std::printf("message: %s\n", qPrintable(text));
    std::fflush(stdout);
  }
  Answer question(const QString& text, bool) override {
    std::printf("question (answered No): %s\n", qPrintable(text));
    return Answer::No;
  }
  Answer questionWithCancel(const QString& text) override {
    std::printf("question (answered No): %s\n", qPrintable(text));
    return Answer::No;
  }
  // The message after the export and the date hint are pictured as they show.
  // The message after the export and the date hint are pictured as they show; the window below
  // gets the keyboard back as a window manager would give it.
  void fileWritten(const QString& text, const QString& file) override {
    information(text);
    QWidget* before = QApplication::activeWindow();
    whenBoxShows(QStringLiteral("export-message"), false);
    RealMessageService::fileWritten(text, file);
    activate(before);
  }
  void typingHint(const QString& text) override {
    information(text);
    QWidget* before = QApplication::activeWindow();
    whenBoxShows(QStringLiteral("record-date-hint"), true);
    RealMessageService::typingHint(text);
    activate(before);
  }
  // A file to write goes where the program suggests.
  QString saveFileName(const QString&, const QString& dir, const QString&, QString*) override { return dir; }
  QString openFileName(const QString&, const QString&, const QString&) override { return next(); }
  QString folderName(const QString&, const QString&) override { return next(); }
  bool choosePrinter(QPrinter&) override { return false; }
  int execModal(QDialog& dialog) override {
    auto& queue = dialogs[dialog.objectName()];
    if (queue.empty()) {
      fail(QStringLiteral("unexpected dialog ") + dialog.objectName());
      return QDialog::Rejected;
    }
    auto act = queue.front();
    queue.pop_front();
    QWidget* before = QApplication::activeWindow();
    dialog.show();
    activate(&dialog);
    const int result = act(dialog);
    dialog.close();
    activate(before);
    return result;
  }

 private:
  QString next() {
    if (files.empty()) return QString();
    QString f = files.front();
    files.pop_front();
    return f;
  }
};

// Chooses the named cemetery in the chooser by keyboard (arrow keys, then Enter), after picturing
// it when a name is given.
std::function<int(QDialog&)> keyChooser(const QString& cemetery, const QString& pictureName = QString()) {
  return [=](QDialog& d) {
    auto& w = static_cast<frmCemeterySelect&>(d);
    QTest::keyClick(w.List1, Qt::Key_Home);
    for (int i = 0; i < w.List1->count() && w.List1->currentItem()->text() != cemetery; ++i)
      QTest::keyClick(w.List1, Qt::Key_Down);
    if (w.List1->currentItem()->text() != cemetery) {
      fail(QStringLiteral("no cemetery ") + cemetery);
      return int(QDialog::Rejected);
    }
    if (!pictureName.isEmpty()) picture(pictureName, &w);
    QTest::keyClick(w.List1, Qt::Key_Return);
    if (w.isVisible()) fail(QStringLiteral("Enter did not choose in the cemetery chooser"));
    return w.result();
  };
}

// A date as the record form takes it (month or day first, after the date setting).
QString date(int y, int m, int d) { return DateValue::formatDisplay(QDate(y, m, d), ZEL1.DateDisplayFormat); }

class Tour {
 public:
  Tour(frm_Main& frame, TourMessages& msgs, const QString& data) : frame_(frame), msgs_(msgs), data_(data) {}

  void run() {
    picture(QStringLiteral("frame"));
    // The toolbar up to its last button, not the empty rest of the bar.
    const QList<QAction*> commands = frame_.Toolbar1->actions();
    QWidget* last = commands.isEmpty() ? nullptr : frame_.Toolbar1->widgetForAction(commands.last());
    picture(QStringLiteral("frame-toolbar"), frame_.Toolbar1, 0, last ? last->geometry().right() + 8 : 0);
    splash();
    managers();
    mapOfTheNewCemetery();
    newRecord();
    mapViewer();
    history();
    otherRecordWindows();
    demoMaps();
    reports();
    backup();
    help();
  }

 private:
  void press(const char* key) {
    ::press(frame_, key);
    pause();
  }
  template <class W>
  W* child() {
    W* w = frame_.mdiArea->findChild<W*>();
    if (!w) fail(QStringLiteral("a window did not open"));
    return w;
  }
  frmDataEntry* openForm() {
    press("DataEdit");
    return child<frmDataEntry>();
  }
  void closeChild(QWidget* w) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) sub->close();
    w->close();
    pause(100);
  }

  void splash() {
    frmSplash s;
    s.Timer1->stop();
    s.show();
    picture(QStringLiteral("splash"), &s);
  }

  // A new user's first cemetery and lot type, entered in the two managers of the record form. The
  // form opens from the keyboard: Alt and the button's letter.
  void managers() {
    QTest::keyClick(&frame_, Qt::Key_G, Qt::AltModifier);
    pause();
    frmDataEntry* form = child<frmDataEntry>();
    if (!form) return;
    msgs_.dialogs[QStringLiteral("frmCemeteryMgr")].push_back([](QDialog& d) {
      auto& w = static_cast<frmCemeteryMgr&>(d);
      type(w.fields().txtName, QStringLiteral("Riverside"));
      type(w.fields().txtAddr1, QStringLiteral("12 River Road"));
      type(w.fields().txtCity, QStringLiteral("Millbrook"));
      type(w.fields().txtState, QStringLiteral("NY"));
      type(w.fields().txtZipCode, QStringLiteral("12545"));
      type(w.fields().txtPhone, QStringLiteral("845-555-0142"));
      picture(QStringLiteral("cemetery-manager"), &w);
      w.ui().Command2->click();
      w.ui().Command1->click();
      return w.result();
    });
    form->ui().Command1->click();
    msgs_.dialogs[QStringLiteral("frmLotMgr")].push_back([](QDialog& d) {
      auto& w = static_cast<frmLotMgr&>(d);
      type(w.fields().txtLotDesc, QStringLiteral("Double"));
      type(w.fields().txtLotSize, QStringLiteral("8x8"));
      type(w.fields().txtLotPrice, QStringLiteral("1,975.50"));
      picture(QStringLiteral("lot-manager"), &w);
      w.ui().Command2->click();
      w.ui().Command1->click();
      return w.result();
    });
    form->ui().Command2->click();
    form->ui().mnuClose->trigger();
    pause(100);
  }

  // Two rows of three graves, A,1,1 to A,1,6, with a path below them.
  void mapOfTheNewCemetery() {
    msgs_.dialogs[QStringLiteral("frmCemeterySelect")].push_back(
        keyChooser(QStringLiteral("Riverside"), QStringLiteral("cemetery-selector")));
    press("MapEdit");
    frmMapEdit* editor = child<frmMapEdit>();
    if (!editor) return;
    editor->ui().Spread1->selectBlock(2, 2, 3, 4);
    editor->ui().Option1->setChecked(true);
    type(editor->ui().txtSection, QStringLiteral("A"));
    type(editor->ui().txtLot, QStringLiteral("1"));
    type(editor->ui().txtGrave, QStringLiteral("1"));
    editor->ui().Check1->setChecked(true);
    editor->ui().Command1->click();
    editor->ui().Spread1->selectBlock(4, 1, 4, 5);
    editor->ui().Option2->setChecked(true);
    editor->ui().Command1->click();
    editor->ui().Spread1->selectBlock(3, 3, 3, 3);
    emit editor->ui().Spread1->cellClicked(3, 3);
    picture(QStringLiteral("tutorial-map-editor"), editor, 300);
    editor->ui().mnuClose->trigger();
    pause(100);
  }

  void newRecord() {
    frmDataEntry* form = openForm();
    if (!form) return;
    form_ = form;
    choose(form->ui().txtCemetery, QStringLiteral("Riverside"));
    choose(form->ui().txtLotInfo, QStringLiteral("Double, 8x8"));
    type(form->ui().txtSection, QStringLiteral("A"));
    type(form->ui().txtLot, QStringLiteral("1"));
    type(form->ui().txtGrave, QStringLiteral("5"));
    type(form->ui().txtIntermentNum, QStringLiteral("1"));
    // A year alone is no date: the hint names the pattern.
    type(form->ui().txtIntermentDate, QStringLiteral("2024"));
    QTest::keyClick(form->ui().txtIntermentDate, Qt::Key_Tab);
    pause();
    pause(100);
    if (form->focusWidget() != form->ui().txtIntermentDate)
      fail(QStringLiteral("the date hint did not return"));
    type(form->ui().txtIntermentDate, date(2024, 1, 14));
    type(form->ui().txtInterredFirstName, QStringLiteral("Mary Ann"));
    type(form->ui().txtInterredLastName, QStringLiteral("O'Hara"));
    type(form->ui().txtDateOfBirth, date(1931, 3, 15));
    type(form->ui().txtDateOfDeath, date(2024, 1, 10));
    QTest::mouseClick(form->ui().txtAge, Qt::LeftButton);  // entering Age works it out from the two dates
    form->ui().txtFemale->click();
    type(form->ui().txtPurchaserFirstName, QStringLiteral("Sean"));
    type(form->ui().txtPurchaserLastName, QStringLiteral("O'Hara"));
    type(form->ui().txtPurchDate, date(2024, 1, 12));
    type(form->ui().txtBurialFee, QStringLiteral("350"));
    type(form->ui().txtPaid, QStringLiteral("1000"));
    type(form->ui().txtUndertaker, QStringLiteral("Millbrook Funeral Home"));
    msgs_.dialogs[QStringLiteral("frmAddress")].push_back([](QDialog& d) {
      auto& w = static_cast<frmAddress&>(d);
      type(w.ui().txtAddr1, QStringLiteral("48 Orchard Lane"));
      type(w.ui().txtCity, QStringLiteral("Millbrook"));
      type(w.ui().txtState, QStringLiteral("NY"));
      type(w.ui().txtZipCode, QStringLiteral("12545"));
      type(w.ui().txtPhone, QStringLiteral("845-555-0177"));
      picture(QStringLiteral("address"), &w);
      w.ui().Command1->click();
      return w.result();
    });
    form->ui().Command3->click();
    form->ui().txtRemarks->setFocus();
    picture(QStringLiteral("tutorial-record-new"), form);
    form->ui().mnuSave->trigger();
    picture(QStringLiteral("tutorial-record-saved"), form, 130);
  }

  // The new grave on the map of its cemetery, by keyboard only: File, MapView, the chooser, the
  // arrow keys to the grave, Close. Close brings the record back.
  void mapViewer() {
    if (!form_) return;
    form_->ui().mnuGetFirst->trigger();
    msgs_.dialogs[QStringLiteral("frmCemeterySelect")].push_back(keyChooser(QStringLiteral("Riverside")));
    form_->ui().txtSection->setFocus();
    QTest::keyClick(form_->ui().txtSection, Qt::Key_F, Qt::AltModifier);
    pause(200);
    if (QWidget* menu = QApplication::activePopupWidget())
      QTest::keyClick(menu, Qt::Key_M);
    else
      return fail(QStringLiteral("Alt+F did not open the File menu of the record form"));
    pause();
    frmViewMap* viewer = child<frmViewMap>();
    if (!viewer) return;
    QWidget* focus = QApplication::focusWidget();
    if (focus != viewer->Spread1) fail(QStringLiteral("the map viewer opened without the focus on the map"));
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right})
      QTest::keyClick(viewer->Spread1, k);
    if (viewer->txtLocation->text() != QLatin1String("A,1,5"))
      fail(QStringLiteral("the arrow keys reached ") + viewer->txtLocation->text() +
           QStringLiteral(", not A,1,5"));
    picture(QStringLiteral("tutorial-map-viewer"), viewer);
    QTest::keyClick(viewer->Spread1, Qt::Key_L, Qt::AltModifier);
    pause();
    if (frame_.mdiArea->findChild<frmViewMap*>()) {
      fail(QStringLiteral("Alt+L did not close the map viewer"));
      viewer->mnuClose->trigger();
      pause();
    }
    picture(QStringLiteral("tutorial-record-back"), form_);
  }

  // The new record changed once more, and its history: the adding, then the changed fields.
  void history() {
    if (!form_) return;
    type(form_->ui().txtRemarks, QStringLiteral("Headstone ordered"));
    type(form_->ui().txtPaid, QStringLiteral("1350"));
    form_->ui().txtSection->setFocus();
    form_->ui().mnuSave->trigger();
    pause();
    msgs_.dialogs[QStringLiteral("frmHistory")].push_back([](QDialog& d) {
      auto& w = static_cast<frmHistory&>(d);
      w.List1->selectRow(w.List1->rowCount() - 1);  // the adding, its contents below
      picture(QStringLiteral("history"), &w);
      return int(QDialog::Rejected);
    });
    QTest::keyClick(form_->ui().txtSection, Qt::Key_H, Qt::ControlModifier);
    // A demo burial removed, pictured in the list, and put back (under a new number) so that the
    // later pictures show the demo as it was.
    const QString burial = QStringLiteral("select max(recid) from zel where rtrim(interlastname)>''");
    RecordSet rs(&ZEL1.cnData);
    rs.open(burial);
    const qint64 removed = rs.eof() ? 0 : rs.field(0).toInt();
    rs.close();
    if (removed == 0 || !History::removeRow(ZEL1.cnData, QStringLiteral("zel"), removed))
      return fail(QStringLiteral("no demo burial to remove"));
    msgs_.dialogs[QStringLiteral("frmRemovedRecords")].push_back([](QDialog& d) {
      auto& w = static_cast<frmRemovedRecords&>(d);
      picture(QStringLiteral("removed-records"), &w);
      w.Command1->click();
      return w.result();
    });
    form_->ui().mnuRemoved->trigger();
  }

  // Find, export and import, from the record form.
  void otherRecordWindows() {
    if (!form_) return;
    // A demo grave with a buyer and a burial, as the form shows a stored record.
    ZEL1.PendingQuery = QStringLiteral(
        "select * from zel where status='B' and rtrim(ownerlastname)>'' and rtrim(interlastname)>'' and "
        "rtrim(undertaker)>'' order by recid");
    form_->FormActivate();
    picture(QStringLiteral("record-form"));
    msgs_.dialogs[QStringLiteral("frmFind")].push_back([](QDialog& d) {
      auto& w = static_cast<frmFind&>(d);
      w.findChild<QTabWidget*>(QStringLiteral("Tab1"))->setCurrentIndex(1);
      type(w.findChild<QLineEdit*>(QStringLiteral("txtInterredLastName")), QStringLiteral("O'H"));
      picture(QStringLiteral("find"), &w);
      return int(QDialog::Rejected);
    });
    form_->ui().mnuOpen->trigger();
    form_->ui().mnuExport->trigger();
    msgs_.files.push_back(data_ + QStringLiteral("zel.csv"));
    emit form_->ui().mnuFile->aboutToShow();
    form_->ui().mnuImport->trigger();
    pause();
    if (frmImport* import = child<frmImport>()) {
      import->mnuImportClick();
      picture(QStringLiteral("import"));
      closeChild(import);
    }
    form_->ui().mnuClose->trigger();
    form_ = nullptr;
    pause(100);
  }

  // The drawn demo map of the first demo cemetery, in the editor and in the viewer.
  void demoMaps() {
    msgs_.dialogs[QStringLiteral("frmCemeterySelect")].push_back(
        keyChooser(QStringLiteral("Hillcrest Cemetery")));
    press("MapEdit");
    if (frmMapEdit* editor = child<frmMapEdit>()) {
      if (auto* sub = qobject_cast<QMdiSubWindow*>(editor->parentWidget())) sub->showMaximized();
      editor->ui().Spread1->selectBlock(4, 2, 4, 2);
      emit editor->ui().Spread1->cellClicked(2, 4);
      picture(QStringLiteral("map-editor"));
      closeChild(editor);
    }
    frmDataEntry* form = openForm();
    if (!form) return;
    msgs_.dialogs[QStringLiteral("frmCemeterySelect")].push_back(
        keyChooser(QStringLiteral("Hillcrest Cemetery")));
    form->ui().mnuMapView->trigger();
    pause();
    if (frmViewMap* viewer = child<frmViewMap>()) {
      if (auto* sub = qobject_cast<QMdiSubWindow*>(viewer->parentWidget())) sub->showMaximized();
      // A place its cell cuts, whole in the line beside the colours.
      viewer->Spread1->setActiveCell(11, 11);
      emit viewer->Spread1->cellClicked(11, 11);
      picture(QStringLiteral("map-viewer"));
      closeChild(viewer);
    }
    form->ui().mnuClose->trigger();
    pause(100);
  }

  void reports() {
    auto report = [&](QAction* frmReports::*command, const QString& cemetery, const QString& name,
                      int height = 0) {
      press("Reports");
      frmReports* w = child<frmReports>();
      if (!w) return;
      if (name == QLatin1String("tutorial-report")) picture(QStringLiteral("reports-hint"), w, 160, 760);
      if (!cemetery.isEmpty())
        msgs_.dialogs[QStringLiteral("frmCemeterySelect")].push_back(keyChooser(cemetery));
      (w->*command)->trigger();
      if (height > 0)
        picture(name, w, height, 760);
      else
        picture(name);
      w->mnuClose->trigger();
      pause(100);
    };
    report(&frmReports::mnuLocationSort, QStringLiteral("Riverside"), QStringLiteral("tutorial-report"), 160);
    report(&frmReports::mnuAging, QStringLiteral("Hillcrest Cemetery"), QStringLiteral("report"));
    report(&frmReports::mnuAvailableGraves, QStringLiteral("Hillcrest Cemetery"),
           QStringLiteral("report-available-graves"));
  }

  void backup() {
    const QString folder = QDir::homePath() + QStringLiteral("/Backups");
    QDir().mkpath(folder);
    msgs_.dialogs[QStringLiteral("frmBackupRestore")].push_back([folder](QDialog& d) {
      auto& w = static_cast<frmBackupRestore&>(d);
      w.Option2->click();
      picture(QStringLiteral("restore"), &w);
      w.Option1->click();
      w.setTargetFolder(folder);
      picture(QStringLiteral("backup"), &w);
      w.Command1->click();
      return int(QDialog::Rejected);
    });
    press("Archive");
  }

  void help() {
    frame_.showHelpTopic(3);
    picture(QStringLiteral("help"), frame_.CD1);
    frame_.CD1->close();
    // The tutorial as the help viewer shows it when there is no web browser.
    frame_.CD1->HelpFile = data_ + QStringLiteral("zl-tutor.html");
    frame_.CD1->HelpContextId = 0;
    frame_.CD1->ShowHelp();
    frame_.CD1->setWindowTitle(QStringLiteral("Zelmora Tutorial"));
    picture(QStringLiteral("tutorial-in-help-viewer"), frame_.CD1);
    frame_.CD1->close();
  }

  frm_Main& frame_;
  TourMessages& msgs_;
  QString data_;
  frmDataEntry* form_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("zel"));
  QApplication::setApplicationName(QStringLiteral("zel"));
  setProgramIcon();
  if (argc != 3) {
    std::fprintf(stderr, "usage: zel_screen_tour DATA_FOLDER IMAGE_FOLDER\n");
    return 2;
  }
  QString data = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
  g_images = QString::fromLocal8Bit(argv[2]);
  setFailureHandler([](const std::string& what) { fail(QString::fromStdString(what)); });
  QDir().mkpath(g_images);

  TourMessages msgs;
  setMessageService(&msgs);
  frm_Main frame;
  frame.settingsFile = data + QStringLiteral("placement.ini");
  connectWindows(frame);
  Startup::Options options;
  options.commandLine = data;
  options.lockFile = data + QStringLiteral("zelmora.lock");
  // Month first, as the tutorial's examples; ZEL_TOUR_DAY_FIRST=1 walks it as a day-first user.
  options.datePattern = qEnvironmentVariableIntValue("ZEL_TOUR_DAY_FIRST") ? QStringLiteral("d/M/yyyy")
                                                                           : QStringLiteral("M/d/yyyy");
  Startup startup(options);
  if (startup.run(frame) != Startup::Outcome::Running) {
    std::fprintf(stderr, "zel_screen_tour: the program did not start on %s\n", qPrintable(data));
    return 1;
  }
  frame.show();
  activate(&frame);
  frame.FormActivate();
  pause(800);

  Tour(frame, msgs, data).run();
  frame.close();
  setMessageService(nullptr);
  return g_failures == 0 ? 0 : 1;
}
