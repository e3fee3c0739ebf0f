#include "gui/backup/frmBackupRestore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTreeView>

#include "core/backup/DataBackup.h"
#include "core/backup/Volumes.h"
#include "core/program/Zel1.h"
#include "core/store/Connection.h"
#include "core/store/DateValue.h"
#include "core/store/DbError.h"
#include "gui/backup/DrawProgress.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/ReadOnly.h"
#include "ui_frmBackupRestore.h"

namespace {

const char* const kZipped = "File(s) succesfully zipped.";
const char* const kRestored = "File(s) succesfully restored.";
constexpr int kHelpTopic = 12;

QString stampText(const QDateTime& when) {
  if (!when.isValid()) return QStringLiteral("none yet");
  const QString date = ZEL1.DateDisplayFormat.isEmpty()
                           ? DateValue::toIso(when.date())
                           : DateValue::formatDisplay(when.date(), ZEL1.DateDisplayFormat);
  return date + QLatin1Char(' ') + when.toString(QStringLiteral("HH:mm"));
}

}  // namespace

std::function<QDateTime()>& frmBackupRestore::clock() {
  static std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
  return now;
}

frmBackupRestore::frmBackupRestore(QWidget* parent, const QString& settingsFile)
    : QDialog(parent),
      settingsFile_(settingsFile),
      auto_(AutoBackup::load(ZEL1.DataPath, settingsFile)),
      ui_(std::make_unique<Ui::frmBackupRestore>()) {
  ui_->setupUi(this);
  Label1 = ui_->Label1;
  Frame1 = ui_->Frame1;
  Option1 = ui_->Option1;
  Option2 = ui_->Option2;
  Drive1 = ui_->Drive1;
  Dir1 = ui_->Dir1;
  List1 = ui_->List1;
  Label2 = ui_->Label2;
  Picture1 = ui_->Picture1;
  Command1 = ui_->Command1;
  Command2 = ui_->Command2;
  Command3 = ui_->Command3;
  fraAutoBackup = ui_->fraAutoBackup;
  chkAutoBackup = ui_->chkAutoBackup;
  txtKeep = ui_->txtKeep;
  txtAutoFolder = ui_->txtAutoFolder;
  cmdAutoFolder = ui_->cmdAutoFolder;
  lblLastBackup = ui_->lblLastBackup;

  dirModel_ = new QFileSystemModel(this);
  dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  dirModel_->setReadOnly(true);
  Dir1->setModel(dirModel_);
  connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current, const QModelIndex& previous) {
            // A folder that disappears moves the current row to a neighbour: that is not the user's
            // choice, and the chosen folder stays the one that went away.
            if (previous.isValid() && !QFileInfo::exists(dirModel_->filePath(previous))) return;
            if (current.isValid()) chosenFolder_ = dirModel_->filePath(current);
          });
  // The model reads folders in the background: the chosen folder is brought into view again as
  // each folder on its way is read.
  connect(dirModel_, &QFileSystemModel::directoryLoaded, this, [this] {
    if (Dir1->currentIndex().isValid())
      Dir1->scrollTo(Dir1->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  for (int c = 1; c < dirModel_->columnCount(); ++c) Dir1->hideColumn(c);
  List1->hide();  // emptied when an operation starts; shows nothing
  txtKeep->setRange(1, AutoBackup::kMaxKeep);
  Picture1->hide();
  addHelpKey(this, kHelpTopic);

  // The drives and folders start at the user's home.
  const QString home = QDir::homePath();
  for (const Volumes::Volume& v : Volumes::list(home)) Drive1->addItem(v.text(), v.rootPath);
  setTargetFolder(home);

  chkAutoBackup->setChecked(auto_.enabled);
  txtKeep->setValue(auto_.keep);
  txtAutoFolder->setText(QDir::toNativeSeparators(AutoBackup::folder(auto_, ZEL1.DataPath)));
  showLastBackup();

  connectCommand(Option1, &QRadioButton::clicked, this, &frmBackupRestore::Option1Click);
  connectCommand(Option2, &QRadioButton::clicked, this, &frmBackupRestore::Option2Click);
  connectCommand(Drive1, &QComboBox::activated, this, &frmBackupRestore::Drive1Change);
  connectCommand(Command1, &QPushButton::clicked, this, &frmBackupRestore::Command1Click);
  connectCommand(Command2, &QPushButton::clicked, this, &frmBackupRestore::Command2Click);
  connectCommand(Command3, &QPushButton::clicked, this, &frmBackupRestore::Command3Click);
  connectCommand(cmdAutoFolder, &QPushButton::clicked, this, &frmBackupRestore::cmdAutoFolderClick);
  connectCommand(chkAutoBackup, &QCheckBox::toggled, this, &frmBackupRestore::saveAutoSettings);
  connectCommand(txtKeep, &QSpinBox::valueChanged, this, &frmBackupRestore::saveAutoSettings);

  Option1->setChecked(true);
  Option1Click();
  if (ZEL1.RestoreOnly) {
    Option1->hide();
    fraAutoBackup->hide();  // there is nothing to back up
    Option2->setChecked(true);
    Option2Click();
  } else if (!readOnlyReason().isEmpty()) {
    // Backing up reads the records; a restore would replace them.
    showReadOnly(this, {Option2});
  }
}

frmBackupRestore::~frmBackupRestore() = default;

void frmBackupRestore::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (centred_) return;
  centred_ = true;
  // The wrapped explanation makes the height depend on the width, which the window's minimum size
  // does not follow by itself: without this a small screen squeezes the controls over each other.
  const int w = qMax(width(), minimumSizeHint().width());
  const int preferred = layout()->totalHeightForWidth(w);
  const int treeSlack = Dir1->isVisible() ? Dir1->sizeHint().height() - Dir1->minimumHeight() : 0;
  setMinimumHeight(preferred - qMax(0, treeSlack));
  int h = preferred;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect s = screen->availableGeometry();
    h = qMax(minimumHeight(), qMin(preferred, s.height() - (frameGeometry().height() - height())));
    resize(w, h);
    move(s.x() + (s.width() - frameGeometry().width()) / 2,
         s.y() + (s.height() - frameGeometry().height()) / 2);
  }
}

