#include "gui/controls/MessageService.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <utility>

#include "core/store/DbError.h"

namespace {

RealMessageService& realService() {
  static RealMessageService s;
  return s;
}
MessageService* g_service = nullptr;
std::function<void(int)> g_help;

QWidget* parentWindow() { return QApplication::activeWindow(); }

}  // namespace

MessageService& messages() { return g_service ? *g_service : realService(); }
MessageService* setMessageService(MessageService* service) { return std::exchange(g_service, service); }

void RealMessageService::information(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parentWindow());
  box.exec();
}

void RealMessageService::fileWritten(const QString& text, const QString& file) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parentWindow());
  QPushButton* open = box.addButton(QStringLiteral("Open &Folder"), QMessageBox::ActionRole);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  if (box.clickedButton() == open) openFileFolder(file);
}

namespace {
// Passes the text keys that reach a box on to the text field they were typed for. Only keys that
// edit text: Enter, Escape, Tab and shortcuts stay with the box, so it can still be closed.
class PassKeysOn : public QObject {
 public:
  PassKeysOn(QWidget* box, QWidget* field) : box_(box), field_(field) { qApp->installEventFilter(this); }
  ~PassKeysOn() override { qApp->removeEventFilter(this); }
  PassKeysOn(const PassKeysOn&) = delete;
  PassKeysOn& operator=(const PassKeysOn&) = delete;

  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease) return false;
    auto* w = qobject_cast<QWidget*>(o);
    if (!field_ || !w || (w != box_ && !box_->isAncestorOf(w))) return false;
    auto* k = static_cast<QKeyEvent*>(e);
    const bool text = !k->text().isEmpty() && k->text().at(0).isPrint();
    if ((!text && k->key() != Qt::Key_Backspace) ||
        (k->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)))
      return false;
    QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(), k->count());
    QCoreApplication::sendEvent(field_, &copy);
    return true;
  }

 private:
  QWidget* box_;
  QPointer<QWidget> field_;
};
}  // namespace

void RealMessageService::typingHint(const QString& text) {
  // Keys already typed on reach their field before the box blocks its window.
  QCoreApplication::processEvents();
  QWidget* field = QApplication::focusWidget();
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parentWindow());
  std::optional<PassKeysOn> pass;
  if (field && field->testAttribute(Qt::WA_InputMethodEnabled)) pass.emplace(&box, field);
  box.exec();
}

void MessageService::openFileFolder(const QString& file) {
  const QString folder = QFileInfo(file).absolutePath();
  if (openDocument(folder)) return;
  information(QStringLiteral("The folder %1 could not be opened: no program to show folders was found.")
                  .arg(QDir::toNativeSeparators(folder)));
}

MessageService::Answer RealMessageService::question(const QString& text, bool defaultNo) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text,
                  QMessageBox::Yes | QMessageBox::No, parentWindow());
  box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

namespace {

// A box of Yes, No and Cancel: closing it is Cancel.
MessageService::Answer answerOf(QMessageBox& box) {
  switch (box.exec()) {
    case QMessageBox::Yes:
      return MessageService::Answer::Yes;
    case QMessageBox::No:
      return MessageService::Answer::No;
    default:
      return MessageService::Answer::Cancel;
  }
}

}  // namespace

MessageService::Answer RealMessageService::questionWithCancel(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parentWindow());
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::Cancel);
  return answerOf(box);
}

MessageService::Answer RealMessageService::choice(const QString& text, const QString& yes,
                                                  const QString& no) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parentWindow());
  box.button(QMessageBox::Yes)->setText(yes);
  box.button(QMessageBox::No)->setText(no);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  return answerOf(box);
}

std::optional<QString> RealMessageService::inputBox(const QString& prompt, const QString& defaultText) {
  bool ok = false;
  QString t = QInputDialog::getText(parentWindow(), QString::fromLatin1(kAppTitle), prompt, QLineEdit::Normal,
                                    defaultText, &ok);
  if (!ok) return std::nullopt;
  return t;
}

QString RealMessageService::openFileName(const QString& caption, const QString& dir, const QString& filter) {
  return QFileDialog::getOpenFileName(parentWindow(), caption, dir, filter);
}

QString RealMessageService::saveFileName(const QString& caption, const QString& dir, const QString& filter,
                                         QString* selectedFilter) {
  return QFileDialog::getSaveFileName(parentWindow(), caption, dir, filter, selectedFilter);
}

QString RealMessageService::folderName(const QString& caption, const QString& dir) {
  return QFileDialog::getExistingDirectory(parentWindow(), caption, dir);
}

bool RealMessageService::choosePrinter(QPrinter& printer) {
  QPrintDialog dlg(&printer, parentWindow());
  return dlg.exec() == QDialog::Accepted;
}

void RealMessageService::showHelp(int topic) {
  if (g_help) g_help(topic);
}

namespace {
// The desktop opener starts even when nothing can show a web page, and then fails where we
// cannot see it: look for a browser first. Asking the desktop is slow on some desktops, so it is
// asked once with a short bound under a wait cursor, and a browser found is remembered.
bool webBrowserKnown() {
  static bool found = false;
  if (found || !qEnvironmentVariableIsEmpty("BROWSER")) return true;
  if (!QStandardPaths::findExecutable(QStringLiteral("x-www-browser")).isEmpty()) return true;
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (xdgMime.isEmpty()) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QProcess mime;
  mime.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
  found = mime.waitForFinished(1500) && !mime.readAllStandardOutput().trimmed().isEmpty();
  QApplication::restoreOverrideCursor();
  return found;
}
}  // namespace

bool RealMessageService::openDocument(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if ((suffix == QLatin1String("html") || suffix == QLatin1String("htm")) && !webBrowserKnown()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

int RealMessageService::execModal(QDialog& dialog) { return dialog.exec(); }

void RealMessageService::setHelpHandler(std::function<void(int topic)> handler) {
  g_help = std::move(handler);
}

void showFailure(const std::exception& e) {
  if (auto* db = dynamic_cast<const DbError*>(&e))
    messages().information(db->description());
  else
    messages().information(QString::fromUtf8(e.what()));
}

void addHelpKey(QWidget* window, int topic) {
  auto* key = new QAction(window);
  key->setObjectName(QStringLiteral("helpKey"));
  key->setShortcut(QKeySequence::HelpContents);
  QObject::connect(key, &QAction::triggered, window, [topic] { messages().showHelp(topic); });
  window->addAction(key);
}
