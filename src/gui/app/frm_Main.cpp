#include "gui/app/frm_Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <memory>

#include "core/history/History.h"
#include "core/program/Zel1.h"
#include "core/program/Zel2.h"
#include "core/store/DbError.h"
#include "gui/app/HelpViewer.h"
#include "gui/app/ToolbarIcons.h"
#include "gui/app/frmSplash.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/ReadOnly.h"

namespace {

const char* const kTutorialQuestion =
    "Would you like to view the online tutorial instead of the help documentation?\n\n"
    "If you answer YES, you will need a web browser installed to be able to view the documentation. "
    "If you answer NO, no additional software is required to view the information.";

const char* const kNoCemetery =
    "You have not created any cemeteries. "
    "In order to create a map you must have a cemetery to associate it with.";

struct ButtonDef {
  const char* key;
  const char* text;  // with its mnemonic
};

const ButtonDef kButtons[] = {
    {"DataEdit", "&Grave records"},
    {"MapEdit", "Cemetery &maps"},
    {"Reports", "&Reports"},
    {nullptr, nullptr},
    {"Archive", "&Backup and restore"},
    {"Help", "&Help"},
    {nullptr, nullptr},
    {"Exit", "E&xit"},
};

// Return presses a focused toolbar button, as Space does; the frame's menu bar shows and hides
// with the toolbar (told even while the frame itself is hidden).
class ToolbarKeys : public QObject {
 public:
  using QObject::QObject;
  QWidget* menu = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent) {
      if (qobject_cast<QToolBar*>(watched)) menu->setVisible(e->type() == QEvent::ShowToParent);
    } else if (e->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (auto* b = qobject_cast<QToolButton*>(watched)) {
          b->click();
          return true;
        }
      }
    }
    return QObject::eventFilter(watched, e);
  }
};

std::unique_ptr<QSettings> placementSettings(const QString& file) {
  if (!file.isEmpty()) return std::make_unique<QSettings>(file, QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zel"),
                                     QStringLiteral("zel"));
}

}  // namespace

namespace {
frm_Main* g_instance = nullptr;
}

frm_Main* frm_Main::instance() { return g_instance; }

frm_Main::frm_Main(QWidget* parent) : QMainWindow(parent) {
  g_instance = this;
  setObjectName(QStringLiteral("frm_Main"));
  setWindowTitle(QStringLiteral("Zelmora"));

  mdiArea = new QMdiArea(this);
  mdiArea->setObjectName(QStringLiteral("mdiArea"));
  mdiArea->setBackground(QColor(128, 128, 128));
  setCentralWidget(mdiArea);

  Toolbar1 = new QToolBar(this);
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setMovable(false);
  Toolbar1->setFloatable(false);
  Toolbar1->setIconSize(QSize(32, 32));
  Toolbar1->toggleViewAction()->setEnabled(false);  // no way to hide it by hand
  // Words under the icons, and buttons that Tab reaches and Space, Return or Alt+letter press.
  Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  mnuCommands = menuBar()->addMenu(QStringLiteral("&Commands"));
  mnuCommands->setObjectName(QStringLiteral("mnuCommands"));
  auto* keys = new ToolbarKeys(this);
  keys->menu = menuBar();
  Toolbar1->installEventFilter(keys);
  for (const ButtonDef& b : kButtons) {
    if (!b.key) {
      Toolbar1->addSeparator();
      mnuCommands->addSeparator();
      continue;
    }
    const QString key = QString::fromLatin1(b.key);
    QAction* a = Toolbar1->addAction(toolbarIcon(key), QString::fromLatin1(b.text));
    a->setObjectName(key);
    a->setIconText(a->text());  // the button keeps the mnemonic too
    a->setToolTip(QString::fromLatin1(b.text).remove(QLatin1Char('&')));
    connectCommand(a, &QAction::triggered, this, [this, key] { Toolbar1ButtonClick(key); });
    if (QWidget* button = Toolbar1->widgetForAction(a)) {
      button->setFocusPolicy(Qt::StrongFocus);
      button->installEventFilter(keys);
    }
    // The menu's entries run the same commands and carry the same letters.
    mnuCommands->addAction(a);
  }
  addToolBar(Qt::TopToolBarArea, Toolbar1);
  focusToolbar();

  // F1 is the frame's own topic while its toolbar shows; a child window inside has its own F1.
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, Toolbar1);
  connectCommand(helpKey, &QShortcut::activated, this, [this] { showHelpTopic(1); });
  setContextMenuPolicy(Qt::NoContextMenu);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusPanel1 = new QLabel(StatusBar1);
  StatusPanel1->setObjectName(QStringLiteral("Panel1"));
  StatusBar1->addWidget(StatusPanel1, 1);
  setStatusBar(StatusBar1);

  CD1 = new HelpViewer(this);
  RealMessageService::setHelpHandler([](int topic) {
    if (frm_Main* frame = instance()) {
      frame->CD1->HelpFile = ZEL1.dataFile(QStringLiteral("zel6.hlp"));
      frame->CD1->HelpContextId = topic;
      frame->CD1->HelpCommandId = HelpViewer::HelpContext;
      frame->CD1->ShowHelp();
      frame->CD1->setWindowTitle(QStringLiteral("Zelmora Help"));
    }
  });

  resize(800, 600);
}

