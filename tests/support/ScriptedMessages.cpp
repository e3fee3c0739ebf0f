#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPrinter>

const char* kindName(ScriptedMessages::Kind k) {
  switch (k) {
    case ScriptedMessages::Kind::Information:
      return "information";
    case ScriptedMessages::Kind::Question:
      return "question";
    case ScriptedMessages::Kind::InputBox:
      return "input box";
    case ScriptedMessages::Kind::OpenFile:
      return "open file";
    case ScriptedMessages::Kind::SaveFile:
      return "save file";
    case ScriptedMessages::Kind::Folder:
      return "folder";
    case ScriptedMessages::Kind::Printer:
      return "printer";
    case ScriptedMessages::Kind::Help:
      return "help";
    case ScriptedMessages::Kind::Document:
      return "document";
    case ScriptedMessages::Kind::Modal:
      return "modal dialog";
  }
  return "?";
}

ScriptedMessages::ScriptedMessages() : previous_(setMessageService(this)) {}

ScriptedMessages::~ScriptedMessages() {
  setMessageService(previous_);
  verify();
}

void ScriptedMessages::verify() {
  for (const auto& e : queue_)
    ADD_FAILURE() << "expected " << kindName(e.kind) << " \"" << e.text.toStdString() << "\" never came";
  queue_.clear();
}

ScriptedMessages& ScriptedMessages::expectInfo(const QString& text) {
  queue_.push_back(Expect(Kind::Information, text));
  return *this;
}
ScriptedMessages& ScriptedMessages::expectFileWritten(const QString& text, bool openFolder) {
  Expect e(Kind::Information, text);
  e.openFolder = openFolder;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectQuestion(const QString& text, Answer answer,
                                                   std::optional<bool> defaultNo) {
  Expect e(Kind::Question, text);
  e.answer = answer;
  e.defaultNo = defaultNo;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectInput(const QString& prompt, std::optional<QString> answer) {
  Expect e(Kind::InputBox, prompt);
  e.textAnswer = answer;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectOpenFile(const QString& answer) {
  Expect e(Kind::OpenFile, QStringLiteral("*"));
  e.textAnswer = answer;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectSaveFile(const QString& answer, const QString& filter) {
  Expect e(Kind::SaveFile, QStringLiteral("*"));
  e.textAnswer = answer;
  e.filter = filter;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectFolder(const QString& answer) {
  Expect e(Kind::Folder, QStringLiteral("*"));
  e.textAnswer = answer;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectPrinter(const QString& pdfFile, int fromPage, int toPage) {
  Expect e(Kind::Printer, QStringLiteral("*"));
  e.textAnswer = pdfFile;
  e.from = fromPage;
  e.to = toPage;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectHelp(int topic) {
  queue_.push_back(Expect(Kind::Help, QString::number(topic)));
  return *this;
}
ScriptedMessages& ScriptedMessages::expectDocument(const QString& pathEnd, bool opened) {
  Expect e(Kind::Document, pathEnd);
  e.flag = opened;
  queue_.push_back(e);
  return *this;
}
ScriptedMessages& ScriptedMessages::expectModal(const QString& objectName,
                                                std::function<int(QDialog&)> handler) {
  Expect e(Kind::Modal, objectName);
  e.handler = std::move(handler);
  queue_.push_back(e);
  return *this;
}

ScriptedMessages::Expect ScriptedMessages::take(Kind kind, const QString& text) {
  if (queue_.empty()) {
    ADD_FAILURE() << "unexpected " << kindName(kind) << ": \"" << text.toStdString() << "\"";
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
    ADD_FAILURE() << "expected " << kindName(e.kind) << " \"" << e.text.toStdString() << "\" but got "
                  << kindName(kind) << " \"" << text.toStdString() << "\"";
  }
  return e;
}

void ScriptedMessages::information(const QString& text) {
  log_.push_back({Kind::Information, text});
  take(Kind::Information, text);
}

void ScriptedMessages::fileWritten(const QString& text, const QString& file) {
  log_.push_back({Kind::Information, text});
  if (take(Kind::Information, text).openFolder) openFileFolder(file);
}

MessageService::Answer ScriptedMessages::question(const QString& text, bool defaultNo) {
  log_.push_back({Kind::Question, text, defaultNo});
  Expect e = take(Kind::Question, text);
  if (e.defaultNo && *e.defaultNo != defaultNo)
    ADD_FAILURE() << "question \"" << text.toStdString() << "\" default button is "
                  << (defaultNo ? "No" : "Yes");
  if (e.answer == Answer::Cancel) ADD_FAILURE() << "question \"" << text.toStdString() << "\" has no Cancel";
  return e.answer == Answer::Ok ? Answer::Yes : e.answer;
}

MessageService::Answer ScriptedMessages::questionWithCancel(const QString& text) {
  log_.push_back({Kind::Question, text, true, true});
  Expect e = take(Kind::Question, text);
  if (e.defaultNo && !*e.defaultNo)
    ADD_FAILURE() << "question \"" << text.toStdString() << "\" default is No";
  return e.answer == Answer::Ok ? Answer::Yes : e.answer;
}

std::optional<QString> ScriptedMessages::inputBox(const QString& prompt, const QString&) {
  log_.push_back({Kind::InputBox, prompt});
  return take(Kind::InputBox, prompt).textAnswer;
}

QString ScriptedMessages::openFileName(const QString& caption, const QString&, const QString&) {
  log_.push_back({Kind::OpenFile, caption});
  return take(Kind::OpenFile, caption).textAnswer.value_or(QString());
}
QString ScriptedMessages::saveFileName(const QString& caption, const QString& dir, const QString&,
                                       QString* selectedFilter) {
  log_.push_back({Kind::SaveFile, caption});
  saveStarts_.push_back({dir, selectedFilter ? *selectedFilter : QString()});
  const Expect e = take(Kind::SaveFile, caption);
  if (selectedFilter) *selectedFilter = e.filter;
  return e.textAnswer.value_or(QString());
}
QString ScriptedMessages::folderName(const QString& caption, const QString&) {
  log_.push_back({Kind::Folder, caption});
  return take(Kind::Folder, caption).textAnswer.value_or(QString());
}

bool ScriptedMessages::choosePrinter(QPrinter& printer) {
  log_.push_back({Kind::Printer, QString()});
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
  log_.push_back({Kind::Help, QString::number(topic)});
  take(Kind::Help, QString::number(topic));
}

bool ScriptedMessages::openDocument(const QString& path) {
  log_.push_back({Kind::Document, path});
  return take(Kind::Document, path).flag;
}

int ScriptedMessages::execModal(QDialog& dialog) {
  log_.push_back({Kind::Modal, dialog.objectName()});
  Expect e = take(Kind::Modal, dialog.objectName());
  if (!e.handler) return QDialog::Rejected;
  dialog.show();
  return e.handler(dialog);
}