void frmBackupRestore::reject() {
  if (running_) return;  // an operation runs to its end
  QDialog::reject();
}

void frmBackupRestore::Option1Click() {
  ui_->driveLabel->show();
  Drive1->show();
  Dir1->show();
  Label2->hide();
}

void frmBackupRestore::Option2Click() {
  ui_->driveLabel->hide();
  Drive1->hide();
  Dir1->hide();
  Label2->show();
}

void frmBackupRestore::Drive1Change() {
  const QString root = Drive1->currentData().toString();
  if (root.isEmpty()) return;
  Dir1->setRootIndex(dirModel_->setRootPath(root));
  chosenFolder_ = root;
  Dir1->setCurrentIndex(Dir1->rootIndex());
}

QString frmBackupRestore::targetFolder() const {
  if (!chosenFolder_.isEmpty()) return chosenFolder_;
  return Drive1->currentData().toString();
}

void frmBackupRestore::setTargetFolder(const QString& folder) {
  const QString path = QFileInfo(folder).absoluteFilePath();
  std::vector<Volumes::Volume> volumes;
  for (int i = 0; i < Drive1->count(); ++i)
    volumes.push_back({Drive1->itemData(i).toString(), QString(), false});
  const int drive = Volumes::indexOf(volumes, path);
  const QString root = drive >= 0 ? volumes[size_t(drive)].rootPath : QStringLiteral("/");
  if (drive >= 0) Drive1->setCurrentIndex(drive);
  Dir1->setRootIndex(dirModel_->setRootPath(root));
  chosenFolder_ = path;
  const QModelIndex index = dirModel_->index(path);
  if (!index.isValid()) return;
  Dir1->setCurrentIndex(index);
  Dir1->scrollTo(index);
  Dir1->expand(index);
}

void frmBackupRestore::Command2Click() { reject(); }

void frmBackupRestore::Command3Click() { messages().showHelp(kHelpTopic); }

void frmBackupRestore::cmdAutoFolderClick() {
  const QString chosen = messages().folderName(QStringLiteral("Folder for automatic backups"),
                                               AutoBackup::folder(auto_, ZEL1.DataPath));
  if (chosen.isEmpty()) return;
  // The data folder's own "backups" folder is kept as the default, so that it follows the data.
  const QString folder = QDir::cleanPath(chosen);
  auto_.folder = folder == QDir::cleanPath(AutoBackup::defaultFolder(ZEL1.DataPath)) ? QString() : folder;
  txtAutoFolder->setText(QDir::toNativeSeparators(AutoBackup::folder(auto_, ZEL1.DataPath)));
  saveAutoSettings();
}

void frmBackupRestore::saveAutoSettings() {
  // The last backup's time is the closing program's to write; keep what is stored now.
  const QDateTime last = AutoBackup::load(ZEL1.DataPath, settingsFile_).last;
  auto_.enabled = chkAutoBackup->isChecked();
  auto_.keep = txtKeep->value();
  auto_.last = last;
  AutoBackup::save(auto_, ZEL1.DataPath, settingsFile_);
}

void frmBackupRestore::showLastBackup() {
  lblLastBackup->setText(QStringLiteral("Last automatic backup: ") + stampText(auto_.last));
}

