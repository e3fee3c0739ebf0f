#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QSettings>

#include "core/folder/DataFolderLock.h"
#include "core/folder/StartupRules.h"
#include "core/program/Zel1.h"
#include "core/store/Schema.h"
#include "gui/app/Startup.h"
#include "gui/app/frmSplash.h"
#include "gui/app/frm_Main.h"
#include "support/OrdinaryUser.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

namespace {

const QString kSecondCopy = QStringLiteral("Cannot run more than one instance of this application.");
const QString kSmallScreen = QStringLiteral(
    "This software requires a minimum resolution of 800x600 with small fonts "
    "or any resolution higher than 800x600 (such as 1024x768).");
const QString kNoDataFiles = QStringLiteral(
    "The data files cannot be found. "
    "You can at this time recover your data files from a previous backup if you like.");

// Start-up against an empty temporary data folder, on a large screen with small fonts.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::make_unique<TestFolder>(false);
    ZEL1.reset();
    newFrame();
  }
  void newFrame() {
    frame = std::make_unique<frm_Main>();
    frame->settingsFile = folder->file(QStringLiteral("placement.ini"));
    QObject::connect(frame.get(), &frm_Main::programEnds, frame.get(),
                     [this](int code) { endCodes.push_back(code); });
    endCodes.clear();
  }
  void TearDown() override {
    frame.reset();
    folder.reset();
  }

  Startup::Options options(const QString& commandLine) const {
    Startup::Options o;
    o.commandLine = commandLine;
    o.programFolder = QStringLiteral("/nonexistent/program");
    o.screenWidth = 1280;
    o.fontHeight = 13;
    o.datePattern = QStringLiteral("M/d/yy");
    o.lockFile = folder->file(QStringLiteral("zelmora.lock"));
    return o;
  }
  QString folderWithoutSlash() const {
    QString p = folder->path();
    p.chop(1);
    return p;
  }
  // A database file as another program or an older version left it: no password.
  void makePlainDatabase(const QString& name, const QString& cemetery) {
    Connection cn;
    cn.create(folder->file(name), QString());
    Schema::create(cn);
    cn.execute(QStringLiteral("insert into cemetery (name) values ('%1')").arg(cemetery));
    cn.close();
  }

  std::unique_ptr<TestFolder> folder;
  std::unique_ptr<frm_Main> frame;
  std::vector<int> endCodes;
};

TEST_F(StartupTest, MissingDatabaseIsSeededFromTheDemoAndOpened) {
  makePlainDatabase(QStringLiteral("zeldemo.mdb"), QStringLiteral("Demo Hill"));
  const QString seed = folder->file(QStringLiteral("zeldemo.mdb"));
  QFile::setPermissions(seed, QFile::ReadOwner);  // an installed seed may be read-only
  const QByteArray seedBytes = fileBytes(seed);

  ScriptedMessages msgs;
  Startup startup(options(folderWithoutSlash()));
  ASSERT_EQ(startup.run(*frame), Startup::Outcome::Running);

  EXPECT_EQ(ZEL1.DataPath, folder->path());
  EXPECT_TRUE(ZEL1.cnData.isOpen());
  EXPECT_EQ(ZEL1.cnData.path(), folder->file(QStringLiteral("zel.mdb")));
  EXPECT_EQ(scalar(QStringLiteral("select name from cemetery")), QStringLiteral("Demo Hill"));
  EXPECT_EQ(fileBytes(seed), seedBytes) << "the seed stays as it was";
  EXPECT_TRUE(QFile::permissions(ZEL1.cnData.path()) & QFile::WriteOwner);
  EXPECT_EQ(ZEL1.MapZoom, 500);
  EXPECT_EQ(ZEL1.DateDisplayFormat, QStringLiteral("mm-dd-yyyy"));
  EXPECT_FALSE(ZEL1.StartupFailed);
  EXPECT_FALSE(ZEL1.RestoreOnly);
  EXPECT_EQ(startup.stepMarker(), QStringLiteral("4.4"));

  // The command line reads the fresh copy beside this first run.
  for (const QStringList& args :
       {QStringList{QStringLiteral("export"), folder->path(), QStringLiteral("-o"), QStringLiteral("-")},
        QStringList{QStringLiteral("report"), QStringLiteral("cemeteries"), folder->path()},
        QStringList{QStringLiteral("check"), folder->path()}}) {
    QProcess cli;
    cli.start(QStringLiteral(ZEL_CLI), args);
    cli.waitForFinished(-1);
    EXPECT_EQ(cli.exitCode(), 0) << args.join(u' ').toStdString() << ": "
                                 << cli.readAllStandardError().toStdString();
  }

  // The copy now carries the program's password: it no longer opens without one.
  ZEL1.cnData.close();
  Connection plain;
  EXPECT_THROW(plain.open(folder->file(QStringLiteral("zel.mdb")), QString()), DbError);
}

