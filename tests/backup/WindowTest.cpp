#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>

#include "BackupFixture.h"
#include "core/backup/AutoBackup.h"
#include "core/backup/Volumes.h"
#include "core/share/OfficeShare.h"
#include "core/store/Schema.h"
#include "gui/app/Startup.h"
#include "gui/app/frm_Main.h"
#include "gui/backup/DrawProgress.h"
#include "gui/backup/frmBackupRestore.h"
#include "support/ScriptedMessages.h"
#include "support/TestFrame.h"
#include "support/TestServer.h"

namespace {

const QString kZipped = QStringLiteral("File(s) succesfully zipped.");
const QString kRestored = QStringLiteral("File(s) succesfully restored.");
const QString kNoDataFiles = QStringLiteral(
    "The data files cannot be found. You can at this time recover your data files from a previous backup if "
    "you like.");

TEST(DrawProgress, PercentagesAndTheInvertingBar) {
  EXPECT_EQ(progressPercent(0.0f), 1);
  EXPECT_EQ(progressPercent(0.0f, true), 0);
  EXPECT_EQ(progressPercent(0.004f), 1);
  EXPECT_EQ(progressPercent(0.125f), 13) << "halves go up";
  EXPECT_EQ(progressPercent(0.5f), 50);
  EXPECT_EQ(progressPercent(0.996f), 99);
  EXPECT_EQ(progressPercent(1.0f), 99);
  EXPECT_EQ(progressPercent(1.0f, true), 100);
  EXPECT_EQ(progressPercent(1.7f, true), 100);

  QImage image(200, 24, QImage::Format_RGB32);
  QFont font;
  font.setPixelSize(14);
  font.setStyleStrategy(QFont::NoAntialias);  // pure ink, so that pixels can be compared
  const QRgb blue = qRgb(0, 0, 128), white = qRgb(255, 255, 255);
  DrawProgress(image, font, 0.0f);
  EXPECT_EQ(image.pixel(2, 2), white) << "nothing filled at 0";
  DrawProgress(image, font, 0.5f);
  EXPECT_EQ(image.pixel(2, 2), blue);
  EXPECT_EQ(image.pixel(98, 23), blue);
  EXPECT_EQ(image.pixel(102, 2), white);
  // The text "50%" straddles the middle: inked pixels left of it are white, right of it blue.
  int whiteInk = 0, blueInk = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 60; x < 140; ++x) {
      if (x < 100 && image.pixel(x, y) == white) ++whiteInk;
      if (x >= 100 && image.pixel(x, y) == blue) ++blueInk;
    }
  EXPECT_GT(whiteInk, 5);
  EXPECT_GT(blueInk, 5);
}

// The window over a data folder whose database is open, as the frame opens it.
class BackupWindowTest : public BackupTest {
 protected:
  void SetUp() override {
    BackupTest::SetUp();
    openProgramDatabase(ZEL1.cnData, db());
    settings = settingsDir.filePath(QStringLiteral("zel.ini"));
    frmBackupRestore::clock() = [this] { return now; };
  }
  void TearDown() override {
    frmBackupRestore::clock() = [] { return QDateTime::currentDateTime(); };
    BackupTest::TearDown();
  }
  // Opens the window through the message service and lets act drive it.
  void run(const std::function<void(frmBackupRestore&)>& act) {
    msgs.expectModal(QStringLiteral("frmBackupRestore"), [&](QDialog& d) {
      act(static_cast<frmBackupRestore&>(d));
      return d.result();
    });
    frmBackupRestore::open(nullptr, settings);
  }

  ScriptedMessages msgs;
  QTemporaryDir settingsDir;
  QString settings;
  QDateTime now{QDate(2024, 3, 5), QTime(17, 42, 10)};
};

