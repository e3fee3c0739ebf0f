#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmFind;
}

// The find dialog: turns the fields filled on its showing tab into a query on zel, which it leaves
// in PendingQuery for the record form (empty when cancelled). Its fields are the record form's,
// named as the field table names their controls.
class frmFind : public QDialog {
  Q_OBJECT
 public:
  explicit frmFind(QWidget* parent = nullptr);
  ~frmFind() override;

  // The query for the showing tab, from the fields as they stand.
  QString buildQuery() const;

  void Command1Click();  // OK
  void Command2Click();  // Cancel
  void Command4Click();  // Help

  void reject() override;

 private:
  std::unique_ptr<Ui::frmFind> ui_;
};