void frmBackupRestore::Zip1Progress(double fraction) {
  const int percent = progressPercent(float(fraction));
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  DrawProgress(Picture1, float(fraction));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmBackupRestore::Command1Click() {
  if (running_) return;
  running_ = true;
  ZEL1.cnData.close();  // the files are copied or replaced whole, with nothing holding them open
  List1->clear();
  Command1->hide();
  Command2->hide();
  try {
    runOperation();
  } catch (const std::exception& e) {
    Picture1->hide();
    showFailure(e);
  }
  if (!ZEL1.RestoreOnly) {
    try {
      openProgramDatabase(ZEL1.cnData, ZEL1.dataFile(QStringLiteral("zel.mdb")));
    } catch (const std::exception& e) {
      // Without its database the program cannot go on: it ends when this window closes.
      showFailure(e);
      ZEL1.RestoreOnly = true;
    }
  }
  running_ = false;
  accept();
}

void frmBackupRestore::runOperation() {
  const auto progress = [this](double f) { Zip1Progress(f); };
  shownPercent_ = -1;
  if (Option1->isChecked()) {
    // A folder that went away after it was chosen is refused by its name, never replaced by another.
    const QString folder = targetFolder();
    if (!QFileInfo(folder).isDir()) {
      messages().information(DataBackup::outcomeText(
          {DataBackup::FolderGone,
           QStringLiteral("The folder %1 does not exist any more: the backup was not made.").arg(folder),
           QString(),
           {},
           {}},
          QString()));
      return;
    }
    Picture1->show();
    Zip1Progress(0);
    const DataBackup::Result r =
        DataBackup::backup(ZEL1.DataPath, DataBackup::archiveName(folder, clock()()), progress);
    Picture1->hide();
    messages().information(DataBackup::outcomeText(r, QString::fromLatin1(kZipped)));
    return;
  }
  // The automatic backups are the likeliest to be wanted; the folder list is hidden for a restore.
  const QString automatic = AutoBackup::folder(auto_, ZEL1.DataPath);
  const QString archive = messages().openFileName(QStringLiteral("Restore Data"),
                                                  QFileInfo(automatic).isDir() ? automatic : targetFolder(),
                                                  QStringLiteral("Zip archives (*.zip);;All files (*)"));
  if (archive.isEmpty()) return;
  Picture1->show();
  Zip1Progress(0);
  // Nothing is replaced before the user has seen what would replace what.
  const auto confirm = [this](const DataBackup::RestoreInfo& info) {
    const auto records = [](qint64 n) {
      return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
    };
    const QString current =
        info.currentRecords < 0 ? QStringLiteral("no readable database") : records(info.currentRecords);
    const MessageService::Answer answer = messages().question(
        QStringLiteral("Replace the data of %1 (%2) with the archive %3, made %4, which holds %5?\n\n"
                       "The current data are kept in an archive first.")
            .arg(ZEL1.DataPath, current, info.archive, stampText(info.written), records(info.records)),
        true);
    if (answer == MessageService::Answer::Yes) return true;
    Picture1->hide();
    return false;
  };
  const DataBackup::Result r = DataBackup::restore(archive, ZEL1.DataPath, progress, confirm);
  Picture1->hide();
  if (r.code == DataBackup::Declined) return;
  messages().information(DataBackup::outcomeText(r, QString::fromLatin1(kRestored)));
}

void frmBackupRestore::open(QWidget* parent, const QString& settingsFile) {
  try {
    frmBackupRestore window(parent, settingsFile);
    messages().execModal(window);
  } catch (const std::exception& e) {
    showFailure(e);
  }
}

void frmBackupRestore::backUpOnClose(QStatusBar* bar, const QString& settingsFile) {
  AutoBackup::Settings settings = AutoBackup::load(ZEL1.DataPath, settingsFile);
  if (!settings.enabled) return;
  const QDateTime when = clock()();

  auto* text = new QLabel(QStringLiteral("Making the automatic backup ..."), bar);
  auto* area = new PictureBox(bar);
  area->setFixedSize(200, 18);
  bar->addPermanentWidget(text);
  bar->addPermanentWidget(area);
  int shown = -1;
  const auto progress = [&](double f) {
    const int percent = progressPercent(float(f));
    if (percent == shown) return;
    shown = percent;
    DrawProgress(area, float(f));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  progress(0);

  DataBackup::Result r;
  try {
    r = AutoBackup::run(ZEL1.DataPath, AutoBackup::folder(settings, ZEL1.DataPath), settings.keep, when,
                        progress);
  } catch (const std::exception& e) {
    r = {ZipArchive::CannotWrite, QString::fromLocal8Bit(e.what()), QString(), {}, {}};
  }
  delete area;
  delete text;
  if (r.ok()) {
    settings.last = when;
    try {
      AutoBackup::save(settings, ZEL1.DataPath, settingsFile);
    } catch (const DbError& e) {
      showFailure(e);
    }
    if (!r.warnings.isEmpty())
      messages().information(QStringLiteral("The automatic backup %1 was made.\n\n").arg(r.archive) +
                             r.warnings.join(QStringLiteral("\n\n")));
    return;
  }
  messages().information(QStringLiteral("The automatic backup could not be made.\n\nError # ") +
                         QString::number(r.code) + QLatin1Char('\n') + r.reason);
}
