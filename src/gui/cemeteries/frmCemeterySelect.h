#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

class QDialogButtonBox;
class QLabel;
class QListWidget;
namespace Ui {
class frmCemeterySelect;
}

// The cemetery chooser. A double-click on an entry (or OK, or Enter) leaves the choice in
// ZEL1.CurrentCemeteryId and ZEL1.CurrentCemeteryName; any other way of closing leaves CurrentCemeteryId at
// 0.
class frmCemeterySelect : public QDialog {
  Q_OBJECT

 public:
  explicit frmCemeterySelect(QWidget* parent = nullptr);
  ~frmCemeterySelect() override;

  // Runs the chooser modally; true when a cemetery was chosen (ZEL1.CurrentCemeteryId > 0). With
  // no cemetery at all it says so instead.
  static bool choose(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QListWidget* List1 = nullptr;
  QDialogButtonBox* Buttons = nullptr;

  void List1DblClick();

 private:
  std::unique_ptr<Ui::frmCemeterySelect> ui_;
};

inline constexpr const char* kNothingToChoose =
    "There are no cemeteries to choose from. Add one first on the grave record form (the Modify "
    "button beside Cemetery).";

// The cemetery a map command works on, left in ZEL1.CurrentCemeteryId: with no cemetery the
// message noneMessage and false; exactly one is taken without asking; with several, choose decides
// (the chooser by default). A database failure is shown and gives false.
bool settleCemetery(const QString& noneMessage, const std::function<bool()>& choose = {});

// The Name of a cemetery; nothing when there is no such cemetery. A failing read throws DbError.
std::optional<QString> cemeteryName(qint32 cemeteryId);
