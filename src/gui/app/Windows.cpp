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

// The frame window's hooks to the windows that open from its toolbar.
void connectWindows(frm_Main& frame) {
  frame.chooseCemetery = [&frame] { return frmCemeterySelect::choose(&frame); };
  frame.makeMapEditor = [] { return frmMapEdit::open(); };
  frame.makeDataEntry = [&frame] {
    auto* form = new frmDataEntry();
    // Inside the frame the form is activated as one of its child windows, not as a window of
    // its own: a query left by another window is run then.
    QObject::connect(frame.mdiArea, &QMdiArea::subWindowActivated, form, [form](QMdiSubWindow* sub) {
      if (sub && sub->widget() == form) form->FormActivate();
    });
    // The viewer opens beside the form; its Close leaves the clicked grave, and the user is back
    // on the form, which shows it.
    form->onMapViewer = [&frame, form] {
      QMdiSubWindow* viewer = frame.showChild(new frmViewMap());
      QPointer<frmDataEntry> back = form;
      QObject::connect(viewer, &QObject::destroyed, form, [&frame, back] {
        if (!back) return;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(back->parentWidget()))
          frame.mdiArea->setActiveSubWindow(sub);
        back->FormActivate();
      });
    };
    // The import window opens beside the form, as the map viewer does; once.
    form->onImport = [&frame, open = QPointer<QMdiSubWindow>()]() mutable {
      if (open)
        frame.mdiArea->setActiveSubWindow(open);
      else
        open = frame.showChild(new frmImport());
    };
    return form;
  };
  frame.openBackupRestore = [&frame] { frmBackupRestore::open(&frame, frame.settingsFile); };
  frame.closingBackup = [&frame] { frmBackupRestore::backUpOnClose(frame.StatusBar1, frame.settingsFile); };
  frame.makeReports = [&frame] {
    Report::Format format{QLocale::system()};
    if (!ZEL1.DateDisplayFormat.isEmpty()) format.dateFormat = ZEL1.DateDisplayFormat;
    auto* reports = new frmReports(format);
    reports->statusText = [&frame] { return frame.StatusPanel1->text(); };
    // A record picked in a report: the report window has closed, the record form opens and runs
    // the query the report left.
    reports->openRecordForm = [&frame] { frame.Toolbar1ButtonClick(QStringLiteral("DataEdit")); };
    return reports;
  };
}
