#include "support/ScriptedMessages.h"

#include <QDialog>
#include <QPrinter>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/Failure.h"

namespace {
void stop(const std::string& what) {
  std::fprintf(stderr, "failed: %s\n", what.c_str());
  std::exit(3);
}
FailureHandler g_failure = stop;

struct Failure : std::ostringstream {
  ~Failure() override { failed(str()); }
};
}  // namespace

void setFailureHandler(FailureHandler handler) { g_failure = handler ? handler : stop; }
void failed(const std::string& what) { g_failure(what); }

const char* kindName(ScriptedMessages::Kind k) {
  static const char* const names[] = {"information", "question", "input box", "open file", "save file",
                                      "folder",      "printer",  "help",      "document",  "modal dialog"};
  return names[int(k)];
}

ScriptedMessages::ScriptedMessages(Mode mode) : mode_(mode), previous_(setMessageService(this)) {}

ScriptedMessages::~ScriptedMessages() {
  setMessageService(previous_);
  verify();
}

void ScriptedMessages::verify() {
  if (mode_ == Mode::Strict)
    for (const auto& e : queue_)
      Failure() << "expected " << kindName(e.kind) << " \"" << e.text.toStdString() << "\" never came";
  queue_.clear();
}

ScriptedMessages& ScriptedMessages::push(Kind kind, const QString& text,
                                         const std::function<void(Expect&)>& fill) {
  Expect e(kind, text);
  if (fill) fill(e);
  queue_.push_back(std::move(e));
  return *this;
}

ScriptedMessages& ScriptedMessages::expectInfo(const QString& text) { return push(Kind::Information, text); }
ScriptedMessages& ScriptedMessages::expectFileWritten(const QString& text, bool openFolder) {
  return push(Kind::Information, text, [&](Expect& e) { e.openFolder = openFolder; });
}
ScriptedMessages& ScriptedMessages::expectQuestion(const QString& text, Answer answer,
                                                   std::optional<bool> defaultNo) {
  return push(Kind::Question, text, [&](Expect& e) {
    e.answer = answer;
    e.defaultNo = defaultNo;
  });
}
ScriptedMessages& ScriptedMessages::expectInput(const QString& prompt, std::optional<QString> answer) {
  return push(Kind::InputBox, prompt, [&](Expect& e) { e.textAnswer = answer; });
}
ScriptedMessages& ScriptedMessages::expectOpenFile(const QString& answer) {
  return push(Kind::OpenFile, QStringLiteral("*"), [&](Expect& e) { e.textAnswer = answer; });
}
ScriptedMessages& ScriptedMessages::expectSaveFile(const QString& answer, const QString& filter) {
  return push(Kind::SaveFile, QStringLiteral("*"), [&](Expect& e) {
    e.textAnswer = answer;
    e.filter = filter;
  });
}
ScriptedMessages& ScriptedMessages::expectFolder(const QString& answer) {
  return push(Kind::Folder, QStringLiteral("*"), [&](Expect& e) { e.textAnswer = answer; });
}
ScriptedMessages& ScriptedMessages::expectPrinter(const QString& pdfFile, int fromPage, int toPage) {
  return push(Kind::Printer, QStringLiteral("*"), [&](Expect& e) {
    e.textAnswer = pdfFile;
    e.from = fromPage;
    e.to = toPage;
  });
}
ScriptedMessages& ScriptedMessages::expectHelp(int topic) { return push(Kind::Help, QString::number(topic)); }
ScriptedMessages& ScriptedMessages::expectDocument(const QString& pathEnd, bool opened) {
  return push(Kind::Document, pathEnd, [&](Expect& e) { e.flag = opened; });
}
ScriptedMessages& ScriptedMessages::expectModal(const QString& objectName,
                                                std::function<int(QDialog&)> handler) {
  return push(Kind::Modal, objectName, [&](Expect& e) { e.handler = std::move(handler); });
}

QString ScriptedMessages::last() const {
  for (auto r = log_.rbegin(); r != log_.rend(); ++r)
    if (r->kind == Kind::Information || r->kind == Kind::Question || r->kind == Kind::InputBox)
      return r->text;
  return {};
}

void ScriptedMessages::record(Record r) {
  log_.push_back(r);
  if (onMessage) onMessage(log_.back());
}

