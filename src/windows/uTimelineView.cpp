#include "uTimelineView.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "uTimelineText.h"
#include "uTimelineTraces.h"

namespace {

const QColor kBackground(255, 255, 255);
const QColor kLabelGround(238, 241, 245);
const QColor kCurrentGround(222, 234, 250);
const QColor kGrid(228, 231, 236);
const QColor kAxisText(60, 66, 76);
const QColor kInputColor(0, 125, 40);
const QColor kRelayColor(0, 70, 170);
const QColor kCounterColor(120, 40, 140);
const QColor kGapColor(150, 150, 150);
const std::array<QColor, 2> kCursorColor = {QColor(210, 70, 0), QColor(0, 110, 200)};

QColor TraceColor(size_t aTrace) {
  if (TimelineTraceKind(aTrace) != TzTraceKind::Bit) return kCounterColor;
  return aTrace < kTlFirstRelay ? kInputColor : kRelayColor;
}

// Tick steps of the axis, in milliseconds.
constexpr int64_t kSteps[] = {1,      2,      5,      10,      20,      50,      100,     200,      500,
                              1000,   2000,   5000,   10000,   15000,   30000,   60000,   120000,   300000,
                              600000, 900000, 1800000, 3600000, 7200000, 10800000, 21600000, 43200000, 86400000};

// What one trace shows in one pixel column.
enum : uint8_t { kSeenLow = 1, kSeenHigh = 2, kSeenUnknown = 4, kSeenOther = 8 };

uint8_t Seen(int64_t aValue, bool aBit) {
  if (aValue == kTraceUnknown) return kSeenUnknown;
  if (!aBit) return kSeenOther;
  return aValue ? kSeenHigh : kSeenLow;
}

}  // namespace

