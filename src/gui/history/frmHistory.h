#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// One entry of the change history as the windows show it: every text already in the user's terms
// (local time, field captions, values as the forms write them).
struct HistoryLine {
  QString when;  // local time
  QString user;
  QString computer;
  QString what;  // the field's caption, or what happened ("Record added", ...)
  QString oldValue;
  QString newValue;
};

// A read-only list of history entries, newest first as given. The selected entry's values are
// shown whole below the list, so that a long remark is never cut off.
class frmHistory : public QDialog {
  Q_OBJECT

 public:
  frmHistory(const QString& title, const std::vector<HistoryLine>& lines, QWidget* parent = nullptr);

  // Runs the list modally through the message service.
  static void showEntries(const QString& title, const std::vector<HistoryLine>& lines,
                          QWidget* parent = nullptr);

  QLabel* lblCount = nullptr;
  QTableWidget* List1 = nullptr;
  QPlainTextEdit* txtDetail = nullptr;
  QPushButton* Command1 = nullptr;  // Close

 private:
  void showDetail();
  std::vector<HistoryLine> lines_;
};

// Places a dialog in the middle of its screen, no larger than the screen leaves room for.
void centreOnScreen(QWidget* dialog);
