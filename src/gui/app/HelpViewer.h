#pragma once

#include <QWidget>

class QTextBrowser;

// The help dialog of the frame window (CD1): it is given the help file and a topic number and
// shows that topic. The help file is an HTML document with one anchor "topicN" per topic.
class HelpViewer : public QWidget {
  Q_OBJECT
 public:
  enum HelpCommand { HelpContext = 1 };

  explicit HelpViewer(QWidget* parent = nullptr);

  QString HelpFile;
  int HelpContextId = 0;
  int HelpCommandId = HelpContext;

  // Shows the topic HelpContextId of HelpFile. A missing file is said so in the viewer itself.
  void ShowHelp();

  QTextBrowser* browser() const { return browser_; }
  // The help's and the tutorial's example dates (<code class="date">, month first) in the date
  // pattern of the record form.
  static QString localDates(QString html, const QString& pattern);
  // The anchor the viewer went to last ("topic3").
  QString currentAnchor() const { return anchor_; }

 private:
  QTextBrowser* browser_;
  QString anchor_;
  QString loadedFile_;
};