TEST_F(BackupWindowTest, SwitchesBetweenBackupAndRestoreAndKeepsTheAutomaticSettings) {
  run([&](frmBackupRestore& w) {
    EXPECT_TRUE(w.Option1->isChecked());
    EXPECT_TRUE(w.Dir1->isVisible());
    EXPECT_FALSE(w.Label2->isVisible());
    EXPECT_FALSE(w.Picture1->isVisible());
    EXPECT_EQ(w.targetFolder(), QDir::homePath()) << "drives and folders start at home";
    EXPECT_GT(w.Drive1->count(), 0);
    EXPECT_FALSE(w.chkAutoBackup->isChecked()) << "automatic backups are off until chosen";
    EXPECT_EQ(w.txtKeep->value(), 10);
    EXPECT_EQ(w.txtAutoFolder->text(), data() + QStringLiteral("backups"));
    EXPECT_EQ(w.lblLastBackup->text(), QStringLiteral("Last automatic backup: none yet"));

    w.Option2->click();
    EXPECT_FALSE(w.Dir1->isVisible());
    EXPECT_FALSE(w.Drive1->isVisible());
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Click on the OK button to begin the restoration process."));
    EXPECT_TRUE(w.Label2->isVisible());
    w.Option1->click();
    EXPECT_TRUE(w.Dir1->isVisible());
    EXPECT_FALSE(w.Label2->isVisible());

    msgs.expectHelp(12);
    w.Command3->click();
    // The automatic backup settings are kept as soon as they change.
    msgs.expectFolder(target.path());
    w.chkAutoBackup->setChecked(true);
    w.txtKeep->setValue(3);
    w.cmdAutoFolder->click();
    EXPECT_EQ(w.txtAutoFolder->text(), target.path());
    w.Command2->click();
  });
  const AutoBackup::Settings s = AutoBackup::load(data(), settings);
  EXPECT_TRUE(s.enabled);
  EXPECT_EQ(s.keep, 3);
  EXPECT_EQ(s.folder, target.path());
  EXPECT_TRUE(ZEL1.cnData.isOpen()) << "Cancel leaves the database as it was";
}

TEST_F(BackupWindowTest, BackupThenRestoreAsksFirstAndKeepsTheReplacedData) {
  const QString archive = target.filePath(QStringLiteral("zel202403051742.zip"));
  run([&](frmBackupRestore& w) {
    w.setTargetFolder(target.path());
    EXPECT_EQ(w.targetFolder(), target.path());
    msgs.expectInfo(kZipped + "\n\n" + archive);
    w.Command1->click();
    EXPECT_FALSE(w.Command1->isVisible());
    EXPECT_FALSE(w.Command2->isVisible());
  });
  ASSERT_TRUE(ZEL1.cnData.isOpen()) << "opened again after the backup";
  exec(QStringLiteral("insert into cemetery (name) values ('Later')"));
  exec(QStringLiteral("insert into zel (cemeteryid, csection) values (3, 'L')"));
  writeMap(folder->file(QStringLiteral("zelmap3.dat")), QStringLiteral("L,1,1"));
  const QByteArray map3 = fileBytes(folder->file(QStringLiteral("zelmap3.dat")));

  // Cancelling the archive choice, or No to the question, gives the database back unchanged.
  const auto restoreFrom = [&](const QString& chosen, MessageService::Answer answer) {
    run([&](frmBackupRestore& w) {
      w.Option2->click();
      msgs.expectOpenFile(chosen);
      if (!chosen.isEmpty()) msgs.expectQuestion(QStringLiteral("*"), answer, true);
      if (answer == MessageService::Answer::Yes) msgs.expectInfo(QStringLiteral("*"));
      w.Command1->click();
    });
    EXPECT_TRUE(ZEL1.cnData.isOpen());
    return msgs.log().back().text;
  };
  restoreFrom(QString(), MessageService::Answer::No);
  const QString question = restoreFrom(archive, MessageService::Answer::No);
  EXPECT_TRUE(question.startsWith(
      QStringLiteral("Replace the data of %1 (2 records) with the archive %2, made ").arg(data(), archive)))
      << question.toStdString();
  EXPECT_TRUE(question.contains(QStringLiteral(", which holds 1 record?"))) << question.toStdString();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from cemetery")), QStringLiteral("3"));

  const QString done = restoreFrom(archive, MessageService::Answer::Yes);
  const QStringList kept = QDir(data()).entryList({QStringLiteral("zelbeforerestore*.zip")});
  ASSERT_EQ(kept.size(), 1);
  EXPECT_EQ(done, kRestored + "\n\n" + archive + "\n\nThe data it replaced are kept in " + data() + kept[0] +
                      "; restoring that archive undoes this restore.");
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from cemetery")), QStringLiteral("2"));
  EXPECT_FALSE(QFile::exists(folder->file(QStringLiteral("zelmap3.dat")))) << "kept in the safety archive";

  // One more restore, of the safety archive, undoes it.
  restoreFrom(data() + kept[0], MessageService::Answer::Yes);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("2"));
  EXPECT_EQ(fileBytes(folder->file(QStringLiteral("zelmap3.dat"))), map3);

  // A refused archive is named with its code and reason; the database comes back unchanged.
  const QString hostile = target.filePath(QStringLiteral("hostile.zip"));
  makeArchive(hostile, {{"../zel.mdb", "x"}});
  run([&](frmBackupRestore& w) {
    w.Option2->click();
    msgs.expectOpenFile(hostile).expectInfo(
        QStringLiteral("Unsuccessful.\n\nError # 521\nThe archive %1 holds entries that are never restored: "
                       "\"../zel.mdb\".")
            .arg(hostile));
    w.Command1->click();
  });
  EXPECT_TRUE(ZEL1.cnData.isOpen());
}

