#pragma once

#include <QDialog>
#include <vector>

#include "core/history/History.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The records removed from the database, as the history keeps them: found by place or name, each
// shown with its last contents whole, and put back as a new record on request.
class frmRemovedRecords : public QDialog {
  Q_OBJECT

 public:
  explicit frmRemovedRecords(QWidget* parent = nullptr);

  // Runs the window modally; the record number of the record put back, 0 when none was.
  static qint64 choose(QWidget* parent = nullptr);

  QLineEdit* txtFind = nullptr;
  QTableWidget* List1 = nullptr;
  QPlainTextEdit* txtContents = nullptr;
  QPushButton* Command1 = nullptr;  // Put Back
  QPushButton* Command2 = nullptr;  // Close

  void txtFindChange();
  void Command1Click();
  qint64 putBackRecord() const { return putBack_; }

 private:
  void fill();
  void showContents();
  const History::Removed* selected() const;

  std::vector<History::Removed> removed_;
  qint64 putBack_ = 0;
  bool readOnly_ = false;
};
