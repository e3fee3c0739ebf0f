#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

class QLineEdit;
class QPushButton;
namespace Ui {
class frmAddress;
}

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
  ~frmAddress() override;

  // Runs the dialog modally: the edited texts after Save, nothing after Close.
  static std::optional<OwnerAddress> edit(const OwnerAddress& address, QWidget* parent = nullptr);

  OwnerAddress address() const;

  QLineEdit* txtAddr1 = nullptr;
  QLineEdit* txtAddr2 = nullptr;
  QLineEdit* txtCity = nullptr;
  QLineEdit* txtState = nullptr;
  QLineEdit* txtZipCode = nullptr;
  QLineEdit* txtPhone = nullptr;
  QPushButton* Command1 = nullptr;  // Save
  QPushButton* Command2 = nullptr;  // Close

  void Command1Click();
  void Command2Click();

 private:
  std::unique_ptr<Ui::frmAddress> ui_;
};