TEST_F(StartupTest, InstalledProgramWorksInThePerUserFolderThatItsSeedFills) {
  // An installed tree: <prefix>/bin holds the program, <prefix>/share/zelmora its seed.
  const QString prefix = folder->file(QStringLiteral("prefix"));
  const QString seed = prefix + QStringLiteral("/share/zelmora/");
  QDir().mkpath(prefix + QStringLiteral("/bin"));
  QDir().mkpath(seed);
  makePlainDatabase(QStringLiteral("zeldemo.mdb"), QStringLiteral("Demo Hill"));
  ASSERT_TRUE(
      QFile::rename(folder->file(QStringLiteral("zeldemo.mdb")), seed + QStringLiteral("zeldemo.mdb")));
  writeFile(seed + QStringLiteral("zel6.hlp"), "help 1");
  writeFile(seed + QStringLiteral("zelmap1.dat"), "demo map");

  const QString user = folder->file(QStringLiteral("home/zel"));
  auto start = [&](const QString& commandLine) {
    ZEL1.reset();
    Startup::Options o = options(commandLine);
    o.programFolder = prefix + QStringLiteral("/bin");
    o.userDataFolder = user;
    Startup startup(o);
    const Startup::Outcome outcome = startup.run(*frame);
    ZEL1.cnData.close();
    return outcome;
  };

  ScriptedMessages msgs;
  ASSERT_EQ(start(QString()), Startup::Outcome::Running);
  EXPECT_EQ(ZEL1.DataPath, user + QStringLiteral("/"));
  openProgramDatabase(ZEL1.cnData, user + QStringLiteral("/zel.mdb"));
  EXPECT_EQ(scalar(QStringLiteral("select name from cemetery")), QStringLiteral("Demo Hill"));
  ZEL1.cnData.close();
  EXPECT_EQ(fileBytes(user + QStringLiteral("/zel6.hlp")), "help 1");
  EXPECT_EQ(fileBytes(user + QStringLiteral("/zelmap1.dat")), "demo map");

  // After an update the new help is taken; the user's own map and a removed seed stay as they are.
  writeFile(user + QStringLiteral("/zelmap1.dat"), "my map");
  ASSERT_TRUE(QFile::remove(user + QStringLiteral("/zeldemo.mdb")));
  writeFile(seed + QStringLiteral("zel6.hlp"), "help 2");
  writeFile(seed + QStringLiteral("zelmap1.dat"), "new demo map");
  ASSERT_EQ(start(QString()), Startup::Outcome::Running);
  EXPECT_EQ(fileBytes(user + QStringLiteral("/zel6.hlp")), "help 2");
  EXPECT_EQ(fileBytes(user + QStringLiteral("/zelmap1.dat")), "my map");
  EXPECT_FALSE(QFile::exists(user + QStringLiteral("/zeldemo.mdb")));

  // A command line still names the data folder.
  msgs.expectInfo(kNoDataFiles);
  EXPECT_EQ(start(folder->file(QStringLiteral("elsewhere"))), Startup::Outcome::Recovery);
  EXPECT_EQ(ZEL1.DataPath, folder->file(QStringLiteral("elsewhere/")));
}

