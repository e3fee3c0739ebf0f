#pragma once

#include <QWidget>
#include <functional>

#include "reports/Reports.h"

class GridControl;
class QAction;
class QMenu;
class QMenuBar;

// The report window: one report, picked from the menu, built into the grid straight from the
// database; then it can be printed. Choosing shows "&ReportType" and "C&lose", Showing "&Print" and
// "C&lose": a second report needs the window opened again.
class frmReports : public QWidget {
  Q_OBJECT
 public:
  explicit frmReports(const Report::Format& format, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {900, 600}; }

  GridControl* Spread1;
  QMenuBar* menuBar;
  QMenu* mnuReportsMenu;
  QAction* mnuReports;  // the "&ReportType" menu as a whole
  QAction* mnuCemeteryList;
  QAction* mnuLotList;
  QMenu* mnuInterredListMenu;
  QAction* mnuInterredList;
  QAction* mnuLocationSort;
  QAction* mnuNameSort;
  QAction* mnuDOBSort;
  QAction* mnuDODSort;
  QAction* mnuAging;
  QAction* mnuPrint;
  QAction* mnuClose;

  // The cemetery chooser for per-cemetery reports: true when ZEL1.CurrentCemeteryId was chosen.
  // The real chooser unless replaced.
  std::function<bool()> chooseCemetery;
  // The text of the page footer: the frame's status bar panel.
  std::function<QString()> statusText;

  void mnuCemeteryListClick() { runReport(Report::Id::CemeteryList); }
  void mnuLotListClick() { runReport(Report::Id::LotList); }
  void mnuLocationSortClick() { runReport(Report::Id::InterredByLocation); }
  void mnuNameSortClick() { runReport(Report::Id::InterredByName); }
  void mnuDOBSortClick() { runReport(Report::Id::InterredByDob); }
  void mnuDODSortClick() { runReport(Report::Id::InterredByDod); }
  void mnuAgingClick() { runReport(Report::Id::Receivables); }
  void mnuPrintClick();
  void mnuCloseClick();

  // Builds a report into the grid. False, with the window as it was, when no cemetery was chosen
  // or the database failed (the failure is shown).
  bool runReport(Report::Id id);
  // The report shown (empty before one was built).
  const Report::Table& table() const { return table_; }
  bool showing() const { return showing_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void showTable();

  Report::Format format_;
  Report::Table table_;
  bool showing_ = false;
};
