#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include "gui/controls/MessageService.h"

// The message service tests, benchmarks and tools install instead of the real boxes. Every message
// is recorded. Strict (the tests): each one must have been expected, in order, with its answer,
// otherwise the test fails; every test program runs under one with nothing expected, so a message
// that no test scripted fails instead of waiting for a click. Permissive (nobody at the screen): a
// message that does not match the next expectation takes the default answer.
class ScriptedMessages : public MessageService {
 public:
  enum class Kind {
    Information,
    Question,
    InputBox,
    OpenFile,
    SaveFile,
    Folder,
    Printer,
    Help,
    Document,
    Modal
  };

  struct Record {
    Kind kind;
    QString text;  // message, prompt, caption, topic number or document path
    bool defaultNo = false;
    bool withCancel = false;  // a question that offered Cancel
  };
  // Where each save dialog started: the folder or file, and the filter chosen at the start.
  struct SaveStart {
    QString dir, filter;
  };

  enum class Mode { Strict, Permissive };
  // The answers of a permissive fake to what nothing scripted.
  struct Defaults {
    Answer question = Answer::No;
    QString openFile, saveFile, saveFilter, folder;
  };

  explicit ScriptedMessages(Mode mode = Mode::Strict);  // installs itself
  ~ScriptedMessages() override;  // puts the previous service back and fails on unused expectations

  // Expectations, consumed in order. A text of "*" matches any text. A question answered Cancel
  // must have offered Cancel.
  ScriptedMessages& expectInfo(const QString& text);
  // The message after a file was written; openFolder presses its Open Folder button (which then
  // asks for the folder as a document).
  ScriptedMessages& expectFileWritten(const QString& text, bool openFolder = false);
  ScriptedMessages& expectQuestion(const QString& text, Answer answer, std::optional<bool> defaultNo = {});
  ScriptedMessages& expectInput(const QString& prompt, std::optional<QString> answer);
  ScriptedMessages& expectOpenFile(const QString& answer);
  // The chosen file name and, when given, the filter chosen with it.
  ScriptedMessages& expectSaveFile(const QString& answer, const QString& filter = {});
  ScriptedMessages& expectFolder(const QString& answer);
  // The printer answer: a PDF file name to print into, or empty to cancel; and the pages asked
  // for (from 1; 0: all).
  ScriptedMessages& expectPrinter(const QString& pdfFile, int fromPage = 0, int toPage = 0);
  ScriptedMessages& expectHelp(int topic);
  ScriptedMessages& expectDocument(const QString& pathEnd, bool opened = true);
  // A modal dialog: the handler fills it and returns the result code exec() would have given.
  ScriptedMessages& expectModal(const QString& objectName, std::function<int(QDialog&)> handler);

  const std::vector<Record>& log() const { return log_; }
  // The text of the last message shown (information, question or input box), empty when none came.
  QString last() const;
  void clearLog() { log_.clear(); }
  Defaults defaults;
  // Called with every message as it comes.
  std::function<void(const Record&)> onMessage;
  int pending() const { return int(queue_.size()); }
  const std::vector<SaveStart>& saveStarts() const { return saveStarts_; }
  // Fails the test when expectations are left over (strict only), then clears them.
  void verify();

  void information(const QString& text) override;
  void fileWritten(const QString& text, const QString& file) override;
  void typingHint(const QString& text) override { information(text); }
  Answer question(const QString& text, bool defaultNo) override;
  Answer questionWithCancel(const QString& text) override;
  std::optional<QString> inputBox(const QString& prompt, const QString& defaultText) override;
  QString openFileName(const QString& caption, const QString& dir, const QString& filter) override;
  QString saveFileName(const QString& caption, const QString& dir, const QString& filter,
                       QString* selectedFilter = nullptr) override;
  QString folderName(const QString& caption, const QString& dir) override;
  bool choosePrinter(QPrinter& printer) override;
  void showHelp(int topic) override;
  bool openDocument(const QString& path) override;
  int execModal(QDialog& dialog) override;

 private:
  struct Expect {
    Expect(Kind k, QString t) : kind(k), text(std::move(t)) {}
    Kind kind;
    QString text;
    Answer answer = Answer::Ok;
    std::optional<bool> defaultNo;
    std::optional<QString> textAnswer;
    QString filter;
    bool flag = true;
    int from = 0, to = 0;
    bool openFolder = false;
    std::function<int(QDialog&)> handler;
  };
  Expect take(Kind kind, const QString& text);
  void record(Record r);
  ScriptedMessages& push(Kind kind, const QString& text, const std::function<void(Expect&)>& fill = {});

  Mode mode_;
  std::deque<Expect> queue_;
  std::vector<Record> log_;
  std::vector<SaveStart> saveStarts_;
  MessageService* previous_ = nullptr;
};

const char* kindName(ScriptedMessages::Kind k);
