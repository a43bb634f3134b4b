#include "uModulePictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace {

// A transparent pixmap of aSize logical pixels for aDpr, and a painter on it
// that draws in logical pixels.
QPixmap Canvas(QSize aSize, qreal aDpr) {
  QPixmap pixmap(aSize * aDpr);
  pixmap.setDevicePixelRatio(aDpr);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void Smooth(QPainter& aPainter) {
  aPainter.setRenderHint(QPainter::Antialiasing);
  aPainter.setRenderHint(QPainter::TextAntialiasing);
}

QIcon BothScales(QPixmap (*aDraw)(bool, qreal), bool aFlag) {
  QIcon icon;
  icon.addPixmap(aDraw(aFlag, 1.0));
  icon.addPixmap(aDraw(aFlag, 2.0));
  return icon;
}

}  // namespace

QPixmap DinLampPixmap(bool aOn, qreal aDpr) {
  QPixmap pixmap = Canvas(kLampSize, aDpr);
  QPainter p(&pixmap);
  Smooth(p);
  // Bezel.
  p.setPen(QPen(QColor(90, 96, 100), 1.5));
  p.setBrush(QColor(150, 156, 160));
  p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
  // Lens.
  QRadialGradient lens(QPointF(13, 12), 14);
  if (aOn) {
    lens.setColorAt(0.0, QColor(190, 255, 170));
    lens.setColorAt(0.45, QColor(40, 200, 50));
    lens.setColorAt(1.0, QColor(10, 110, 25));
  } else {
    lens.setColorAt(0.0, QColor(250, 252, 248));
    lens.setColorAt(0.6, QColor(214, 222, 212));
    lens.setColorAt(1.0, QColor(170, 180, 168));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(lens);
  p.drawEllipse(QRectF(4, 4, 24, 24));
  // Glint.
  p.setBrush(QColor(255, 255, 255, aOn ? 110 : 150));
  p.drawEllipse(QRectF(8.5, 7, 8, 5));
  return pixmap;
}

QPixmap RelayPixmap(bool aClosed, qreal aDpr) {
  QPixmap pixmap = Canvas(kRelaySize, aDpr);
  QPainter p(&pixmap);
  Smooth(p);
  const QColor wire = aClosed ? QColor(20, 140, 40) : QColor(70, 74, 80);
  const qreal y = 22;
  p.setPen(QPen(wire, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(2, y), QPointF(13, y));
  p.drawLine(QPointF(35, y), QPointF(46, y));
  // The blade hinges on the left terminal; closed it lies on the right one.
  if (aClosed) {
    p.drawLine(QPointF(14, y), QPointF(34, y));
  } else {
    const double angle = 28.0 * std::numbers::pi / 180.0;
    p.drawLine(QPointF(14, y), QPointF(14 + 21 * std::cos(angle), y - 21 * std::sin(angle)));
  }
  p.setPen(QPen(wire, 1.5));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(14, y), 3, 3);
  p.drawEllipse(QPointF(34, y), 3, 3);
  // Coil mark above the contact: dashed link to the blade.
  p.setPen(QPen(QColor(70, 74, 80), 1.2));
  p.setBrush(aClosed ? QColor(120, 210, 120) : QColor(225, 228, 230));
  p.drawRect(QRectF(19, 1.5, 10, 6));
  p.setPen(QPen(QColor(70, 74, 80), 1, Qt::DashLine));
  p.drawLine(QPointF(24, 8), QPointF(24, aClosed ? y - 1 : 14));
  return pixmap;
}

QIcon RelayIcon(bool aClosed) { return BothScales(&RelayPixmap, aClosed); }

QPixmap LogoPixmap(qreal aDpr) {
  QPixmap pixmap = Canvas(kLogoSize, aDpr);
  QPainter p(&pixmap);
  Smooth(p);
  // The top 8 pixels sit above the frame's edge; the mark is in the rest.
  const QRectF plate(6, 12, 84, 32);
  QLinearGradient ground(plate.topLeft(), plate.bottomLeft());
  ground.setColorAt(0, QColor(38, 78, 128));
  ground.setColorAt(1, QColor(22, 48, 86));
  p.setPen(Qt::NoPen);
  p.setBrush(ground);
  p.drawRoundedRect(plate, 6, 6);
  // A pulse train across the plate, the module's trade.
  QPainterPath pulse;
  pulse.moveTo(plate.left() + 4, plate.bottom() - 7);
  for (int i = 0; i < 4; ++i) {
    const qreal x = plate.left() + 10 + i * 18;
    pulse.lineTo(x, plate.bottom() - 7);
    pulse.lineTo(x, plate.bottom() - 13);
    pulse.lineTo(x + 9, plate.bottom() - 13);
    pulse.lineTo(x + 9, plate.bottom() - 7);
  }
  pulse.lineTo(plate.right() - 4, plate.bottom() - 7);
  p.setPen(QPen(QColor(120, 220, 130), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawPath(pulse);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(17);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(plate.left(), plate.top() + 1, plate.width(), 18), Qt::AlignCenter, QStringLiteral("RK"));
  return pixmap;
}

QPixmap InfoIconPixmap(qreal aDpr) {
  QPixmap pixmap = Canvas(kInfoIconSize, aDpr);
  QPainter p(&pixmap);
  Smooth(p);
  p.setPen(QPen(QColor(20, 80, 160), 1));
  p.setBrush(QColor(50, 120, 210));
  p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(7, 3, 2.2, 2.2));
  p.drawRoundedRect(QRectF(7, 6.5, 2.2, 6.5), 0.8, 0.8);
  return pixmap;
}

QPixmap FindIconPixmap(qreal aDpr) {
  QPixmap pixmap = Canvas(kFindIconSize, aDpr);
  QPainter p(&pixmap);
  Smooth(p);
  p.setPen(QPen(QColor(60, 64, 70), 2.2));
  p.setBrush(QColor(210, 232, 250));
  p.drawEllipse(QRectF(2, 2, 11, 11));
  p.setPen(QPen(QColor(60, 64, 70), 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12.5, 12.5), QPointF(18, 18));
  return pixmap;
}

QPixmap FindBusyIconPixmap(qreal aDpr) {
  QPixmap pixmap = Canvas(kFindIconSize, aDpr);
  QPainter p(&pixmap);
  Smooth(p);
  p.setPen(QPen(QColor(60, 64, 70), 2.2));
  p.setBrush(QColor(255, 214, 120));
  p.drawEllipse(QRectF(2, 2, 11, 11));
  p.setPen(QPen(QColor(60, 64, 70), 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12.5, 12.5), QPointF(18, 18));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 30, 30));
  p.drawRoundedRect(QRectF(12, 1, 7, 7), 1.2, 1.2);
  return pixmap;
}