TEST(ProgramOnTheTerminal, HelpAndVersionAnswerWithoutAWindow) {
  const auto run = [](const char* option) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));  // no window could open: the answer must not need one
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZEL_PROGRAM), {QLatin1String(option)});
    p.waitForFinished(-1);
    EXPECT_EQ(p.exitCode(), 0) << option;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
  };
  EXPECT_EQ(run("--version"), QStringLiteral("zelmora 6.8.1\n"));
  const QString help = run("--help");
  EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: zelmora [DATA_FOLDER]\n"))) << help.toStdString();
  EXPECT_TRUE(help.contains(QStringLiteral("--version"))) << help.toStdString();
  // Anything else is a data folder.
  EXPECT_FALSE(StartupRules::terminalAnswer({QStringLiteral("zelmora"), QStringLiteral("/data")}, "1"));
  EXPECT_FALSE(StartupRules::terminalAnswer(
      {QStringLiteral("zelmora"), QStringLiteral("--help"), QStringLiteral("x")}, "1"));
}

TEST_F(StartupTest, WithNoDataFilesTheRecoveryPathRunsWithoutADatabase) {
  ScriptedMessages msgs;
  msgs.expectInfo(kNoDataFiles);
  int restores = 0;
  QObject::connect(frame.get(), &frm_Main::backupRestoreWanted, frame.get(), [&] {
    EXPECT_TRUE(ZEL1.RestoreOnly);
    ++restores;
  });
  Startup startup(options(folder->path()));
  EXPECT_EQ(startup.run(*frame), Startup::Outcome::Recovery);
  EXPECT_TRUE(ZEL1.RestoreOnly);
  EXPECT_FALSE(ZEL1.cnData.isOpen());
  EXPECT_FALSE(QFile::exists(folder->file(QStringLiteral("zel.mdb"))));
  EXPECT_TRUE(startup.stepMarker().isEmpty());

  // The activation opens the restore window, then ends the program; later activations do nothing.
  frame->FormActivate();
  frame->FormActivate();
  EXPECT_EQ(restores, 1);
  EXPECT_EQ(endCodes, std::vector<int>{0});
}

TEST_F(StartupTest, OnlyOneCopyRunsPerUser) {
  makePlainDatabase(QStringLiteral("zel.mdb"), QStringLiteral("North"));
  ScriptedMessages msgs;
  auto first = std::make_unique<Startup>(options(folder->path()));
  ASSERT_EQ(first->run(*frame), Startup::Outcome::Running);

  msgs.expectInfo(kSecondCopy);
  frm_Main secondFrame;
  Startup second(options(folder->path()));
  EXPECT_EQ(second.run(secondFrame), Startup::Outcome::Ended);
  EXPECT_TRUE(ZEL1.cnData.isOpen()) << "the running copy keeps its database";

  // Once the first copy has ended, a new one starts.
  ZEL1.cnData.close();
  first.reset();
  Startup third(options(folder->path()));
  EXPECT_EQ(third.run(secondFrame), Startup::Outcome::Running);
}

TEST_F(StartupTest, ADataFolderInUseElsewhereRefusesTheStartAndTheRunningProgramHoldsIt) {
  makePlainDatabase(QStringLiteral("zel.mdb"), QStringLiteral("North"));
  ScriptedMessages msgs;
  {
    DataFolderLock other(folder->path());  // another user's copy, or the command line restoring
    ASSERT_EQ(other.claim(), DataFolderLock::State::Held);
    msgs.expectInfo(
        QStringLiteral("The data folder %1 is in use by %2. Start the program again when it has finished.")
            .arg(folder->path(), other.holder()));
    Startup startup(options(folder->path()));
    EXPECT_EQ(startup.run(*frame), Startup::Outcome::Ended);
    Connection plain;
    EXPECT_NO_THROW(plain.open(folder->file(QStringLiteral("zel.mdb")), QString())) << "not even keyed";
  }
  auto running = std::make_unique<Startup>(options(folder->path()));
  ASSERT_EQ(running->run(*frame), Startup::Outcome::Running);
  EXPECT_EQ(DataFolderLock(folder->path()).claim(), DataFolderLock::State::InUse);
  ZEL1.cnData.close();
  running.reset();
  EXPECT_EQ(DataFolderLock(folder->path()).claim(), DataFolderLock::State::Held)
      << "released when the run ends";
}

