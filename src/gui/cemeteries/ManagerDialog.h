#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "ui_ManagerDialog.h"

class QFontMetrics;
class QLineEdit;
class QPlainTextEdit;
class RecordSet;

// The common frame of the cemetery manager and the lot type manager (ManagerDialog.ui): a list of
// the table's rows (hidden ids), entry fields, New (Command4), Save (Command2), Help (Command3),
// Close (Command1), double-click to open an entry and a right-button press to delete the selected
// one. Unsaved edits are tracked in ZEL1.ManagerChanged.
class ManagerDialog : public QDialog {
  Q_OBJECT

 public:
  // Texts and SQL of one table.
  struct Table {
    QString objectName;
    QString caption;
    QString listSql;         // the list, in its order
    QString listColumn;      // visible text of an entry
    QString idColumn;        // hidden id of an entry
    QString rowSql;          // followed by an id
    QString inUseSql;        // grave records that use an id, followed by the id
    QString deleteSql;       // followed by an id
    QString emptyMessage;    // Save with the required field empty
    QString inUseMessage;    // delete refused
    QString deleteQuestion;  // followed by two line feeds and the entry's text
    int helpTopic = 0;
    QString historyTable;  // the table's name in the change history
    QString historyTitle;  // the title of the history of every entry
  };

  // The frame's controls by name, for tests that drive the window as a user would.
  const Ui::ManagerDialog& ui() const { return ui_; }

  void Command4Click();  // New
  bool Command2Click();  // Save; false when refused or failed
  void Command3Click();  // Help
  void Command1Click();  // Close
  // History: the entries of the entry open, else of the one selected, else of the whole table.
  void cmdHistoryClick();
  void List1DblClick();
  void List1MouseDown(Qt::MouseButton button);

  // The selected entry's index, -1 when none.
  int selectedIndex() const;

 protected:
  ManagerDialog(const Table& table, QWidget* parent);

  // The area beside the list that the subclass fills with its fields (its own .ui file).
  QWidget* fieldsArea() const { return ui_.fieldsArea; }
  // Finishes the window once the fields are in place (Load).
  void finish();
  // A change notification of a data field marks the edits unsaved.
  void watch(QLineEdit* field);
  void watch(QPlainTextEdit* field);

  virtual QLineEdit* idField() const = 0;
  virtual QWidget* firstField() const = 0;
  virtual bool requiredEmpty() const = 0;
  virtual void clearFields() = 0;
  virtual void writeFields(RecordSet& rs) = 0;
  virtual void readFields(const RecordSet& rs) = 0;

  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fillList();
  bool newEntry();  // false when the save question's Save was refused
  bool askSaveFirst();
  bool save();
  // The table the manager keeps: "cemetery" or "lots".
  QString tableName() const;
  void openEntry(qint64 id);
  void deleteEntry();
  void selectId(qint64 id);
  void centre();

  Ui::ManagerDialog ui_;
  Table table_;
  bool closing_ = false;
  bool readOnly_ = false;
  // The open entry's version on a server: a save goes over that version only.
  std::optional<qint64> version_;
};

// Shows a text in a line field without cutting it to the field's typing limit: a longer stored
// text stays whole, so saving it again changes nothing.
void setFieldText(QLineEdit* field, const QString& text, int limit);
// An id field: shown, never typed into, and drawn on the window's background to say so.
void makeIdField(QLineEdit* field);

// The state and zip code fields as wide as their longest text in the window's font.
void fitAddressWidths(const QFontMetrics& fm, QLineEdit* state, QLineEdit* zipCode);
