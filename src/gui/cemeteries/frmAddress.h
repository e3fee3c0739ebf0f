#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "ui_frmAddress.h"

// The purchaser's postal address and telephone as the record form keeps them.
struct OwnerAddress {
  QString addr1, addr2, city, state, zipCode, phone;
  bool operator==(const OwnerAddress&) const = default;
};

// The owner address dialog: shows the record form's six address texts; Save hands them back.
class frmAddress : public QDialog {
  Q_OBJECT

 public:
  // recid: the stored record whose address this is, which Erase works on; 0 for a new record.
  explicit frmAddress(const OwnerAddress& address, QWidget* parent = nullptr, qint64 recid = 0);

  // Runs the dialog modally: the edited texts after Save, nothing after Close or an erasure (erased
  // then tells so).
  static std::optional<OwnerAddress> edit(const OwnerAddress& address, QWidget* parent = nullptr,
                                          qint64 recid = 0, bool* erased = nullptr);

  OwnerAddress address() const;

  // The fields and Save (Command1) and Close (Command2) by name (frmAddress.ui), for tests.
  const Ui::frmAddress& ui() const { return ui_; }

  void Command1Click();
  void Command2Click();
  // Erase: after a question, the stored address and phone of the record are erased, in the record
  // and in its history; the dialog closes.
  void cmdEraseClick();
  bool erased() const { return erased_; }

 private:
  Ui::frmAddress ui_;
  qint64 recid_ = 0;
  bool erased_ = false;
};
