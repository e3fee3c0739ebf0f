#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "core/store/RecordFields.h"
#include "core/store/Value.h"

class QRadioButton;
class QWidget;
class RecordSet;

// The grave record's field table bound to a form's controls, each found under the control name the
// table gives: it sets up the controls (limits, captions of their labels, widths for their longest
// values), shows a row or an empty record, tells what each field holds and whether the user changed
// it since, and writes the fields into a row.
class RecordBinding {
 public:
  // changed runs on every change of a field's content.
  RecordBinding(QWidget* form, const std::function<void()>& changed);

  // Shows the current row of a set, or an empty record for nullptr.
  void show(const RecordSet* rs);
  // Remembers what every field shows now as the stored record (after a save).
  void keepShown();
  // Shows some columns of the current row of a set as stored, leaving the other fields and their
  // edits alone (after those columns were changed in the database behind the form).
  void showStored(const RecordSet& rs, const QStringList& columns);

  // The fields whose stored value in the set's current row differs from the one shown: a line each
  // ("Owner Last Name: \"Smith\", now \"Jones\""), and their columns.
  QStringList changedSince(const RecordSet& rs, QStringList* columns) const;
  // Remembers the set's current row as the stored record, the fields left as they show.
  void keepStored(const RecordSet& rs);

  QWidget* control(QAnyStringView column) const;
  // What a field holds, as text: its text, the chosen entry's id, or the sex letter (" " for none).
  QString current(const QWidget* control) const;
  // Whether the user changed the field since the record was shown or saved.
  bool edited(const QWidget* control) const;
  // The first number field beyond what its column holds, of all or of the edited fields.
  const RecordFields::Field* numberOutOfRange(bool all) const;
  // Writes all fields, or only the edited ones, into the row a set is editing or adding: a stored
  // value the user left alone is never rewritten as the form shows it (trimmed, rounded, without its
  // time of day). Key and state are not written.
  void write(RecordSet& rs, bool all) const;
  // Each printed field's shown text by column; sex as the chosen button's caption.
  QHash<QString, QString> printed() const;

 private:
  struct Bound {
    const RecordFields::Field* field;
    QWidget* control;
    QString shown;  // what the field showed when the record was shown or saved
    Value stored;   // the value stored then
  };
  QString describe(const Bound& b, const Value& v) const;
  const Bound& bound(const QWidget* control) const;
  QString current(const Bound& b) const;
  void showValue(const Bound& b, const Value& v);

  std::vector<Bound> fields_;
  std::vector<std::pair<QRadioButton*, QChar>> sex_;  // each sex button and its letter
};
