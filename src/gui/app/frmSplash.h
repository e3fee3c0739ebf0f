#pragma once

#include <QWidget>

class QLabel;
class QTimer;

// The start-up picture with the version line. A key, a click on the picture or the text, or the
// timer's first tick closes it.
class frmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit frmSplash(QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QTimer* Timer1 = nullptr;

  // The 300 by 300 picture.
  static QPixmap picture();
  // "Version 6.8.1  PLEASE WAIT ..."
  static QString versionLine();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormLoad();
};