// A file that is no database is refused and left as it is; damage inside a database that opens is
// found by the quick check after the start, and the warning names the command that shows it.
TEST_F(StartupTest, ANonDatabaseIsRefusedUnchangedAndDamageInsideIsWarnedAfterTheStart) {
  ScriptedMessages msgs;
  const QString db = folder->file(QStringLiteral("zel.mdb"));
  makePlainDatabase(QStringLiteral("zeldemo.mdb"), QStringLiteral("Demo Hill"));
  for (const QByteArray& junk :
       {QByteArray("x"), QByteArray("Dear office, these are not records.\n").repeated(60)}) {
    writeFile(db, junk);
    msgs.expectInfo(QStringLiteral("*"));
    EXPECT_EQ(Startup(options(folder->path())).run(*frame), Startup::Outcome::Failed);
    EXPECT_EQ(fileBytes(db), junk);
  }

  QFile::remove(db);
  {
    Connection cn;
    cn.create(db, QString::fromLatin1(kDatabasePassword));
    Schema::create(cn);
    cn.beginTransaction();
    for (int i = 0; i < 300; ++i)
      cn.execute(
          QStringLiteral("insert into zel (cemeteryid, remarks) values (1, '%1')").arg(QString(200, u'r')));
    cn.commit();
  }
  QByteArray damaged = fileBytes(db);
  const qsizetype page = damaged.size() / 2 / 1024 * 1024;
  for (qsizetype i = page + 100; i < page + 140; ++i) damaged[i] = char(~damaged[i]);
  writeFile(db, damaged);
  ZEL1.reset();
  Startup startup(options(folder->path()));
  ASSERT_EQ(startup.run(*frame), Startup::Outcome::Running);
  msgs.expectInfo(QStringLiteral("*"));
  startup.finishBackgroundCheck();
  const QString warning = msgs.log().back().text;
  EXPECT_TRUE(warning.startsWith(QStringLiteral("The database %1 is damaged: ").arg(db)))
      << warning.toStdString();
  EXPECT_TRUE(warning.contains(QStringLiteral("Run zelmora-cli check ") + folderWithoutSlash()))
      << warning.toStdString();
  ZEL1.cnData.close();
}

TEST_F(StartupTest, TooSmallScreenEndsBeforeAnythingIsTouched) {
  ScriptedMessages msgs;
  msgs.expectInfo(kSmallScreen).expectInfo(kSmallScreen);
  Startup::Options o = options(folder->path());
  o.screenWidth = 800;
  o.fontHeight = 17;
  EXPECT_EQ(Startup(o).run(*frame), Startup::Outcome::Ended);
  o.screenWidth = 640;
  o.fontHeight = 10;
  EXPECT_EQ(Startup(o).run(*frame), Startup::Outcome::Ended);
  EXPECT_FALSE(ZEL1.RestoreOnly) << "the data folder was not even looked at";

  // 800 pixels with small fonts is enough.
  msgs.expectInfo(kNoDataFiles);
  o.screenWidth = 800;
  o.fontHeight = 16;
  EXPECT_EQ(Startup(o).run(*frame), Startup::Outcome::Recovery);
}

