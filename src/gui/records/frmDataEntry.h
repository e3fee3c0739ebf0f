#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>

#include "core/store/RecordFields.h"
#include "gui/records/RecordBinding.h"
#include "gui/records/RecordPrintout.h"
#include "ui_frmDataEntry.h"

// The grave record form: shows one row of zel at a time, and creates, changes, finds, steps
// through, saves and removes records. It works on its own or inside the frame's QMdiArea.
// Its controls, menus and toolbar come from frmDataEntry.ui, each under its own name and objectName.
// What each field shows, prints and writes is read from the record's field table.
class frmDataEntry : public QMainWindow {
  Q_OBJECT
 public:
  // What First reads in the form's first order (by location), for a warm-up of the connection.
  static QString firstQuery();
  explicit frmDataEntry(QWidget* parent = nullptr);
  ~frmDataEntry() override;

  // The controls by name, for tests and tools that drive the form as a user would.
  const Ui::frmDataEntry& ui() const { return ui_; }

  // Commands of the form. Every command that leaves the record (New, Find, the navigation, a
  // pending query, closing) asks first when it has changed; a save refused there keeps the form on
  // the record with the edits, and the field in question focused.
  void ShowCurrentRecord();
  void mnuNewClick();
  void mnuOpenClick();
  void mnuGetFirstClick();
  void mnuGetLastClick();
  void mnuGetPrevClick();
  void mnuGetNextClick();
  void mnuSaveClick();
  void mnuRemoveClick();
  // The record's history, newest first.
  void mnuHistoryClick();
  // The removed records; one put back is shown as the form's record.
  void mnuRemovedClick();
  void mnuMapViewClick();
  void mnuCloseClick();
  void mnuHelpClick();
  void Command1Click();
  void Command2Click();
  void Command3Click();
  void Toolbar1ButtonClick(const QString& key);
  // Runs PendingQuery when one is waiting; called on every activation of the form.
  void FormActivate();
  // Rebuild the cemetery lists (txtCemetery, Combo1) and the lot type list; nothing stays selected.
  void loadCemeteryLists();
  void loadLotList();

  // Field reactions.
  void txtIntermentDateLeave();
  void txtDateOfBirthLeave();
  void txtDateOfDeathLeave();
  void txtAgeEnter();
  void txtAgeLeave();
  void txtLotInfoClick();
  // The owner address dialog on the six hidden address fields; Save copies its texts back.
  void editAddress();
  // The shown values, for the printout (unsaved edits print as they stand).
  PrintedRecord printedRecord() const;
  // Opened over records this connection may only read: nothing on it changes them.
  bool isReadOnly() const { return readOnly_; }

 signals:
  // Windows that the frame shows beside the form.
  // MapView, once ZEL1.CurrentCemeteryId names the cemetery: the map viewer.
  void mapViewerWanted();
  // mnuImport, offered only while something listens: the import window.
  void importWanted();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void connectCommands();
  void openReadOnly();
  void markChanged();
  void showRecord(const RecordSet* rs);
  void clearForm();
  // The save question before the form leaves the record. True when it may move on.
  bool leaveRecord();
  // The save; false when a check refused it or the database failed.
  bool save();
  // A save refused because another clerk changed or removed the record since it was shown: the
  // clerk reloads it, saves over it, or goes on editing. True when it was saved after all.
  bool resolveConflict(bool removed);
  // "Another clerk changed this record since it was shown; it was not saved." and what changed, a
  // line each (RecordBinding::changedSince).
  QString changedText(const RecordSet& rs, const QString& notDone, QStringList* columns) const;
  // A remove refused because the record changed since it was shown: says what changed and offers
  // to show it as stored now.
  void removeConflict(qint64 recid);
  bool refuse(const QString& message, QWidget* field);
  void refuseOnLeave(const std::optional<RecordFields::DateRefusal>& refusal, QWidget* field);
  bool checkFields();
  bool placeTaken(bool isNew);
  void writeRecord(bool isNew);
  void openFirstOrLast(bool last);
  void step(bool forward);
  void openRecords(const QString& sql);
  // Shows the erased owner fields of a stored record as they are stored now.
  void showErased(qint64 recid);
  void runQuery(const QString& sql);
  QString orderByText() const;
  bool navigationKey(int key);
  void dateHint(DateEdit* field);
  void hintLater(const QString& text, QWidget* field);
  // Moves the focus without the reactions of the fields it leaves and enters.
  void focusField(QWidget* field);
  // Puts the focus back on a refused field once the current focus change has finished.
  void returnFocusTo(QWidget* field);

  Ui::frmDataEntry ui_;
  std::unique_ptr<RecordBinding> record_;
  bool closed_ = false;
  bool suppressFocus_ = false;
  bool readOnly_ = false;
  // The shown record's version on a server: a save goes over that version only.
  std::optional<qint64> shownVersion_;
};