TzTimelineView::TzTimelineView(const TzTimelineRecorder& aRecorder, QWidget* aParent)
    : QWidget(aParent), fRecorder(aRecorder) {
  setObjectName(QStringLiteral("TimelineView"));
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(QStringLiteral("Хронология"));
  setMinimumSize(kLabelWidth + 200, kAxisHeight + 18 * 14);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

void TzTimelineView::SetTraces(std::vector<size_t> aTraces) {
  fTraces = std::move(aTraces);
  fCurrentRow = std::clamp(fCurrentRow, 0, std::max(0, static_cast<int>(fTraces.size()) - 1));
  Changed();
}

int64_t TzTimelineView::NowMs() const { return std::max(Clock ? Clock() : 0, fRecorder.LastMs()); }

int64_t TzTimelineView::LeftMs() const { return fFollowing ? NowMs() - fSpanMs : fLeftMs; }

void TzTimelineView::Changed() {
  setAccessibleDescription(CursorSummary());
  update();
  emit ViewChanged();
}

void TzTimelineView::SetFollowing(bool aOn) {
  if (aOn == fFollowing) return;
  if (!aOn) fLeftMs = LeftMs();
  fFollowing = aOn;
  Changed();
}

void TzTimelineView::ShowRange(int64_t aLeftMs, int64_t aSpanMs) {
  fSpanMs = std::clamp(aSpanMs, kMinSpanMs, kMaxSpanMs);
  fLeftMs = aLeftMs;
  fFollowing = false;
  Changed();
}

void TzTimelineView::ZoomBy(double aFactor, std::optional<int> aAnchorX) {
  if (!(aFactor > 0)) return;
  const int64_t span = std::clamp(static_cast<int64_t>(std::llround(fSpanMs / aFactor)), kMinSpanMs, kMaxSpanMs);
  if (fFollowing) {
    fSpanMs = span;
    Changed();
    return;
  }
  const int anchor = std::clamp(aAnchorX.value_or(PlotWidth() / 2), 0, PlotWidth());
  const double share = static_cast<double>(anchor) / PlotWidth();
  const int64_t at = fLeftMs + static_cast<int64_t>(std::llround(share * fSpanMs));
  fLeftMs = at - static_cast<int64_t>(std::llround(share * span));
  fSpanMs = span;
  Changed();
}

void TzTimelineView::FitAll() {
  const int64_t start = fRecorder.StartMs();
  ShowRange(start, std::max<int64_t>(NowMs() - start, 1000));
}

void TzTimelineView::ScrollBy(double aFraction) {
  const int64_t left = LeftMs() + static_cast<int64_t>(std::llround(aFraction * fSpanMs));
  fFollowing = false;
  fLeftMs = left;
  Changed();
}

std::optional<int64_t> TzTimelineView::Cursor(int aIndex) const {
  if (aIndex < 0 || aIndex > 1) return std::nullopt;
  return fCursors[static_cast<size_t>(aIndex)];
}

void TzTimelineView::SetCursor(int aIndex, int64_t aTimeMs) {
  if (aIndex < 0 || aIndex > 1) return;
  fCursors[static_cast<size_t>(aIndex)] = aTimeMs;
  fActiveCursor = aIndex;
  Changed();
}

void TzTimelineView::ClearCursors() {
  fCursors = {};
  Changed();
}

void TzTimelineView::ChooseCursor(int aIndex) {
  if (aIndex < 0 || aIndex > 1) return;
  fActiveCursor = aIndex;
  auto& cursor = fCursors[static_cast<size_t>(aIndex)];
  if (!cursor) cursor = LeftMs() + fSpanMs / 2;
  Changed();
}

void TzTimelineView::MoveActiveCursorByPixels(int aPixels) {
  auto& cursor = fCursors[static_cast<size_t>(fActiveCursor)];
  if (!cursor) {
    ChooseCursor(fActiveCursor);
    return;
  }
  // At least a millisecond, however far in the view is zoomed.
  const int64_t step = std::max<int64_t>(1, std::llround(MsPerPixel()));
  *cursor += aPixels * step;
  EnsureVisible(*cursor);
  Changed();
}

bool TzTimelineView::JumpToChange(bool aForward) {
  if (fTraces.empty()) return false;
  auto& cursor = fCursors[static_cast<size_t>(fActiveCursor)];
  if (!cursor) cursor = LeftMs() + fSpanMs / 2;
  const size_t trace = fTraces[static_cast<size_t>(fCurrentRow)];
  const std::optional<int64_t> to = aForward ? fRecorder.NextChange(trace, *cursor) : fRecorder.PrevChange(trace, *cursor);
  if (to) {
    *cursor = *to;
    EnsureVisible(*to);
  }
  Changed();
  return to.has_value();
}

void TzTimelineView::EnsureVisible(int64_t aTimeMs) {
  const int64_t left = LeftMs();
  if (aTimeMs >= left && aTimeMs < left + fSpanMs) return;
  fFollowing = false;
  fLeftMs = aTimeMs - fSpanMs / 2;
}

void TzTimelineView::SetCurrentRow(int aRow) {
  if (fTraces.empty()) return;
  const int row = std::clamp(aRow, 0, static_cast<int>(fTraces.size()) - 1);
  if (row == fCurrentRow) return;
  fCurrentRow = row;
  Changed();
}

int TzTimelineView::RowHeight() const {
  const int rows = std::max<int>(1, static_cast<int>(fTraces.size()));
  return std::clamp((height() - kAxisHeight) / rows, 14, 28);
}

int64_t TzTimelineView::TimeAtX(int aX) const {
  return LeftMs() + static_cast<int64_t>(std::llround((aX - PlotLeft()) * MsPerPixel()));
}

double TzTimelineView::XOfTime(int64_t aTimeMs) const {
  return PlotLeft() + static_cast<double>(aTimeMs - LeftMs()) / MsPerPixel();
}

QString TzTimelineView::CursorSummary() const {
  QStringList parts;
  const QString trace = fTraces.empty() ? QString() : TimelineTraceLabel(fTraces[static_cast<size_t>(fCurrentRow)]);
  for (int i = 0; i < 2; ++i) {
    const auto& cursor = fCursors[static_cast<size_t>(i)];
    if (!cursor) continue;
    QString part = QStringLiteral("Курсор %1: %2").arg(i + 1).arg(TimelineTimeText(*cursor));
    if (!fTraces.empty()) {
      const size_t t = fTraces[static_cast<size_t>(fCurrentRow)];
      part += QStringLiteral(", %1 = %2").arg(trace, TimelineValueText(t, fRecorder.ValueAt(t, *cursor), TimelineUnknownText()));
    }
    parts << part;
  }
  if (fCursors[0] && fCursors[1])
    parts << QStringLiteral("между курсорами %1").arg(TimelineDurationText(*fCursors[1] - *fCursors[0]));
  if (parts.isEmpty()) return QStringLiteral("Курсоры не установлены");
  return parts.join(QStringLiteral("; "));
}

// ---- painting -------------------------------------------------------------

void TzTimelineView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(rect(), kBackground);
  const int64_t left = LeftMs();
  const int64_t now = NowMs();
  const int rowHeight = RowHeight();

  const int current = fCurrentRow;
  if (!fTraces.empty())
    painter.fillRect(QRect(0, kAxisHeight + current * rowHeight, width(), rowHeight), kCurrentGround);
  PaintAxis(painter, left);

  // Only what was recorded is drawn: from the beginning to now.
  const int startX = static_cast<int>(std::clamp(std::floor(XOfTime(fRecorder.StartMs())), double(PlotLeft()), double(width())));
  const int endX = static_cast<int>(std::clamp(std::ceil(XOfTime(now)), double(PlotLeft()), double(width())));
  painter.setClipRect(QRect(PlotLeft(), kAxisHeight, PlotWidth(), height() - kAxisHeight));
  for (size_t row = 0; row < fTraces.size(); ++row)
    PaintTrace(painter, fTraces[row], kAxisHeight + static_cast<int>(row) * rowHeight, left, endX, startX);
  painter.setClipping(false);

  PaintLabels(painter);
  PaintCursors(painter, left);
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void TzTimelineView::PaintAxis(QPainter& aPainter, int64_t aLeft) {
  aPainter.fillRect(QRect(0, 0, width(), kAxisHeight), kLabelGround);
  const double msPerPixel = MsPerPixel();
  int64_t step = kSteps[std::size(kSteps) - 1];
  for (int64_t candidate : kSteps)
    if (candidate / msPerPixel >= 100) {
      step = candidate;
      break;
    }
  // Ticks on round local times.
  const int64_t offset = static_cast<int64_t>(QDateTime::fromMSecsSinceEpoch(aLeft).offsetFromUtc()) * 1000;
  int64_t tick = ((aLeft + offset) / step) * step - offset;
  if (tick < aLeft) tick += step;
  const QString format = step < 1000 ? QStringLiteral("hh:mm:ss.zzz")
                         : step >= 21600000 ? QStringLiteral("dd.MM hh:mm")
                                            : QStringLiteral("hh:mm:ss");
  QFont font = aPainter.font();
  font.setPixelSize(11);
  aPainter.setFont(font);
  const int bottom = height() - 1;
  for (; tick <= aLeft + fSpanMs; tick += step) {
    const int x = static_cast<int>(std::lround(XOfTime(tick)));
    aPainter.setPen(kGrid);
    aPainter.drawLine(x, kAxisHeight, x, bottom);
    aPainter.setPen(kAxisText);
    aPainter.drawLine(x, kAxisHeight - 5, x, kAxisHeight - 1);
    aPainter.drawText(QRect(x + 3, 0, 160, kAxisHeight - 2), Qt::AlignLeft | Qt::AlignVCenter,
                      QDateTime::fromMSecsSinceEpoch(tick).toString(format));
  }
  aPainter.setPen(kAxisText);
  aPainter.drawLine(0, kAxisHeight - 1, width(), kAxisHeight - 1);
}

// One row: the changes in view folded into pixel columns. Runs of columns
// without a change are one line (or one hatched box for unknown); a column
// with changes is one edge across the row.
void TzTimelineView::PaintTrace(QPainter& aPainter, size_t aTrace, int aTop, int64_t aLeft, int aEndX, int aStartX) {
  const bool bit = TimelineTraceKind(aTrace) == TzTraceKind::Bit;
  const int rowHeight = RowHeight();
  const int high = aTop + 4, low = aTop + rowHeight - 5;
  const double msPerPixel = MsPerPixel();
  const auto& changes = fRecorder.Changes(aTrace);
  size_t index = fRecorder.FirstChangeFrom(aTrace, aLeft);
  int64_t value = index > 0 ? changes[index - 1].Value : kTraceUnknown;

  std::vector<QLine> lines;
  std::vector<QRect> gaps;
  struct Label {
    int X0, X1;
    int64_t Value;
  };
  std::vector<Label> labels;
  auto run = [&](int aX0, int aX1, int64_t aValue) {
    aX0 = std::max(aX0, aStartX);
    aX1 = std::min(aX1, aEndX);
    if (aX1 <= aX0) return;
    if (aValue == kTraceUnknown) {
      gaps.emplace_back(QPoint(aX0, high), QPoint(aX1 - 1, low));
    } else if (bit) {
      const int y = aValue ? high : low;
      lines.emplace_back(aX0, y, aX1, y);
    } else {
      lines.emplace_back(aX0, high, aX1, high);
      lines.emplace_back(aX0, low, aX1, low);
      labels.push_back({aX0, aX1, aValue});
    }
  };

  int runStart = PlotLeft();
  const int64_t right = aLeft + fSpanMs;
  while (index < changes.size() && changes[index].TimeMs <= right) {
    const int column = PlotLeft() + static_cast<int>(std::floor((changes[index].TimeMs - aLeft) / msPerPixel));
    const int64_t before = value;
    uint8_t seen = Seen(before, bit);
    // Every change that falls into this column.
    while (index < changes.size() && changes[index].TimeMs <= right &&
           PlotLeft() + static_cast<int>(std::floor((changes[index].TimeMs - aLeft) / msPerPixel)) == column) {
      value = changes[index].Value;
      seen |= Seen(value, bit);
      ++index;
    }
    run(runStart, column, before);
    if (column >= aStartX && column < aEndX) {
      if (seen & kSeenUnknown) gaps.emplace_back(QPoint(column, high), QPoint(column, low));
      const bool edge = bit ? (seen & kSeenLow) && (seen & kSeenHigh) : (seen & kSeenOther) != 0;
      if (edge) lines.emplace_back(column, high, column, low);
      else if (bit && (seen & kSeenHigh)) lines.emplace_back(column, high, column, high);
      else if (bit && (seen & kSeenLow)) lines.emplace_back(column, low, column, low);
    }
    runStart = column;
  }
  run(runStart, width(), value);

  if (!gaps.empty()) {
    aPainter.setPen(Qt::NoPen);
    aPainter.setBrush(QBrush(kGapColor, Qt::BDiagPattern));
    aPainter.drawRects(gaps.data(), static_cast<int>(gaps.size()));
    aPainter.setBrush(Qt::NoBrush);
  }
  aPainter.setPen(QPen(TraceColor(aTrace), 1));
  aPainter.drawLines(lines.data(), static_cast<int>(lines.size()));
  if (!labels.empty()) {
    QFont font = aPainter.font();
    font.setPixelSize(std::min(11, rowHeight - 8));
    aPainter.setFont(font);
    const QFontMetrics metrics(font);
    for (const Label& label : labels) {
      const QString text = TimelineValueText(aTrace, label.Value, QString());
      if (metrics.horizontalAdvance(text) + 6 > label.X1 - label.X0) continue;
      aPainter.drawText(QRect(label.X0, high, label.X1 - label.X0, low - high), Qt::AlignCenter, text);
    }
  }
}

void TzTimelineView::PaintLabels(QPainter& aPainter) {
  const int rowHeight = RowHeight();
  QFont font = aPainter.font();
  font.setPixelSize(std::min(12, rowHeight - 4));
  aPainter.setFont(font);
  constexpr int kValueWidth = 56;
  for (size_t row = 0; row < fTraces.size(); ++row) {
    const int top = kAxisHeight + static_cast<int>(row) * rowHeight;
    const QRect band(0, top, kLabelWidth, rowHeight);
    aPainter.fillRect(band, static_cast<int>(row) == fCurrentRow ? kCurrentGround : kLabelGround);
    aPainter.setPen(TraceColor(fTraces[row]));
    aPainter.drawText(band.adjusted(6, 0, -2 * kValueWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      TimelineTraceLabel(fTraces[row]));
    for (int i = 0; i < 2; ++i) {
      const auto& cursor = fCursors[static_cast<size_t>(i)];
      if (!cursor) continue;
      aPainter.setPen(kCursorColor[static_cast<size_t>(i)]);
      const QRect cell(kLabelWidth - (2 - i) * kValueWidth, top, kValueWidth - 4, rowHeight);
      aPainter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter,
                        TimelineValueText(fTraces[row], fRecorder.ValueAt(fTraces[row], *cursor), QStringLiteral("—")));
    }
  }
  aPainter.setPen(kGrid);
  aPainter.drawLine(kLabelWidth - 1, 0, kLabelWidth - 1, height());
}

void TzTimelineView::PaintCursors(QPainter& aPainter, int64_t aLeft) {
  for (int i = 0; i < 2; ++i) {
    const auto& cursor = fCursors[static_cast<size_t>(i)];
    if (!cursor || *cursor < aLeft || *cursor > aLeft + fSpanMs) continue;
    const int x = static_cast<int>(std::floor(XOfTime(*cursor)));
    const QColor color = kCursorColor[static_cast<size_t>(i)];
    aPainter.setPen(QPen(color, i == fActiveCursor ? 2 : 1));
    aPainter.drawLine(x, kAxisHeight, x, height());
    const QRect flag(x - 7, 3, 14, kAxisHeight - 6);
    aPainter.fillRect(flag, color);
    aPainter.setPen(Qt::white);
    aPainter.drawText(flag, Qt::AlignCenter, QString::number(i + 1));
  }
}

// ---- keyboard and mouse ---------------------------------------------------

void TzTimelineView::keyPressEvent(QKeyEvent* aEvent) {
  const Qt::KeyboardModifiers mods = aEvent->modifiers();
  const bool ctrl = mods & Qt::ControlModifier;
  const bool shift = mods & Qt::ShiftModifier;
  switch (aEvent->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const bool forward = aEvent->key() == Qt::Key_Right;
      if (ctrl) JumpToChange(forward);
      else if (shift) MoveActiveCursorByPixels(forward ? 1 : -1);
      else ScrollBy(forward ? 0.1 : -0.1);
      break;
    }
    case Qt::Key_Up: SetCurrentRow(fCurrentRow - 1); break;
    case Qt::Key_Down: SetCurrentRow(fCurrentRow + 1); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomIn(); break;
    case Qt::Key_Minus: ZoomOut(); break;
    case Qt::Key_Home: FitAll(); break;
    case Qt::Key_End: SetFollowing(true); break;
    case Qt::Key_1: ChooseCursor(0); break;
    case Qt::Key_2: ChooseCursor(1); break;
    case Qt::Key_Delete: ClearCursors(); break;
    default: QWidget::keyPressEvent(aEvent); return;
  }
  aEvent->accept();
}

