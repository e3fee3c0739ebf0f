#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "gui/controls/MessageService.h"

// Benchmarks run without anyone at the screen: messages are kept instead of waiting for a click,
// questions take queued answers (No when none is left), and the file dialogs answer with the
// names set here.
class BenchMessages : public MessageService {
 public:
  QString last;
  QList<Answer> answers;
  QString openFile;
  QString saveAs;
  QString saveFilter;

  void information(const QString& text) override { last = text; }
  Answer question(const QString& text, bool) override {
    last = text;
    return answers.isEmpty() ? Answer::No : answers.takeFirst();
  }
  std::optional<QString> inputBox(const QString& prompt, const QString&) override {
    last = prompt;
    return std::nullopt;
  }
  QString openFileName(const QString&, const QString&, const QString&) override { return openFile; }
  QString saveFileName(const QString&, const QString&, const QString&, QString* filter) override {
    if (filter) *filter = saveFilter;
    return saveAs;
  }
  QString folderName(const QString&, const QString&) override { return {}; }
  bool choosePrinter(QPrinter&) override { return false; }
  void showHelp(int) override {}
  bool openDocument(const QString&) override { return false; }
  // A modal dialog closes at once unless modal answers it.
  std::function<int(QDialog&)> modal;
  int execModal(QDialog& dialog) override { return modal ? modal(dialog) : 0; }
};
