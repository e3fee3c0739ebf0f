#include "gui/app/Startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <stdexcept>

#include "core/backup/DataBackup.h"
#include "core/folder/DataFolderLock.h"
#include "core/folder/DateGuard.h"
#include "core/folder/StartupRules.h"
#include "core/folder/UserData.h"
#include "core/program/Zel1.h"
#include "core/program/Zel2.h"
#include "core/store/Connection.h"
#include "core/store/DbError.h"
#include "core/store/ServerEngine.h"
#include "core/store/ServerFolder.h"
#include "gui/app/frmSplash.h"
#include "gui/app/frm_Main.h"
#include "gui/controls/MessageService.h"
#include "gui/records/frmDataEntry.h"

namespace {

// An error of a start-up step that is not the engine's.
class StepError : public std::runtime_error {
 public:
  StepError(int number, const QString& description)
      : std::runtime_error(description.toStdString()), number(number), description(description) {}
  int number;
  QString description;
};

const char* const kSecondCopy = "Cannot run more than one instance of this application.";
const char* const kSmallScreen =
    "This software requires a minimum resolution of 800x600 with small fonts or any resolution higher than "
    "800x600 (such as 1024x768).";
const char* const kFolderInUse =
    "The data folder %1 is in use by %2. Start the program again when it has finished.";
const char* const kNoDataFiles =
    "The data files cannot be found. You can at this time recover your data files from a previous backup if "
    "you like.";

}  // namespace

Startup::Startup(Options options) : options_(std::move(options)) {}
Startup::~Startup() {
  if (check_.valid()) check_.wait();
}

namespace {

// The quick check of the database on a connection of its own: empty when all is well.
QString quickCheck(const QString& db) {
  try {
    Connection cn;
    cn.open(db, QString::fromLatin1(kDatabasePassword));
    return DataBackup::integrityProblem(cn);
  } catch (const DbError& e) {
    // Busy is no damage: a writer or a file kept to itself for this run.
    if (e.code() == DbError::Busy || e.code() == DbError::Locked) return QString();
    return QStringLiteral("it cannot be read (%1)").arg(e.description());
  }
}

QString damageWarning(const QString& db, const QString& problem) {
  return QStringLiteral(
             "The database %1 is damaged: %2.\n\nRun zelmora-cli check %3 to see what is wrong, and "
             "restore a backup.")
      .arg(db, problem, QFileInfo(db).absolutePath());
}

}  // namespace

void Startup::finishBackgroundCheck() {
  if (!check_.valid()) return;
  const QString problem = check_.get();
  if (!problem.isEmpty())
    messages().information(damageWarning(ZEL1.dataFile(QStringLiteral("zel.mdb")), problem));
}

bool Startup::claimSingleCopy() {
  QString path = options_.lockFile;
  if (path.isEmpty()) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(dir);
    path = dir + QStringLiteral("/zelmora.lock");
  }
  lock_ = std::make_unique<QLockFile>(path);
  lock_->setStaleLockTime(0);  // a lock left by a crashed run is recognised by its process id
  if (lock_->tryLock(0)) return true;
  // Only a lock held by a live copy refuses the start; an unwritable location does not.
  const bool other = lock_->error() == QLockFile::LockFailedError;
  lock_.reset();
  return !other;
}