void TzTimelineView::wheelEvent(QWheelEvent* aEvent) {
  const QPoint delta = aEvent->angleDelta();
  const bool scroll = (aEvent->modifiers() & Qt::ShiftModifier) || std::abs(delta.x()) > std::abs(delta.y());
  const double steps = (scroll && delta.x() != 0 ? delta.x() : delta.y()) / 120.0;
  if (steps == 0) return;
  if (scroll) ScrollBy(-0.1 * steps);
  else ZoomBy(std::pow(1.25, steps), static_cast<int>(aEvent->position().x()) - PlotLeft());
  aEvent->accept();
}

void TzTimelineView::mousePressEvent(QMouseEvent* aEvent) {
  setFocus(Qt::MouseFocusReason);
  const QPoint pos = aEvent->position().toPoint();
  if (pos.y() >= kAxisHeight && !fTraces.empty()) SetCurrentRow((pos.y() - kAxisHeight) / RowHeight());
  if (aEvent->button() == Qt::RightButton) {
    if (pos.x() >= PlotLeft()) SetCursor(1, TimeAtX(pos.x()));
    return;
  }
  if (aEvent->button() != Qt::LeftButton) return;
  fPressed = true;
  fDragging = false;
  fPressPos = pos;
  fPressLeftMs = LeftMs();
}

void TzTimelineView::mouseMoveEvent(QMouseEvent* aEvent) {
  if (!fPressed) return;
  const int dx = aEvent->position().toPoint().x() - fPressPos.x();
  if (!fDragging && std::abs(dx) < 4) return;
  fDragging = true;
  fFollowing = false;
  fLeftMs = fPressLeftMs - static_cast<int64_t>(std::llround(dx * MsPerPixel()));
  Changed();
}

void TzTimelineView::mouseReleaseEvent(QMouseEvent* aEvent) {
  if (aEvent->button() != Qt::LeftButton || !fPressed) return;
  fPressed = false;
  const QPoint pos = aEvent->position().toPoint();
  if (!fDragging && pos.x() >= PlotLeft()) SetCursor(0, TimeAtX(pos.x()));
  fDragging = false;
}
