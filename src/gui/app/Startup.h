#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>
#include <future>
#include <memory>
#include <optional>

class DataFolderLock;
class frm_Main;

// The program's start-up: the frame window's load steps, from the one-copy check to the date
// guard. Screen and font readings, the date pattern and the lock file can be given by tests.
class Startup {
 public:
  enum class Outcome {
    Ended,     // a second copy or a too small screen: the program ends now
    Recovery,  // data files missing: the frame's activation opens the restore and ends
    Failed,    // an error was reported: the program ends
    Running,   // the database is open
  };

  struct Options {
    QString commandLine;                 // the whole command line after the program name
    QString programFolder;               // default: the folder of the program
    std::optional<int> screenWidth;      // pixels; default: the primary screen
    std::optional<int> fontHeight;       // pixels; default: the application font
    std::optional<QString> datePattern;  // default: the system's short date pattern
    QString lockFile;                    // default: a file in the per-user data location
    QString userDataFolder;              // default: the per-user application data location
  };

  explicit Startup(Options options);
  ~Startup();

  // The load steps, run once for the frame window.
  Outcome run(frm_Main& frame);

  // The last step marker reached ("", "4.1" ... "4.4").
  const QString& stepMarker() const { return stepMarker_; }

  // After a start that opened the database, the engine's quick check runs on a connection of its
  // own in the background, so that the window is not held up; damage is then shown with a warning
  // naming zelmora-cli check. Waits for it and shows its warning now (tests, and the end of a run).
  void finishBackgroundCheck();
  bool backgroundCheckDone() const {
    return !check_.valid() || check_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }

  // The whole program: makes the frame, runs the start-up and the event loop.
  static int runProgram(const QStringList& arguments);

 private:
  bool claimSingleCopy();

  Options options_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<DataFolderLock> folderLock_;  // held for the whole run, as long as this object
  QString stepMarker_;
  std::future<QString> check_;  // the quick check's finding, empty when all is well
};

// Gives the frame window the program's other windows and connects its backup window.
void connectWindows(frm_Main& frame);
