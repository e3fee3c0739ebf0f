#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;
class QToolBar;
class HelpViewer;
class frmSplash;

// The windows that the frame opens from its toolbar, made elsewhere: the program's own
// (connectWindows) or a test's stand-ins. The frame asks; nothing here opens anything.
class FrameWindows {
 public:
  virtual ~FrameWindows() = default;
  // Each returns the new child window (not yet shown), which the frame shows inside itself with
  // the toolbar hidden until it is gone; nullptr opens nothing.
  virtual QWidget* makeDataEntry() { return nullptr; }
  virtual QWidget* makeMapEditor() { return nullptr; }  // on ZEL1.CurrentCemeteryId
  virtual QWidget* makeReports() { return nullptr; }
  // The cemetery chooser, shown modally: true when a cemetery was chosen (ZEL1.CurrentCemeteryId).
  virtual bool chooseCemetery() { return false; }
};

// The frame window: a toolbar of commands, the child windows inside, the help viewer, and the
// window placement kept between runs.
class frm_Main : public QMainWindow {
  Q_OBJECT
 public:
  explicit frm_Main(QWidget* parent = nullptr);
  ~frm_Main() override;

  QToolBar* Toolbar1 = nullptr;
  QMenu* mnuCommands = nullptr;  // the toolbar's commands as a menu
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanel1 = nullptr;  // the status bar's one panel
  QMdiArea* mdiArea = nullptr;
  HelpViewer* CD1 = nullptr;

  // Where the toolbar's windows come from; none open until it is set.
  void setWindows(std::unique_ptr<FrameWindows> windows);

  // Toolbar commands, dispatched by the button's key.
  void Toolbar1ButtonClick(const QString& key);
  void DataEditClick();
  void MapEditClick();
  void ReportsClick();
  void ArchiveClick();
  void HelpClick();
  void ExitClick();

  // The help operation every window uses: the help file of the data folder at a topic number.
  void showHelpTopic(int topic);
  // Runs the activation steps (also run by every activation of the window).
  void FormActivate();

  // Shows a child window inside the frame; once no child window is left the toolbar shows again.
  // nullptr only shows the toolbar again.
  QMdiSubWindow* showChild(QWidget* child, bool maximised = false);

  // True while a child window is open inside the frame.
  bool hasChildWindows() const;

  // The frame of this run (the latest made), for windows that open child windows inside it.
  static frm_Main* instance();

  // Window placement in the per-user settings (twips, as text). settingsFile replaces the
  // per-user store with a file of its own (tests).
  QString settingsFile;
  void restorePlacement();
  void storePlacement();

  // The splash shown during start-up; closed by the first activation if still open.
  QPointer<frmSplash> splash;

  QAction* toolbarAction(const QString& key) const;

 signals:
  // The backup and restore window, to be shown modally (also in restore-only mode). When it leaves
  // ZEL1.RestoreOnly set, the program ends.
  void backupRestoreWanted();
  // A closing frame that had the database open has closed it (the automatic backup runs then).
  void databaseClosed();
  // The program is to end with this code (the program's main loop listens; tests note it).
  void programEnds(int exitCode);

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void end(int code);
  void focusToolbar();
  std::unique_ptr<FrameWindows> windows_ = std::make_unique<FrameWindows>();
  bool activating_ = false;
  bool ending_ = false;
  bool destroying_ = false;
  bool patchedThisRun_ = false;
};
