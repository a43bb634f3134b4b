#include "uTimelineText.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>

#include "uCsvText.h"
#include "uTimelineTraces.h"

namespace {

QString Decimal(int64_t aThousandths, int aDecimals) {
  QString text = QString::number(static_cast<double>(aThousandths) / 1000.0, 'f', aDecimals);
  return text.replace(u'.', u',');
}

QString ValueText(size_t aTrace, int64_t aValue, const QString& aUnknown, int aRateDecimals) {
  if (aValue == kTraceUnknown) return aUnknown;
  if (TimelineTraceKind(aTrace) == TzTraceKind::Rate) return Decimal(aValue * 1000 / kTlRateScale, aRateDecimals);
  return QString::number(aValue);
}

}  // namespace

QString TimelineTraceLabel(size_t aTrace) {
  if (aTrace < kTlFirstRelay) return QStringLiteral("Дискретный вход %1").arg(aTrace - kTlFirstInput + 1);
  if (aTrace < kTlFirstCount) return QStringLiteral("Реле #%1").arg(aTrace - kTlFirstRelay + 1);
  if (aTrace < kTlFirstRate) return QStringLiteral("Счётчик, вход #%1").arg(aTrace - kTlFirstCount + 1);
  return QStringLiteral("Имп./с, вход #%1").arg(aTrace - kTlFirstRate + 1);
}

QString TimelineValueText(size_t aTrace, int64_t aValue, const QString& aUnknown) {
  return ValueText(aTrace, aValue, aUnknown, 1);
}

QString TimelineDateTimeText(int64_t aTimeMs) {
  return QDateTime::fromMSecsSinceEpoch(aTimeMs).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
}

QString TimelineTimeText(int64_t aTimeMs) {
  return QDateTime::fromMSecsSinceEpoch(aTimeMs).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString TimelineDurationText(int64_t aMs) {
  if (aMs > -1000 && aMs < 1000) return QString::number(aMs) + QStringLiteral(" мс");
  return Decimal(aMs, 3) + QStringLiteral(" с");
}

QString TimelineUnknownText() { return QStringLiteral("нет данных"); }

QByteArray TimelineCsv(const TzTimelineRecorder& aRecorder, const std::vector<size_t>& aTraces) {
  struct Row {
    int64_t TimeMs;
    size_t Order;
    size_t Index;
  };
  std::vector<Row> rows;
  for (size_t order = 0; order < aTraces.size(); ++order) {
    const auto& changes = aRecorder.Changes(aTraces[order]);
    for (size_t i = 0; i < changes.size(); ++i) rows.push_back({changes[i].TimeMs, order, i});
  }
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return a.TimeMs != b.TimeMs ? a.TimeMs < b.TimeMs : a.Order != b.Order ? a.Order < b.Order : a.Index < b.Index;
  });
  QList<QStringList> records;
  records.reserve(static_cast<qsizetype>(rows.size()));
  for (const Row& row : rows) {
    const size_t trace = aTraces[row.Order];
    const int64_t value = aRecorder.Changes(trace)[row.Index].Value;
    records.push_back({TimelineDateTimeText(row.TimeMs), TimelineTraceLabel(trace),
                       ValueText(trace, value, TimelineUnknownText(), 3)});
  }
  return CsvFile({QStringLiteral("Время"), QStringLiteral("Сигнал"), QStringLiteral("Состояние")}, records);
}