frm_Main::~frm_Main() {
  if (g_instance == this) g_instance = nullptr;
  // Child windows go while the frame is still whole: their "gone" handlers look at it.
  destroying_ = true;
  delete mdiArea;
  mdiArea = nullptr;
}

QAction* frm_Main::toolbarAction(const QString& key) const { return Toolbar1->findChild<QAction*>(key); }

void frm_Main::focusToolbar() {
  if (QWidget* first = Toolbar1->widgetForAction(toolbarAction(QStringLiteral("DataEdit"))))
    first->setFocus();
}

void frm_Main::setWindows(std::unique_ptr<FrameWindows> windows) { windows_ = std::move(windows); }

void frm_Main::end(int code) {
  ending_ = true;
  emit programEnds(code);
}

void frm_Main::Toolbar1ButtonClick(const QString& key) {
  // The commands have no error handling of their own: a failure is shown and the command dropped.
  try {
    if (key == QLatin1String("DataEdit"))
      DataEditClick();
    else if (key == QLatin1String("MapEdit"))
      MapEditClick();
    else if (key == QLatin1String("Reports"))
      ReportsClick();
    else if (key == QLatin1String("Archive"))
      ArchiveClick();
    else if (key == QLatin1String("Help"))
      HelpClick();
    else if (key == QLatin1String("Exit"))
      ExitClick();
  } catch (const std::exception& e) {
    if (!hasChildWindows()) Toolbar1->setVisible(true);
    showFailure(e);
  }
}

bool frm_Main::hasChildWindows() const {
  for (QMdiSubWindow* w : mdiArea->subWindowList())
    if (!w->isHidden()) return true;
  return false;
}

QMdiSubWindow* frm_Main::showChild(QWidget* child, bool maximised) {
  if (!child) {
    Toolbar1->setVisible(true);
    return nullptr;
  }
  child->setAttribute(Qt::WA_DeleteOnClose);
  QMdiSubWindow* sub = mdiArea->addSubWindow(child);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  // Held as a plain widget: the child can go while its sub-window is already being destroyed,
  // and then the sub-window is no longer a QMdiSubWindow (its close does nothing by then).
  QPointer<QWidget> guard = sub;
  // The toolbar comes back when the child is gone, however it was closed.
  auto gone = [this, guard] {
    if (destroying_) return;
    if (guard) guard->close();
    if (hasChildWindows()) return;
    Toolbar1->setVisible(true);
    focusToolbar();
  };
  connect(child, &QObject::destroyed, this, gone);
  connect(sub, &QObject::destroyed, this, gone);
  child->show();
  if (maximised)
    sub->showMaximized();
  else
    sub->show();
  return sub;
}

void frm_Main::DataEditClick() {
  Toolbar1->setVisible(false);
  QCoreApplication::processEvents();
  showChild(windows_->makeDataEntry());
}

void frm_Main::MapEditClick() {
  if (!settleCemetery(QString::fromLatin1(kNoCemetery), [this] { return windows_->chooseCemetery(); }))
    return;
  Toolbar1->setVisible(false);
  QCoreApplication::processEvents();
  showChild(windows_->makeMapEditor());
}

void frm_Main::ReportsClick() {
  Toolbar1->setVisible(false);
  QCoreApplication::processEvents();
  showChild(windows_->makeReports(), true);
}

void frm_Main::ArchiveClick() {
  emit backupRestoreWanted();
  // The window could not give the database back: the program cannot go on.
  if (ZEL1.RestoreOnly) end(0);
}

void frm_Main::HelpClick() {
  if (messages().question(QString::fromLatin1(kTutorialQuestion), false) != MessageService::Answer::Yes)
    return showHelpTopic(1);
  const QString tutorial = ZEL1.dataFile(QStringLiteral("zl-tutor.html"));
  if (messages().openDocument(tutorial)) return;
  // No web browser: the help viewer reads HTML too.
  if (QFile::exists(tutorial)) {
    CD1->HelpFile = tutorial;
    CD1->HelpContextId = 0;
    CD1->ShowHelp();
    CD1->setWindowTitle(QStringLiteral("Zelmora Tutorial"));
  } else {
    messages().information(
        QStringLiteral("No web browser was found, and the tutorial %1 cannot be found either.")
            .arg(QDir::toNativeSeparators(tutorial)));
  }
}

void frm_Main::ExitClick() { close(); }

void frm_Main::showHelpTopic(int topic) { messages().showHelp(topic); }

