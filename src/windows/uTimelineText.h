// The timeline's texts: trace labels as the panel names its inputs, relays
// and counters, values, times, the line of the list of changes, and the
// recording as CSV (the observer's style: UTF-8 with a byte-order mark, ";",
// one row per change). No widgets.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

#include "uTimelineRecorder.h"

QString TimelineTraceLabel(size_t aTrace);
// "0"/"1", a count, a rate with one decimal ("2,5"); aUnknown for an unknown value.
QString TimelineValueText(size_t aTrace, int64_t aValue, const QString& aUnknown);
// Local time "dd.MM.yyyy hh:mm:ss.zzz" and "hh:mm:ss.zzz".
QString TimelineDateTimeText(int64_t aTimeMs);
QString TimelineTimeText(int64_t aTimeMs);
// A duration: "750 мс" below a second, else seconds with three decimals ("1,250 с").
QString TimelineDurationText(int64_t aMs);
// The text of an unknown value in the list and the file.
QString TimelineUnknownText();

// Every kept change of aTraces, oldest first (at one time in the order of
// aTraces): "Время;Сигнал;Состояние", then time, the trace's label, the new
// value (rates with three decimals).
QByteArray TimelineCsv(const TzTimelineRecorder& aRecorder, const std::vector<size_t>& aTraces);