Startup::Outcome Startup::run(frm_Main& frame) {
  stepMarker_.clear();
  try {
    if (!claimSingleCopy()) {
      messages().information(QString::fromLatin1(kSecondCopy));
      return Outcome::Ended;
    }

    QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = options_.screenWidth.value_or(screen ? screen->size().width() : 0);
    const int fontHeight = options_.fontHeight.value_or(QFontMetrics(QApplication::font()).height());

    QString programFolder =
        options_.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : options_.programFolder;
    // An installed program's own folder cannot be written: it works in the per-user folder instead.
    if (options_.commandLine.isEmpty()) {
      const QString seed = UserData::installedSeedFolder(programFolder);
      if (!seed.isEmpty())
        programFolder =
            UserData::prepare(options_.userDataFolder.isEmpty()
                                  ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                  : options_.userDataFolder,
                              seed);
    }
    ZEL1.DataPath = StartupRules::dataPathFrom(options_.commandLine, programFolder);

    if (StartupRules::screenTooSmall(screenWidth, fontHeight)) {
      messages().information(QString::fromLatin1(kSmallScreen));
      return Outcome::Ended;
    }

    // Another user's copy, or a command line changing the files, may be working on this folder. A
    // folder that cannot hold the lock (read-only) does not stop the start.
    // A folder whose records are on a server is shared by design: the server's own locks stand in
    // for this one (see openProgramDatabase).
    if (serverOfFolder(ZEL1.DataPath).isEmpty())
      folderLock_ = std::make_unique<DataFolderLock>(ZEL1.DataPath);
    if (folderLock_ && folderLock_->claim() == DataFolderLock::State::InUse) {
      messages().information(QString::fromLatin1(kFolderInUse).arg(ZEL1.DataPath, folderLock_->holder()));
      folderLock_.reset();
      return Outcome::Ended;
    }

    // A restore that was killed on its way is completed before anything looks for the database:
    // the demo must never be seeded over the records it was putting in place.
    const DataBackup::Recovery recovery = DataBackup::finishRestore(ZEL1.DataPath);
    if (!recovery.text.isEmpty()) messages().information(recovery.text);
    if (!recovery.ok) return Outcome::Ended;

    const QString db = ZEL1.dataFile(QStringLiteral("zel.mdb"));
    // A folder whose records are on a server is never seeded with the demo.
    if (!QFileInfo::exists(db) && serverOfFolder(ZEL1.DataPath).isEmpty()) {
      const QString seed = ZEL1.dataFile(QStringLiteral("zeldemo.mdb"));
      if (QFileInfo::exists(seed)) {
        QFile from(seed);
        if (!from.copy(db))
          throw StepError(
              int(from.error()),
              QStringLiteral("Could not copy '%1' to '%2': %3").arg(seed, db, from.errorString()));
        // A seed installed read-only must not make the working copy read-only.
        QFile::setPermissions(db, QFile::permissions(db) | QFile::ReadOwner | QFile::WriteOwner);
        QCoreApplication::processEvents();
      } else {
        messages().information(QString::fromLatin1(kNoDataFiles));
        ZEL1.RestoreOnly = true;
        return Outcome::Recovery;
      }
    }

    auto* splash = new frmSplash;
    frame.splash = splash;
    splash->show();
    QCoreApplication::processEvents();

    frame.restorePlacement();

    QCoreApplication::processEvents();
    // The connection and the shared record set live for the whole run; they are bound here.
    stepMarker_ = QStringLiteral("4.1");
    ZEL1.rsRecords.setConnection(&ZEL1.cnData);
    stepMarker_ = QStringLiteral("4.4");
    openProgramDatabase(ZEL1.cnData, db);
    // One warning now rather than a failure at every save.
    const QString readOnly = ZEL1.cnData.writeProblem();
    // A server's first read of the records costs it milliseconds of catalogue work, once per
    // connection: started now, without waiting, it is done while the windows are built.
    warmUpServer(ZEL1.cnData, QStringLiteral("zel"), frmDataEntry::firstQuery());

    ZEL1.MapZoom = 500;
    frame.setWindowTitle(QStringLiteral("Zelmora v.") + ZEL2::versionText());
    frame.StatusPanel1->setText(ZEL1.DataPath);
    if (frame.splash) frame.splash->close();
    if (!readOnly.isEmpty() && ZEL1.cnData.isServer()) {
      // A role that may only read: said once, where it stays in sight; the windows open read-only.
      frame.setWindowTitle(frame.windowTitle() + QStringLiteral(" (read only)"));
      frame.StatusPanel1->setText(ZEL1.DataPath + QStringLiteral("  ") + readOnly);
    } else if (!readOnly.isEmpty()) {
      messages().information(readOnly);
    }

    DateGuard::run(options_.datePattern.value_or(DateGuard::systemShortDatePattern()));
    if (ZEL1.cnData.mode() != Connection::ShareMode::Exclusive)
      check_ = std::async(std::launch::async, quickCheck, db);
    return Outcome::Running;
  } catch (const DbError& e) {
    messages().information(StartupRules::errorReport(e.number(), e.description(), stepMarker_));
  } catch (const StepError& e) {
    messages().information(StartupRules::errorReport(e.number, e.description, stepMarker_));
  } catch (const std::exception& e) {
    messages().information(StartupRules::errorReport(0, QString::fromLocal8Bit(e.what()), stepMarker_));
  }
  ZEL1.cnData.close();
  if (frame.splash) frame.splash->close();
  QCoreApplication::processEvents();
  ZEL1.StartupFailed = true;
  return Outcome::Failed;
}

int Startup::runProgram(const QStringList& arguments) {
  Options options;
  options.commandLine = arguments.mid(1).join(QLatin1Char(' '));
  frm_Main frame;
  connectWindows(frame);
  QObject::connect(
      &frame, &frm_Main::programEnds, &frame, [](int code) { QCoreApplication::exit(code); },
      Qt::QueuedConnection);
  Startup startup(options);
  switch (startup.run(frame)) {
    case Outcome::Ended:
      return 0;
    case Outcome::Failed:
      return 1;
    case Outcome::Recovery:
    case Outcome::Running:
      break;
  }
  frame.show();
  frame.activateWindow();
  // The quick check's finding is shown once it is known, without holding the window up.
  auto* poll = new QTimer(&frame);
  QObject::connect(poll, &QTimer::timeout, &frame, [&startup, poll] {
    if (startup.backgroundCheckDone()) {
      poll->stop();
      startup.finishBackgroundCheck();
    }
  });
  poll->start(200);
  // Without a window manager the frame may never be told it is active; run the activation steps
  // once in any case (they do nothing when they already ran).
  QTimer::singleShot(0, &frame, [&frame] { frame.FormActivate(); });
  return QApplication::exec();
}