// On a folder whose records are on a server the window backs up the server's records and maps, and
// refuses a restore into it, naming why; the program goes on with the server either way.
TEST_F(BackupWindowTest, AServerFolderIsBackedUpAndARestoreIntoItIsRefused) {
  ZEL1.cnData.close();
  const QByteArray map2 = fileBytes(folder->file(QStringLiteral("zelmap2.dat")));
  ASSERT_EQ(TestServer::shared().problem(), QString());
  const OfficeShare::Result shared = OfficeShare::share(data(), TestServer::shared().newDatabase());
  ASSERT_TRUE(shared.ok) << shared.text.toStdString();
  openProgramDatabase(ZEL1.cnData, db());
  ASSERT_TRUE(ZEL1.cnData.isServer());
  const QString archive = target.filePath(QStringLiteral("zel202403051742.zip"));
  run([&](frmBackupRestore& w) {
    w.setTargetFolder(target.path());
    msgs.expectInfo(kZipped + "\n\n" + archive);
    w.Command1->click();
  });
  ASSERT_TRUE(ZEL1.cnData.isServer());
  QTemporaryDir plain;
  ASSERT_TRUE(DataBackup::restore(archive, plain.path() + u'/').ok());
  EXPECT_EQ(recordsIn(plain.path() + u'/'), 1);
  EXPECT_EQ(fileBytes(plain.filePath(QStringLiteral("zelmap2.dat"))), map2);
  run([&](frmBackupRestore& w) {
    w.Option2->click();
    msgs.expectOpenFile(archive).expectInfo(QStringLiteral("*"));
    w.Command1->click();
  });
  EXPECT_TRUE(msgs.log().back().text.startsWith(QStringLiteral("Unsuccessful.\n\nError # 529\n")))
      << msgs.log().back().text.toStdString();
  EXPECT_TRUE(ZEL1.cnData.isServer());
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
}

// A folder removed after it was chosen is refused by its name; the list's next folder is not used.
TEST_F(BackupWindowTest, VanishedFolderIsRefusedByName) {
  const QString chosen = target.filePath(QStringLiteral("a")), next = target.filePath(QStringLiteral("b"));
  QDir().mkdir(chosen);
  QDir().mkdir(next);
  run([&](frmBackupRestore& w) {
    w.setTargetFolder(chosen);
    auto* model = static_cast<QFileSystemModel*>(w.Dir1->model());
    const QPersistentModelIndex row(model->index(chosen));
    ASSERT_TRUE(model->rmdir(row));
    // The model drops the row once it notices, moving the current row to the neighbour.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !row.isValid(); }, 60000));
    EXPECT_EQ(w.targetFolder(), chosen);
    msgs.expectInfo(
        QStringLiteral("Unsuccessful.\n\nError # 528\nThe folder %1 does not exist any more: the backup "
                       "was not made.")
            .arg(chosen));
    w.Command1->click();
  });
  EXPECT_TRUE(QDir(next).isEmpty());
  EXPECT_TRUE(ZEL1.cnData.isOpen());
}

TEST_F(BackupWindowTest, UnexpectedErrorIsShownAndTheDataFolderIsUntouched) {
  ZEL1.cnData.close();
  const auto before = snapshot(data());
  openProgramDatabase(ZEL1.cnData, db());
  frmBackupRestore::clock() = []() -> QDateTime { throw std::runtime_error("The clock stopped."); };
  run([&](frmBackupRestore& w) {
    w.setTargetFolder(target.path());
    msgs.expectInfo(QStringLiteral("The clock stopped."));
    w.Command1->click();
  });
  EXPECT_TRUE(ZEL1.cnData.isOpen());
  EXPECT_FALSE(ZEL1.RestoreOnly);
  ZEL1.cnData.close();
  EXPECT_EQ(snapshot(data()), before);
}

