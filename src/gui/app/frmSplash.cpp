#include "gui/app/frmSplash.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include "core/program/Zel2.h"

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmSplash"));
  setAttribute(Qt::WA_DeleteOnClose);
  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(picture());
  Image1->setFixedSize(300, 300);
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont f(QStringLiteral("Arial"));
  f.setPointSize(10);
  Label1->setFont(f);
  Label1->setAutoFillBackground(true);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(3000);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, &QWidget::close);
  Image1->installEventFilter(this);
  Label1->installEventFilter(this);
  FormLoad();
  Timer1->start();
}

QString frmSplash::versionLine() {
  return QStringLiteral("Version ") + ZEL2::versionText() + QStringLiteral("  PLEASE WAIT ...");
}

void frmSplash::FormLoad() {
  Label1->setText(versionLine());
  const int textHeight = Label1->sizeHint().height();
  Image1->move(0, 0);
  Label1->setGeometry(0, 300, 300, textHeight);
  setFixedSize(300, 300 + textHeight);
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect r = s->geometry();
    move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
  }
}

void frmSplash::keyPressEvent(QKeyEvent*) { close(); }

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == Image1 || watched == Label1) && event->type() == QEvent::MouseButtonPress) {
    close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

QPixmap frmSplash::picture() {
  QPixmap pm(300, 300);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // Evening sky over green ground.
  QLinearGradient sky(0, 0, 0, 200);
  sky.setColorAt(0, QColor(38, 62, 120));
  sky.setColorAt(1, QColor(230, 190, 140));
  p.fillRect(0, 0, 300, 300, sky);
  QPainterPath hill;
  hill.moveTo(0, 210);
  hill.cubicTo(80, 170, 200, 180, 300, 200);
  hill.lineTo(300, 300);
  hill.lineTo(0, 300);
  hill.closeSubpath();
  p.fillPath(hill, QColor(62, 110, 60));
  // A tree on the left.
  p.fillRect(48, 150, 10, 50, QColor(80, 55, 35));
  p.setBrush(QColor(40, 85, 45));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(53, 138), 30, 34);
  // The headstone with the program's name.
  QPainterPath stone;
  stone.moveTo(105, 250);
  stone.lineTo(105, 130);
  stone.arcTo(105, 80, 110, 100, 180, -180);
  stone.lineTo(215, 250);
  stone.closeSubpath();
  p.setPen(QPen(QColor(90, 90, 95), 2));
  p.setBrush(QColor(196, 196, 200));
  p.drawPath(stone);
  p.setPen(QColor(60, 60, 70));
  QFont title(QStringLiteral("Arial"));
  title.setPixelSize(20);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(105, 120, 110, 34), Qt::AlignCenter, QStringLiteral("Zelmora"));
  QFont sub(QStringLiteral("Arial"));
  sub.setPixelSize(11);
  p.setFont(sub);
  p.drawText(QRect(105, 158, 110, 40), Qt::AlignCenter | Qt::TextWordWrap,
             QStringLiteral("Cemetery\nrecords"));
  // Rows of small grave markers.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(170, 170, 175));
  for (int i = 0; i < 5; ++i) {
    p.drawRoundedRect(QRectF(232 + i * 13, 222 + (i % 2) * 4, 8, 16), 3, 3);
    p.drawRoundedRect(QRectF(14 + i * 16, 236 + (i % 2) * 3, 9, 18), 3, 3);
  }
  p.end();
  return pm;
}