ScriptedMessages::Expect ScriptedMessages::take(Kind kind, const QString& text) {
  if (mode_ == Mode::Permissive &&
      (queue_.empty() || queue_.front().kind != kind ||
       (queue_.front().text != QLatin1String("*") && queue_.front().text != text))) {
    Expect dflt(kind, text);
    dflt.answer = defaults.question;
    dflt.flag = false;
    dflt.filter = defaults.saveFilter;
    if (kind == Kind::OpenFile) dflt.textAnswer = defaults.openFile;
    if (kind == Kind::SaveFile) dflt.textAnswer = defaults.saveFile;
    if (kind == Kind::Folder) dflt.textAnswer = defaults.folder;
    return dflt;
  }
  if (queue_.empty()) {
    Failure() << "unexpected " << kindName(kind) << ": \"" << text.toStdString() << "\"";
    Expect none(kind, text);
    none.answer = Answer::Cancel;
    none.flag = false;
    return none;
  }
  Expect e = queue_.front();
  queue_.pop_front();
  bool matches = e.kind == kind;
  if (matches && e.text != QLatin1String("*")) {
    matches = kind == Kind::Document ? text.endsWith(e.text) : e.text == text;
  }
  if (!matches) {
    Failure() << "expected " << kindName(e.kind) << " \"" << e.text.toStdString() << "\" but got "
              << kindName(kind) << " \"" << text.toStdString() << "\"";
  }
  return e;
}

void ScriptedMessages::information(const QString& text) {
  record({Kind::Information, text});
  take(Kind::Information, text);
}

void ScriptedMessages::fileWritten(const QString& text, const QString& file) {
  record({Kind::Information, text});
  if (take(Kind::Information, text).openFolder) openFileFolder(file);
}

MessageService::Answer ScriptedMessages::question(const QString& text, bool defaultNo) {
  record({Kind::Question, text, defaultNo});
  Expect e = take(Kind::Question, text);
  if (e.defaultNo && *e.defaultNo != defaultNo)
    Failure() << "question \"" << text.toStdString() << "\" default button is " << (defaultNo ? "No" : "Yes");
  if (e.answer == Answer::Cancel) Failure() << "question \"" << text.toStdString() << "\" has no Cancel";
  return e.answer == Answer::Ok ? Answer::Yes : e.answer;
}

MessageService::Answer ScriptedMessages::questionWithCancel(const QString& text) {
  record({Kind::Question, text, true, true});
  Expect e = take(Kind::Question, text);
  if (e.defaultNo && !*e.defaultNo) Failure() << "question \"" << text.toStdString() << "\" default is No";
  return e.answer == Answer::Ok ? Answer::Yes : e.answer;
}

std::optional<QString> ScriptedMessages::inputBox(const QString& prompt, const QString&) {
  record({Kind::InputBox, prompt});
  return take(Kind::InputBox, prompt).textAnswer;
}

QString ScriptedMessages::openFileName(const QString& caption, const QString&, const QString&) {
  record({Kind::OpenFile, caption});
  return take(Kind::OpenFile, caption).textAnswer.value_or(QString());
}
QString ScriptedMessages::saveFileName(const QString& caption, const QString& dir, const QString&,
                                       QString* selectedFilter) {
  record({Kind::SaveFile, caption});
  saveStarts_.push_back({dir, selectedFilter ? *selectedFilter : QString()});
  const Expect e = take(Kind::SaveFile, caption);
  if (selectedFilter) *selectedFilter = e.filter;
  return e.textAnswer.value_or(QString());
}
QString ScriptedMessages::folderName(const QString& caption, const QString&) {
  record({Kind::Folder, caption});
  return take(Kind::Folder, caption).textAnswer.value_or(QString());
}

bool ScriptedMessages::choosePrinter(QPrinter& printer) {
  record({Kind::Printer, QString()});
  const Expect e = take(Kind::Printer, QStringLiteral("printer"));
  const QString file = e.textAnswer.value_or(QString());
  if (file.isEmpty()) return false;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  if (e.from > 0) {
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(e.from, e.to);
  }
  return true;
}

void ScriptedMessages::showHelp(int topic) {
  record({Kind::Help, QString::number(topic)});
  take(Kind::Help, QString::number(topic));
}

bool ScriptedMessages::openDocument(const QString& path) {
  record({Kind::Document, path});
  return take(Kind::Document, path).flag;
}

int ScriptedMessages::execModal(QDialog& dialog) {
  record({Kind::Modal, dialog.objectName()});
  Expect e = take(Kind::Modal, dialog.objectName());
  if (!e.handler) return QDialog::Rejected;
  dialog.show();
  return e.handler(dialog);
}