void frm_Main::FormActivate() {
  if (activating_ || ending_) return;  // a message box of these steps re-activates the frame when it closes
  activating_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{activating_};

  if (splash) splash->close();
  QCoreApplication::processEvents();
  if (ZEL1.StartupFailed) {
    end(1);
    return;
  }
  if (ZEL1.RestoreOnly) {
    QCoreApplication::processEvents();
    emit backupRestoreWanted();
    end(0);
    return;
  }
  const QString marker = ZEL1.dataFile(QStringLiteral("fixdates.dat"));
  // Records that may only be read wait for a run that may change them.
  if (patchedThisRun_ || !QFile::exists(marker) || !ZEL1.cnData.isOpen() || !readOnlyReason().isEmpty())
    return;
  patchedThisRun_ = true;
  try {
    // Both statements or neither: a half-applied repair would be run again over newer edits.
    ZEL1.cnData.beginTransaction();
    History::updateRecords(ZEL1.cnData, QStringLiteral("status='S'"),
                           QStringLiteral("rtrim(ownerlastname)>'' or rtrim(ownerfirstname)>''"));
    History::updateRecords(ZEL1.cnData, QStringLiteral("status='B'"),
                           QStringLiteral("rtrim(interlastname)>'' or rtrim(interfirstname)>''"));
    ZEL1.cnData.commit();
  } catch (const DbError& e) {
    ZEL1.cnData.rollback();
    showFailure(e);
    return;
  }
  QFile::remove(marker);
  messages().information(QStringLiteral("Patch Applied."));
}

void frm_Main::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void frm_Main::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (ZEL1.StartupFailed) end(1);
}

void frm_Main::closeEvent(QCloseEvent* event) {
  // Child windows close first, while the database is still open, so that they can still save
  // or refuse; one that refuses keeps the program running.
  mdiArea->closeAllSubWindows();
  if (hasChildWindows()) {
    event->ignore();
    return;
  }
  CD1->close();
  storePlacement();
  ZEL1.rsRecords.close();
  const bool hadDatabase = ZEL1.cnData.isOpen();
  ZEL1.cnData.close();
  // The files are whole now that nothing holds them open.
  if (hadDatabase) emit databaseClosed();
  event->accept();
}

void frm_Main::restorePlacement() {
  auto settings = placementSettings(settingsFile);
  QSettings& s = *settings;
  s.beginGroup(QStringLiteral("window"));
  bool ok = false;
  int state = s.value(QStringLiteral("state"), QStringLiteral("2")).toString().toInt(&ok);
  if (!ok || state < 0 || state > 2) state = 2;
  if (state == 0) {
    const double twipsPerPixel = 1440.0 / logicalDpiX();
    const double twipsPerPixelY = 1440.0 / logicalDpiY();
    auto read = [&](const char* key, int currentPixels, double perPixel) {
      bool good = false;
      const float twips = s.value(QLatin1String(key)).toString().toFloat(&good);
      return good ? int(qRound(twips / perPixel)) : currentPixels;
    };
    const int left = read("left", pos().x(), twipsPerPixel);
    const int top = read("top", pos().y(), twipsPerPixelY);
    const int width = read("width", size().width(), twipsPerPixel);
    const int height = read("height", size().height(), twipsPerPixelY);
    // A place on a screen that is no longer there would put the window out of reach.
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens())
      onScreen = onScreen || screen->availableGeometry().intersects(QRect(left, top, width, height));
    if (onScreen) move(left, top);
    resize(width, height);
    setWindowState(Qt::WindowNoState);
  } else {
    // Without a window manager nobody acts on the maximised state: the window is given the
    // screen's size itself, which a window manager then simply keeps.
    if (state == 2)
      if (QScreen* s = screen()) setGeometry(s->availableGeometry());
    setWindowState(state == 1 ? Qt::WindowMinimized : Qt::WindowMaximized);
  }
}

void frm_Main::storePlacement() {
  const Qt::WindowStates ws = windowState();
  const int state = ws.testFlag(Qt::WindowMinimized) ? 1 : ws.testFlag(Qt::WindowMaximized) ? 2 : 0;
  QList<std::pair<QString, QString>> values;
  if (state == 0) {
    const double twipsPerPixel = 1440.0 / logicalDpiX();
    const double twipsPerPixelY = 1440.0 / logicalDpiY();
    auto text = [](double twips) { return QString::number(float(twips)); };
    values = {{QStringLiteral("top"), text(pos().y() * twipsPerPixelY)},
              {QStringLiteral("left"), text(pos().x() * twipsPerPixel)},
              {QStringLiteral("width"), text(size().width() * twipsPerPixel)},
              {QStringLiteral("height"), text(size().height() * twipsPerPixelY)}};
  }
  values.append({QStringLiteral("state"), QString::number(state)});
  try {
    ZEL2::writeSettings(settingsFile.isEmpty() ? ZEL2::userSettingsFile() : settingsFile,
                        QStringLiteral("window"), values);
  } catch (const DbError& e) {
    showFailure(e);
  }
}