QIcon ObserverIcon() {
  QIcon icon;
  for (qreal dpr : {1.0, 2.0}) {
    QPixmap pixmap = Canvas(QSize(24, 24), dpr);
    QPainter p(&pixmap);
    Smooth(p);
    p.setPen(QPen(QColor(60, 64, 70), 1.5));
    p.setBrush(QColor(20, 40, 30));
    p.drawRoundedRect(QRectF(2, 3, 20, 15), 2, 2);
    p.drawLine(QPointF(8, 21), QPointF(16, 21));
    p.setPen(QPen(QColor(110, 230, 120), 1.3));
    p.drawPolyline(QPolygonF({QPointF(4, 13), QPointF(7, 13), QPointF(7, 7), QPointF(11, 7),
                              QPointF(11, 13), QPointF(14, 13), QPointF(14, 7), QPointF(17, 7),
                              QPointF(17, 13), QPointF(20, 13)}));
    icon.addPixmap(pixmap);
  }
  return icon;
}

QIcon TimelineIcon() {
  QIcon icon;
  for (qreal dpr : {1.0, 2.0}) {
    QPixmap pixmap = Canvas(QSize(24, 24), dpr);
    QPainter p(&pixmap);
    Smooth(p);
    p.setPen(QPen(QColor(60, 64, 70), 1.2));
    p.setBrush(QColor(250, 251, 253));
    p.drawRoundedRect(QRectF(1.5, 2.5, 21, 19), 2, 2);
    const QColor colors[] = {QColor(0, 125, 40), QColor(0, 125, 40), QColor(0, 70, 170)};
    for (int row = 0; row < 3; ++row) {
      const qreal hi = 5.5 + row * 5.5, lo = hi + 3.5;
      const qreal edge = 6 + row * 4;
      p.setPen(QPen(colors[row], 1.3));
      p.drawPolyline(QPolygonF({QPointF(3.5, lo), QPointF(edge, lo), QPointF(edge, hi), QPointF(edge + 5, hi),
                                QPointF(edge + 5, lo), QPointF(20.5, lo)}));
    }
    p.setPen(QPen(QColor(210, 70, 0), 1.2));
    p.drawLine(QPointF(15.5, 3.5), QPointF(15.5, 20.5));
    icon.addPixmap(pixmap);
  }
  return icon;
}

