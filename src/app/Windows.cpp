#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include "app/Startup.h"
#include "app/frm_Main.h"
#include "cemeteries/frmCemeterySelect.h"
#include "maps/frmMapEdit.h"
#include "maps/frmViewMap.h"
#include "records/frmDataEntry.h"

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
    return form;
  };
  // The report window and the backup window are not part of the program yet: their buttons are
  // shown greyed out rather than doing nothing when pressed.
  for (const char* key : {"Reports", "Archive"})
    frame.toolbarAction(QString::fromLatin1(key))->setEnabled(false);
}
