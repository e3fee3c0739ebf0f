#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

class QDialog;
class QPrinter;
class QWidget;

// Every message box, question, input box, file dialog, print dialog and help request of the
// program goes through this service. The real one shows Qt dialogs titled "Zelmora"; tests install
// a scripted one that checks each message and gives queued answers.
class MessageService {
 public:
  enum class Answer { Ok, Yes, No, Cancel };

  virtual ~MessageService() = default;

  // OK-only box (information, refusals, errors).
  virtual void information(const QString& text) = 0;
  // OK box after a file was written, with a button that opens the file's folder (openFileFolder).
  // Services without one show it as information.
  virtual void fileWritten(const QString& text, const QString& /*file*/) { information(text); }
  // Opens the folder holding a file; when nothing can show it, says so and names the folder.
  void openFileFolder(const QString& file);
  // OK-only hint opened while the user may still be typing on into another field: text keys that
  // reach the box go on to that field; Enter, Escape or a click closes it.
  virtual void typingHint(const QString& text) { information(text); }
  // Yes/No box; defaultNo makes No the default button (before destructive or discarding steps).
  virtual Answer question(const QString& text, bool defaultNo) = 0;
  // Yes/No/Cancel box before leaving unsaved edits: No is the default, Escape answers Cancel (stay).
  // Services without a Cancel answer it as the Yes/No question.
  virtual Answer questionWithCancel(const QString& text) { return question(text, true); }
  // The same box with its Yes and No buttons captioned for what they do ("Save Over", "Reload").
  // Services without captions ask questionWithCancel.
  virtual Answer choice(const QString& text, const QString& /*yes*/, const QString& /*no*/) {
    return questionWithCancel(text);
  }
  // Input box: the typed text, or nothing when cancelled.
  virtual std::optional<QString> inputBox(const QString& prompt, const QString& defaultText) = 0;
  // File choice; an empty text when cancelled. selectedFilter, when given, receives the filter the
  // user chose (filters are separated by ";;").
  virtual QString openFileName(const QString& caption, const QString& dir, const QString& filter) = 0;
  virtual QString saveFileName(const QString& caption, const QString& dir, const QString& filter,
                               QString* selectedFilter = nullptr) = 0;
  virtual QString folderName(const QString& caption, const QString& dir) = 0;
  // The printer dialog: false when cancelled. The dialog may set the printer to write a PDF file.
  virtual bool choosePrinter(QPrinter& printer) = 0;
  // Opens the help file "zel6.hlp" of the data folder at a topic number.
  virtual void showHelp(int topic) = 0;
  // Opens a document in the user's own program for it (the tutorial in the web browser); false
  // when there is none (a web page without a web browser).
  virtual bool openDocument(const QString& path) = 0;
  // Runs a modal dialog and returns its result code. Tests fill and press its buttons here.
  virtual int execModal(QDialog& dialog) = 0;
};

// The service in use; the real one unless a test installed another.
MessageService& messages();
// Installs a service (nullptr puts the real one back) and returns the one it replaces. The caller
// keeps ownership.
MessageService* setMessageService(MessageService* service);

// The real service. The frame window hands it the function that shows a help topic; the frame
// knows where the help file lies.
class RealMessageService : public MessageService {
 public:
  void information(const QString& text) override;
  void fileWritten(const QString& text, const QString& file) override;
  void typingHint(const QString& text) override;
  Answer question(const QString& text, bool defaultNo) override;
  Answer questionWithCancel(const QString& text) override;
  Answer choice(const QString& text, const QString& yes, const QString& no) override;
  std::optional<QString> inputBox(const QString& prompt, const QString& defaultText) override;
  QString openFileName(const QString& caption, const QString& dir, const QString& filter) override;
  QString saveFileName(const QString& caption, const QString& dir, const QString& filter,
                       QString* selectedFilter = nullptr) override;
  QString folderName(const QString& caption, const QString& dir) override;
  bool choosePrinter(QPrinter& printer) override;
  void showHelp(int topic) override;
  bool openDocument(const QString& path) override;
  int execModal(QDialog& dialog) override;

  static void setHelpHandler(std::function<void(int topic)> handler);
};

// Shows a failure (of the database, a file or anything else a command ran into) in an OK-only
// box: every window reports failures this one way, nothing is swallowed.
void showFailure(const std::exception& e);

// F1 anywhere in the window opens the help at the window's topic (for windows whose Help is a
// button, or that have none of their own).
void addHelpKey(QWidget* window, int topic);

// The title of every message box.
inline constexpr const char* kAppTitle = "Zelmora";