QPixmap SpinnerPixmap(int aIndex, qreal aDpr) {
  QPixmap pixmap = Canvas(kSpinnerSize, aDpr);
  QPainter p(&pixmap);
  Smooth(p);
  p.translate(8, 8);
  // Twelve spokes; the one at aIndex is darkest and the trail fades behind it.
  for (int i = 0; i < kSpinnerFrames; ++i) {
    const int age = (aIndex - i + kSpinnerFrames) % kSpinnerFrames;
    p.save();
    p.rotate(i * 30.0);
    p.setPen(QPen(QColor(30, 70, 130, 255 - age * 19), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, -3.5), QPointF(0, -7));
    p.restore();
  }
  return pixmap;
}

void PaintModuleBody(QPainter& aPainter, const QRect& aBody) {
  QPainter& p = aPainter;
  p.save();
  Smooth(p);
  // The DIN rail behind the module.
  const QRectF rail(aBody.left() - 6, aBody.center().y() - 14, aBody.width() + 12, 28);
  QLinearGradient steel(rail.topLeft(), rail.bottomLeft());
  steel.setColorAt(0, QColor(200, 204, 208));
  steel.setColorAt(0.5, QColor(236, 238, 240));
  steel.setColorAt(1, QColor(170, 174, 178));
  p.setPen(QPen(QColor(140, 144, 148), 1));
  p.setBrush(steel);
  p.drawRect(rail);

  // Body.
  QLinearGradient shell(aBody.topLeft(), aBody.topRight());
  shell.setColorAt(0, QColor(222, 224, 226));
  shell.setColorAt(0.5, QColor(236, 237, 238));
  shell.setColorAt(1, QColor(214, 216, 219));
  p.setPen(QPen(QColor(128, 132, 138), 1.2));
  p.setBrush(shell);
  p.drawRoundedRect(QRectF(aBody).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);

  // Terminal strips along the top and bottom edges, each with screw heads.
  const int strip = 34;
  const QRectF top(aBody.left() + 10, aBody.top() + 6, aBody.width() - 20, strip);
  const QRectF bottom(aBody.left() + 10, aBody.bottom() - 6 - strip, aBody.width() - 20, strip);
  for (const QRectF& band : {top, bottom}) {
    p.setPen(QPen(QColor(70, 74, 80), 1));
    p.setBrush(QColor(104, 110, 118));
    p.drawRoundedRect(band, 4, 4);
    const int screws = 18;
    const qreal step = band.width() / screws;
    for (int i = 0; i < screws; ++i) {
      const QPointF c(band.left() + step * (i + 0.5), band.center().y());
      p.setPen(QPen(QColor(60, 60, 64), 1));
      p.setBrush(QColor(190, 192, 196));
      p.drawEllipse(c, 6.5, 6.5);
      p.setPen(QPen(QColor(80, 82, 88), 1.6));
      p.drawLine(c + QPointF(-4, 0), c + QPointF(4, 0));
    }
  }
  // The face plate between the strips.
  const QRectF face(aBody.left() + 16, top.bottom() + 10, aBody.width() - 32,
                    bottom.top() - top.bottom() - 20);
  p.setPen(QPen(QColor(180, 184, 188), 1));
  p.setBrush(QColor(244, 245, 246));
  p.drawRoundedRect(face, 5, 5);
  p.restore();
}
