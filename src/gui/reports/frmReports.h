#pragma once

#include <QDate>
#include <QWidget>
#include <memory>

#include "core/reports/Reports.h"
#include "render/ReportPages.h"

class ReportGrid;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
namespace Ui {
class frmReports;
}

// The report window: one report, picked from the menu, built from the database and shown in the
// grid; then it can be printed or saved. Choosing shows "&ReportType" and "C&lose", Showing
// "&Print", "Save &As..." and "C&lose": a second report needs the window opened again.
class frmReports : public QWidget {
  Q_OBJECT
 public:
  explicit frmReports(const Report::Format& format, QWidget* parent = nullptr);
  ~frmReports() override;
  QSize sizeHint() const override { return {900, 600}; }

  ReportGrid* Spread1;  // shows table(), not a copy of it
  QLabel* lblHint;      // what to do, while no report is shown
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
  QAction* mnuAvailableGraves;
  QAction* mnuMapCheck;
  QAction* mnuAgedReceivables;
  QAction* mnuRightsOfBurial;
  QAction* mnuPrint;
  QAction* mnuSaveAs;
  QAction* mnuClose;

  // The text of the page footer: the frame's status bar panel, which keeps its text for the run.
  void setStatusText(const QString& text) { statusText_ = text; }
  const QString& statusText() const { return statusText_; }

  void mnuCemeteryListClick() { runReport(Report::Id::CemeteryList); }
  void mnuLotListClick() { runReport(Report::Id::LotList); }
  void mnuLocationSortClick() { runReport(Report::Id::InterredByLocation); }
  void mnuNameSortClick() { runReport(Report::Id::InterredByName); }
  void mnuDOBSortClick() { runReport(Report::Id::InterredByDob); }
  void mnuDODSortClick() { runReport(Report::Id::InterredByDod); }
  void mnuAgingClick() { runReport(Report::Id::Receivables); }
  void mnuAvailableGravesClick() { runReport(Report::Id::AvailableGraves); }
  void mnuMapCheckClick() { runReport(Report::Id::MapCheck); }
  void mnuAgedReceivablesClick() { runReport(Report::Id::AgedReceivables); }
  void mnuRightsOfBurialClick() { runReport(Report::Id::RightsOfBurial); }
  void mnuPrintClick();
  void mnuSaveAsClick();
  void mnuCloseClick();
  // A double-click on a row that names a record hands that record to the record form.
  void Spread1DblClick(int col, int row);

  // Builds a report into the grid. False, with the window as it was, when no cemetery was chosen
  // or the database failed (the failure is shown).
  bool runReport(Report::Id id);
  // The report shown (empty before one was built).
  const Report::Table& table() const { return table_; }
  bool showing() const { return showing_; }
  // The paper reports are printed and saved on: the default printer's, or the system's habit.
  static QPageSize paper();

 private:
  void showTable();
  Report::PageTexts pageTexts() const;

  std::unique_ptr<Ui::frmReports> ui_;
  Report::Format format_;
  Report::Table table_;
  bool showing_ = false;
  // Save As starts where this window last saved, in the type it last saved.
  QString saveFolder_;
  QString saveFilter_;
  QString statusText_;

 signals:
  // A double-click left ZEL1.PendingQuery for the record form (the frame's record form command
  // opens it); this window then closes.
  void recordFormWanted();
};