// Start-up on a data folder whose files are gone: only the restore is offered, and the program
// ends when the window closes; the next start finds the restored data.
TEST_F(BackupWindowTest, RestoreOnlyFromStartUp) {
  ZEL1.cnData.close();
  const DataBackup::Result made = DataBackup::backup(data(), DataBackup::archiveName(target.path(), now));
  ASSERT_TRUE(made.ok());
  QTemporaryDir empty;
  const QString emptyPath = empty.path() + QLatin1Char('/');

  auto start = [&](std::vector<int>& ends) {
    auto frame = testFrame(settings, [&ends](int code) { ends.push_back(code); });
    const Startup::Outcome outcome =
        Startup(testStartup(emptyPath, settingsDir.filePath(QStringLiteral("lock")))).run(*frame);
    return std::make_pair(std::move(frame), outcome);
  };

  // Cancel ends the program without touching anything.
  std::vector<int> ends;
  msgs.expectInfo(kNoDataFiles);
  auto [frame, outcome] = start(ends);
  ASSERT_EQ(outcome, Startup::Outcome::Recovery);
  msgs.expectModal(QStringLiteral("frmBackupRestore"), [&](QDialog& d) {
    auto& w = static_cast<frmBackupRestore&>(d);
    EXPECT_FALSE(w.Option1->isVisible());
    EXPECT_TRUE(w.Option2->isChecked());
    EXPECT_TRUE(w.Label2->isVisible());
    EXPECT_FALSE(w.fraAutoBackup->isVisible());
    w.Command2->click();
    return d.result();
  });
  frame->FormActivate();
  EXPECT_EQ(ends, std::vector<int>{0});
  EXPECT_TRUE(QDir(emptyPath).entryList(QDir::Files).isEmpty());
  frame.reset();

  // Restoring the backup: the message, the end, and a database that opens at the next start.
  ends.clear();
  msgs.expectInfo(kNoDataFiles);
  auto second = start(ends);
  msgs.expectModal(QStringLiteral("frmBackupRestore"), [&](QDialog& d) {
    auto& w = static_cast<frmBackupRestore&>(d);
    msgs.expectOpenFile(made.archive)
        .expectQuestion(QStringLiteral("*"), MessageService::Answer::Yes, true)
        .expectInfo(kRestored + "\n\n" + made.archive);
    w.Command1->click();
    return d.result();
  });
  second.first->FormActivate();
  EXPECT_EQ(ends, std::vector<int>{0});
  EXPECT_FALSE(ZEL1.cnData.isOpen()) << "the program ends on the restored files without opening them";
  second.first.reset();

  ZEL1.RestoreOnly = false;
  std::vector<int> third;
  auto running = start(third);
  ASSERT_EQ(running.second, Startup::Outcome::Running);
  EXPECT_EQ(scalar(QStringLiteral(
                "select group_concat(name, ',') from (select name from cemetery order by cemeteryid)")),
            QStringLiteral("Elm Ridge,Oak Hill"));
  EXPECT_EQ(fileBytes(emptyPath + QStringLiteral("zelmap2.dat")),
            fileBytes(folder->file(QStringLiteral("zelmap2.dat"))));
}

// A restore killed once the database went aside: the next start completes it and says so; the
// demo seed beside it is never copied over the missing database.
TEST_F(BackupWindowTest, StartAfterAKilledRestoreCompletesItInsteadOfSeedingTheDemo) {
  ZEL1.cnData.close();
  const DataBackup::Result made = DataBackup::backup(data(), target.filePath(QStringLiteral("a.zip")));
  ASSERT_TRUE(made.ok());
  ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
  addRecords(ZEL1.cnData, 10);
  ZEL1.cnData.close();
  ASSERT_TRUE(QFile::copy(db(), folder->file(QStringLiteral("zeldemo.mdb"))));
  restoreKilledAfter(made.archive, data(), 2);
  ASSERT_FALSE(QFile::exists(db()));

  msgs.expectInfo(QStringLiteral("*"));
  auto frame = testFrame(settings);
  ASSERT_EQ(Startup(testStartup(data(), settingsDir.filePath(QStringLiteral("lock")))).run(*frame),
            Startup::Outcome::Running);
  EXPECT_TRUE(msgs.log().front().text.contains(
      QStringLiteral("from the archive %1 was interrupted. It has now been completed").arg(made.archive)))
      << msgs.log().front().text.toStdString();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
  ZEL1.cnData.close();
}

