#include "uAnimationPictures.h"

#include <QPainter>
#include <QPainterPath>

TzArrowPicture::TzArrowPicture(QWidget* aParent) : QWidget(aParent) {
  setObjectName(QStringLiteral("imgArrow"));
  setAccessibleName(QStringLiteral("Стрелка"));
  setFixedSize(32, 32);
  setAttribute(Qt::WA_TranslucentBackground);
}

void TzArrowPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // A fat arrow: head at the left edge, shaft to the right.
  QPainterPath arrow;
  arrow.moveTo(2, 16);
  arrow.lineTo(15, 4);
  arrow.lineTo(15, 11);
  arrow.lineTo(29, 11);
  arrow.lineTo(29, 21);
  arrow.lineTo(15, 21);
  arrow.lineTo(15, 28);
  arrow.closeSubpath();
  QLinearGradient fill(0, 4, 0, 28);
  fill.setColorAt(0, QColor(255, 170, 40));
  fill.setColorAt(1, QColor(230, 110, 0));
  painter.setPen(QPen(QColor(150, 70, 0), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(fill);
  painter.drawPath(arrow);
}

TzHolidayHat::TzHolidayHat(QWidget* aParent) : QWidget(aParent) {
  setObjectName(QStringLiteral("imgHat"));
  setAccessibleName(QStringLiteral("Праздничная шапка"));
  setFixedSize(64, 52);
  setAttribute(Qt::WA_TranslucentBackground);
}

void TzHolidayHat::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPen outline(QColor(120, 20, 20), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  // The cap: a cone leaning to the right with its tip hanging down.
  QPainterPath cap;
  cap.moveTo(8, 42);
  cap.cubicTo(10, 18, 26, 6, 44, 8);
  cap.cubicTo(52, 9, 56, 16, 54, 24);
  cap.cubicTo(50, 20, 46, 20, 44, 24);
  cap.cubicTo(46, 30, 50, 36, 54, 42);
  cap.closeSubpath();
  QLinearGradient red(0, 6, 0, 44);
  red.setColorAt(0, QColor(230, 40, 40));
  red.setColorAt(1, QColor(170, 10, 20));
  painter.setPen(outline);
  painter.setBrush(red);
  painter.drawPath(cap);
  // The white brim and the bobble at the tip.
  const QPen fur(QColor(180, 180, 190), 1.0);
  painter.setPen(fur);
  painter.setBrush(QColor(250, 250, 252));
  painter.drawRoundedRect(QRectF(3, 38, 56, 11), 5.5, 5.5);
  painter.drawEllipse(QPointF(54, 26), 6, 6);
}
