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
  explicit frmAddress(const OwnerAddress& address, QWidget* parent = nullptr);

  // Runs the dialog modally: the edited texts after Save, nothing after Close.
  static std::optional<OwnerAddress> edit(const OwnerAddress& address, QWidget* parent = nullptr);

  OwnerAddress address() const;

  // The fields and Save (Command1) and Close (Command2) by name (frmAddress.ui), for tests.
  const Ui::frmAddress& ui() const { return ui_; }

  void Command1Click();
  void Command2Click();

 private:
  Ui::frmAddress ui_;
};
