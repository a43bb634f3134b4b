// Column widths of the port observer's grid.
//
// The design widths are those of an 8-point design font (Tahoma 8 at 96 dots
// per inch, whose average character width is 6 pixels). The grid's widths are
// the design widths scaled by the user's font: its average character width
// against the design font's. The average is measured as Windows measures
// dialog units: the advance of the 52 Latin letters divided by 52.
#pragma once

#include <array>

class QFontMetricsF;

inline constexpr std::array<int, 9> kObsDesignWidths{35, 140, 90, 40, 55, 60, 200, 140, 140};
inline constexpr double kObsDesignCharWidth = 6.0;

// Average character width of a font, in pixels.
double AverageCharWidth(const QFontMetricsF& aMetrics);
// A design width in a font of that average character width (rounded).
int ScaleDesignWidth(int aDesignWidth, double aAverageCharWidth);
