#include "gui/app/HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "core/program/Zel1.h"

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("CD1"));
  setWindowTitle(QStringLiteral("Zelmora Help"));
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("helpText"));
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  // Wide enough for the tutorial's pictures of whole windows where the screen allows it.
  const QRect screen = QGuiApplication::primaryScreen()
                           ? QGuiApplication::primaryScreen()->availableGeometry()
                           : QRect(0, 0, 800, 600);
  resize(qBound(640, screen.width() * 3 / 4, 980), qBound(560, screen.height() * 3 / 4, 760));
  auto* closeKey = new QShortcut(QKeySequence::Cancel, this);
  connect(closeKey, &QShortcut::activated, this, &QWidget::close);
}

QString HelpViewer::localDates(QString html, const QString& pattern) {
  // The example dates are written month first.
  if (!pattern.startsWith(QLatin1String("dd"))) return html;
  static const QRegularExpression date(
      QStringLiteral("<code class=\"date\">(\\d\\d)-(\\d\\d)-(\\d{4})</code>"));
  return html.replace(date, QStringLiteral("<code class=\"date\">\\2-\\1-\\3</code>"));
}

void HelpViewer::ShowHelp() {
  anchor_ = QStringLiteral("topic%1").arg(HelpContextId);
  if (loadedFile_ != HelpFile || browser_->document()->isEmpty()) {
    QFile f(HelpFile);
    if (f.open(QIODevice::ReadOnly)) {
      // Set as HTML with the file's folder as base, so relative links and pictures resolve.
      browser_->setSearchPaths({QFileInfo(HelpFile).absolutePath()});
      browser_->setHtml(localDates(QString::fromUtf8(f.readAll()), ZEL1.DateDisplayFormat));
      loadedFile_ = HelpFile;
    } else {
      browser_->setPlainText(QStringLiteral("The help file %1 cannot be found.").arg(HelpFile));
      loadedFile_.clear();
    }
  }
  // Help asked for in a modal dialog is read while the dialog waits, so it must not be blocked by
  // the dialog: it is shown over it, modal itself, until it is closed.
  QWidget* modal = QApplication::activeModalWidget();
  const Qt::WindowModality wanted = modal && modal != this ? Qt::ApplicationModal : Qt::NonModal;
  if (windowModality() != wanted) {
    hide();
    setWindowModality(wanted);
  }
  show();
  raise();
  activateWindow();
  browser_->scrollToAnchor(anchor_);
  // Once more after the first layout pass, which a newly shown window has not had yet.
  QPointer<QTextBrowser> b = browser_;
  const QString a = anchor_;
  QTimer::singleShot(0, browser_, [b, a] {
    if (b) b->scrollToAnchor(a);
  });
}