// A file of junk or a database keyed by someone else: reported with the step marker, left as it
// was, and the program ends at the first resize or activation.
TEST_F(StartupTest, AnUnopenableDatabaseIsReportedLeftUntouchedAndEndsTheProgram) {
  const QString db = folder->file(QStringLiteral("zel.mdb"));
  for (const bool keyed : {false, true}) {
    QFile::remove(db);
    if (keyed) {
      Connection cn;
      cn.create(db, QStringLiteral("not-ours"));
      Schema::create(cn);
    } else {
      writeFile(db, QByteArray(4096, 'x'));
    }
    const QByteArray before = fileBytes(db);
    const QStringList filesBefore = QDir(folder->path()).entryList(QDir::Files);
    newFrame();
    ScriptedMessages msgs;
    msgs.expectInfo(QStringLiteral("26\n\nfile is encrypted or is not a database\n\n4.4"));
    EXPECT_EQ(Startup(options(folder->path())).run(*frame), Startup::Outcome::Failed);
    EXPECT_TRUE(ZEL1.StartupFailed);
    EXPECT_FALSE(ZEL1.cnData.isOpen());
    EXPECT_TRUE(!frame->splash || frame->splash->isHidden()) << "the splash is gone";
    EXPECT_EQ(fileBytes(db), before);
    EXPECT_EQ(QDir(folder->path()).entryList(QDir::Files), filesBefore);
    if (keyed) {
      frame->FormActivate();
      EXPECT_EQ(endCodes, std::vector<int>{1});
    } else {
      frame->show();
      frame->resize(900, 700);
      ASSERT_FALSE(endCodes.empty());
      EXPECT_EQ(endCodes.front(), 1);
    }
  }
}

TEST_F(StartupTest, ReadOnlyDataGivesOneWarningAndTheProgramRuns) {
  const QString db = folder->file(QStringLiteral("zel.mdb"));
  {
    Connection cn;
    cn.create(db, QString::fromLatin1(kDatabasePassword));
    Schema::create(cn);
    cn.execute(QStringLiteral("insert into cemetery (name) values ('North')"));
  }
  const struct {
    mode_t folderMode, fileMode;
    QString warning;
  } cases[] = {
      {0555, 0666,
       QStringLiteral("The data folder %1 cannot be written to: changes cannot be saved.")
           .arg(folderWithoutSlash())},
      {0777, 0444, QStringLiteral("The database file %1 is read-only: changes cannot be saved.").arg(db)},
  };
  for (const auto& c : cases) {
    chmodTo(db, c.fileMode);
    chmodTo(folder->path(), c.folderMode);
    {
      OrdinaryUser user;
      ScriptedMessages msgs;
      msgs.expectInfo(c.warning);
      EXPECT_EQ(Startup(options(folder->path())).run(*frame), Startup::Outcome::Running);
      EXPECT_EQ(scalar(QStringLiteral("select name from cemetery")), QStringLiteral("North"));
      ZEL1.cnData.close();
    }
    chmodTo(folder->path(), 0700);
  }
  chmodTo(db, 0600);
}

TEST_F(StartupTest, PlacementIsRestoredFromTheSettings) {
  makePlainDatabase(QStringLiteral("zel.mdb"), QStringLiteral("North"));
  {
    QSettings s(frame->settingsFile, QSettings::IniFormat);
    s.setValue(QStringLiteral("window/state"), QStringLiteral("0"));
    s.setValue(QStringLiteral("window/left"), QStringLiteral("1500"));
    s.setValue(QStringLiteral("window/top"), QStringLiteral("750"));
    s.setValue(QStringLiteral("window/width"), QStringLiteral("9600"));
    s.setValue(QStringLiteral("window/height"), QStringLiteral("7200"));
  }
  ScriptedMessages msgs;
  ASSERT_EQ(Startup(options(folder->path())).run(*frame), Startup::Outcome::Running);
  const double perPixel = 1440.0 / frame->logicalDpiX();
  EXPECT_EQ(frame->windowState(), Qt::WindowNoState);
  EXPECT_EQ(frame->pos(), QPoint(qRound(1500 / perPixel), qRound(750 / perPixel)));
  EXPECT_EQ(frame->size(), QSize(qRound(9600 / perPixel), qRound(7200 / perPixel)));

  // With nothing stored the frame opens maximised, and fills the screen also where no window
  // manager acts on that state.
  frm_Main fresh;
  fresh.settingsFile = folder->file(QStringLiteral("none.ini"));
  fresh.resize(300, 200);
  fresh.restorePlacement();
  EXPECT_TRUE(fresh.windowState().testFlag(Qt::WindowMaximized));
  EXPECT_EQ(fresh.geometry(), fresh.screen()->availableGeometry());
}

}  // namespace
