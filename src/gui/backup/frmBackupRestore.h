#pragma once

#include <QDateTime>
#include <QDialog>
#include <functional>
#include <memory>

#include "core/backup/AutoBackup.h"

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QTreeView;
class PictureBox;
namespace Ui {
class frmBackupRestore;
}

// The backup and restore window: a verified zip archive of the data files in a chosen folder, or
// the data files put back from such an archive; also the settings of the automatic backups. In
// restore-only mode (ZEL1.RestoreOnly) it offers only the restore.
class frmBackupRestore : public QDialog {
  Q_OBJECT
 public:
  // settingsFile replaces the per-user settings store (tests).
  explicit frmBackupRestore(QWidget* parent = nullptr, const QString& settingsFile = QString());
  ~frmBackupRestore() override;

  QLabel* Label1 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QRadioButton* Option1 = nullptr;
  QRadioButton* Option2 = nullptr;
  QComboBox* Drive1 = nullptr;
  QTreeView* Dir1 = nullptr;
  QListWidget* List1 = nullptr;
  QLabel* Label2 = nullptr;
  PictureBox* Picture1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;

  QGroupBox* fraAutoBackup = nullptr;
  QCheckBox* chkAutoBackup = nullptr;
  QSpinBox* txtKeep = nullptr;
  QLineEdit* txtAutoFolder = nullptr;
  QPushButton* cmdAutoFolder = nullptr;
  QLabel* lblLastBackup = nullptr;

  void Option1Click();
  void Option2Click();
  void Drive1Change();
  void Command1Click();
  void Command2Click();
  void Command3Click();
  void cmdAutoFolderClick();
  void Zip1Progress(double fraction);

  // The folder chosen in Dir1; choosing one also chooses its volume in Drive1.
  QString targetFolder() const;
  void setTargetFolder(const QString& folder);

  // Opens the window modally over parent.
  static void open(QWidget* parent, const QString& settingsFile);
  // The automatic backup of a closing program, when it is switched on. Progress shows in the
  // status bar; a failure is shown, and never keeps the program from closing.
  static void backUpOnClose(QStatusBar* bar, const QString& settingsFile);
  // The time used for archive names; tests set their own.
  static std::function<QDateTime()>& clock();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void runOperation();
  void saveAutoSettings();
  void showLastBackup();

  QString settingsFile_;
  AutoBackup::Settings auto_;
  std::unique_ptr<Ui::frmBackupRestore> ui_;
  QFileSystemModel* dirModel_ = nullptr;
  QString chosenFolder_;  // the folder the user chose, even after it went away
  bool running_ = false;
  bool centred_ = false;
  int shownPercent_ = -1;
};
