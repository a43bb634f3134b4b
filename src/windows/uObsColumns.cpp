#include "uObsColumns.h"

#include <QFontMetricsF>
#include <QString>

#include <cmath>

double AverageCharWidth(const QFontMetricsF& aMetrics) {
  static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return aMetrics.horizontalAdvance(letters) / 52.0;
}

int ScaleDesignWidth(int aDesignWidth, double aAverageCharWidth) {
  return static_cast<int>(std::lround(aDesignWidth * aAverageCharWidth / kObsDesignCharWidth));
}