TEST(Volumes, RemovableMediaFirstAndEachPathOnItsOwnVolume) {
  std::vector<Volumes::Volume> v = {
      {"/", "File System", false}, {"/home", "Home", false}, {"/media/anna/STICK", "STICK", true}};
  Volumes::arrange(v);
  EXPECT_EQ(v[0].text(), QStringLiteral("STICK (/media/anna/STICK)"));
  EXPECT_EQ(v[1].rootPath, QStringLiteral("/"));
  EXPECT_EQ(Volumes::indexOf(v, QStringLiteral("/home/anna/backups")), 2);
  EXPECT_EQ(Volumes::indexOf(v, QStringLiteral("/homework")), 1) << "a name that only begins like a volume's";
  EXPECT_EQ(Volumes::indexOf(v, QStringLiteral("/media/anna/STICK")), 0);
  EXPECT_EQ(Volumes::desktopName(QString(), QStringLiteral("/"), 0), QStringLiteral("File System"));
  EXPECT_EQ(Volumes::desktopName(QString(), QStringLiteral("/media/x"), 16000000000),
            QStringLiteral("16 GB Volume"));
  EXPECT_EQ(Volumes::desktopName(QStringLiteral("CARD"), QStringLiteral("/media/x"), 16000000000),
            QStringLiteral("CARD"));
}

// Closing the program five times with automatic backups on and "keep 3": three archives remain,
// each of which restores; a failing backup is shown and the program closes all the same.
TEST_F(BackupWindowTest, ClosingTheProgramMakesVerifiedAutomaticBackups) {
  ZEL1.cnData.close();
  AutoBackup::Settings s;
  s.enabled = true;
  s.keep = 3;
  AutoBackup::save(s, data(), settings);
  // A hand-made backup in the same folder is never removed.
  QDir().mkpath(AutoBackup::defaultFolder(data()));
  const QString byHand = DataBackup::archiveName(AutoBackup::defaultFolder(data()), now);
  ASSERT_TRUE(DataBackup::backup(data(), byHand).ok());

  for (int run = 1; run <= 5; ++run) {
    openProgramDatabase(ZEL1.cnData, db());
    exec(QStringLiteral("insert into cemetery (name) values ('Run %1')").arg(run));
    auto frame = testFrame(settings);
    frame->show();
    now = now.addSecs(60);
    EXPECT_TRUE(frame->close());
    EXPECT_FALSE(ZEL1.cnData.isOpen());
  }
  const QStringList kept = QDir(AutoBackup::defaultFolder(data())).entryList(QDir::Files, QDir::Name);
  QStringList expected{QFileInfo(byHand).fileName()};
  for (int minute : {45, 46, 47})
    expected << QFileInfo(
                    AutoBackup::archiveName(QString(), data(), QDateTime(now.date(), QTime(17, minute, 10))))
                    .fileName();
  EXPECT_EQ(kept, expected);
  EXPECT_EQ(AutoBackup::load(data(), settings).last, now);
  EXPECT_FALSE(AutoBackup::load(target.path() + u'/', settings).last.isValid())
      << "another data folder's own";
  run([&](frmBackupRestore& w) {
    EXPECT_EQ(w.lblLastBackup->text(), QStringLiteral("Last automatic backup: 03-05-2024 17:47"));
    w.Command2->click();
  });

  for (int i = 1; i < kept.size(); ++i) {
    QTemporaryDir restored;
    const DataBackup::Result r =
        DataBackup::restore(QDir(AutoBackup::defaultFolder(data())).filePath(kept[i]), restored.path() + '/');
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    Connection cn;
    cn.open(restored.filePath(QStringLiteral("zel.mdb")), QString::fromLatin1(kDatabasePassword));
    EXPECT_EQ(scalarOn(cn, QStringLiteral("select count(*) from cemetery")).toInt(), 2 + 2 + i)
        << "the backup of the run that made it";
  }

  // A folder on a medium that is not there: the failure is shown, the program closes anyway.
  s = AutoBackup::load(data(), settings);
  s.folder = QStringLiteral("/nonexistent/stick/backups");
  AutoBackup::save(s, data(), settings);
  openProgramDatabase(ZEL1.cnData, db());
  auto frame = testFrame(settings);
  frame->show();
  msgs.expectInfo(
      QStringLiteral("The automatic backup could not be made.\n\nError # 510\nThe folder "
                     "/nonexistent/stick/backups cannot be reached: its drive or medium is not ready."));
  EXPECT_TRUE(frame->close());
  EXPECT_FALSE(frame->isVisible());
  EXPECT_EQ(AutoBackup::load(data(), settings).last, now) << "only a successful backup counts";
}

}  // namespace
