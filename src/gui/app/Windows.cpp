#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include "core/program/Zel1.h"
#include "gui/app/Startup.h"
#include "gui/app/frm_Main.h"
#include "gui/backup/frmBackupRestore.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/import/frmImport.h"
#include "gui/maps/frmMapEdit.h"
#include "gui/maps/frmViewMap.h"
#include "gui/records/frmDataEntry.h"
#include "gui/reports/frmReports.h"

namespace {

// The program's own windows for the frame's toolbar.
class ProgramWindows : public FrameWindows {
 public:
  explicit ProgramWindows(frm_Main& frame) : frame_(frame) {}

  bool chooseCemetery() override { return frmCemeterySelect::choose(&frame_); }
  QWidget* makeMapEditor() override { return frmMapEdit::open(); }

  QWidget* makeDataEntry() override {
    frm_Main& frame = frame_;
    auto* form = new frmDataEntry();
    // Inside the frame the form is activated as one of its child windows, not as a window of
    // its own: a query left by another window is run then.
    QObject::connect(frame.mdiArea, &QMdiArea::subWindowActivated, form, [form](QMdiSubWindow* sub) {
      if (sub && sub->widget() == form) form->FormActivate();
    });
    // The viewer opens beside the form; its Close leaves the clicked grave, and the user is back
    // on the form, which shows it.
    QObject::connect(form, &frmDataEntry::mapViewerWanted, form, [&frame, form] {
      QMdiSubWindow* viewer = frame.showChild(new frmViewMap());
      QPointer<frmDataEntry> back = form;
      QObject::connect(viewer, &QObject::destroyed, form, [&frame, back] {
        if (!back) return;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(back->parentWidget()))
          frame.mdiArea->setActiveSubWindow(sub);
        back->FormActivate();
      });
    });
    // The import window opens beside the form, as the map viewer does; once.
    QObject::connect(form, &frmDataEntry::importWanted, form,
                     [&frame, open = QPointer<QMdiSubWindow>()]() mutable {
                       if (open)
                         frame.mdiArea->setActiveSubWindow(open);
                       else
                         open = frame.showChild(new frmImport());
                     });
    return form;
  }

  QWidget* makeReports() override {
    frm_Main& frame = frame_;
    Report::Format format{QLocale::system()};
    if (!ZEL1.DateDisplayFormat.isEmpty()) format.dateFormat = ZEL1.DateDisplayFormat;
    auto* reports = new frmReports(format);
    reports->setStatusText(frame.StatusPanel1->text());
    // A record picked in a report: the report window has closed, the record form opens and runs
    // the query the report left.
    QObject::connect(reports, &frmReports::recordFormWanted, &frame,
                     [&frame] { frame.Toolbar1ButtonClick(QStringLiteral("DataEdit")); });
    return reports;
  }

 private:
  frm_Main& frame_;
};

}  // namespace

// The frame window's toolbar windows and the backup window.
void connectWindows(frm_Main& frame) {
  frame.setWindows(std::make_unique<ProgramWindows>(frame));
  QObject::connect(&frame, &frm_Main::backupRestoreWanted, &frame,
                   [&frame] { frmBackupRestore::open(&frame, frame.settingsFile); });
  QObject::connect(&frame, &frm_Main::databaseClosed, &frame,
                   [&frame] { frmBackupRestore::backUpOnClose(frame.StatusBar1, frame.settingsFile); });
}
