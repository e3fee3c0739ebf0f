#pragma once

#include <QDialog>
#include <QString>

class QGridLayout;
class QLabel;
class QGridLayout;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class RecordSet;

// The common frame of the cemetery manager and the lot type manager: a list of the table's rows
// (hidden ids), entry fields, New/Save/Help/Close, double-click to open an entry and a
// right-button press to delete the selected one. Unsaved edits are tracked in ZEL1.ManagerChanged.
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
  };

  QListWidget* List1 = nullptr;
  QLabel* lblHint = nullptr;
  QPushButton* Command4 = nullptr;  // New
  QPushButton* Command2 = nullptr;  // Save
  QPushButton* Command3 = nullptr;  // Help
  QPushButton* Command1 = nullptr;  // Close

  void Command4Click();  // New
  bool Command2Click();  // Save; false when refused or failed
  void Command3Click();  // Help
  void Command1Click();  // Close
  void List1DblClick();
  void List1MouseDown(Qt::MouseButton button);

  // The selected entry's index, -1 when none.
  int selectedIndex() const;

 protected:
  ManagerDialog(const Table& table, QWidget* parent);

  // Puts the subclass's field grid beside the list and finishes the window (Load).
  void finishLayout(QGridLayout* fields);
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
  void openEntry(qint64 id);
  void deleteEntry();
  void selectId(qint64 id);
  void centre();

  Table table_;
  bool closing_ = false;
};

// Shows a text in a line field without cutting it to the field's typing limit: a longer stored
// text stays whole, so saving it again changes nothing.
void setFieldText(QLineEdit* field, const QString& text, int limit);
// An id field: shown, never typed into, and drawn on the window's background to say so.
void makeIdField(QLineEdit* field);

// The six address texts of a cemetery or a purchaser: made on parent with their object names
// (txtAddr1, txtAddr2, txtCity, txtState, txtZipCode, txtPhone) and typing limits, and laid out
// from a grid row on as "Address 1", "Address 2", "City/State/Zip" (three fields) and "Phone".
struct AddressFields {
  QLineEdit *addr1, *addr2, *city, *state, *zipCode, *phone;
};
AddressFields makeAddressFields(QWidget* parent, int cityLimit);
// Returns the row after the last one used.
int addAddressRows(QGridLayout* grid, int row, const AddressFields& f);
