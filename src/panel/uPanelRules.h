// The rules of the panel's screen that need no widgets: minimum time-outs,
// the texts of the module's baud-rate and format codes, date, time and
// identifier texts, and port numbers of port-list items.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

// GetTimeout and CheckTimeout, the minimum time-outs, are shared with rk7140ctl.
#include "uLineRules.h"

// Text of the module's baud-rate code 0..9 ("1200" .. "115200"); none otherwise.
std::optional<QString> BaudCodeText(int32_t aCode);
// Text of the module's format code 1..7 ("ASCII 7O1" .. "RTU 8N2"); none otherwise.
std::optional<QString> FormatCodeText(int32_t aCode);
// The items of the baud-rate and format lists, in code order ("1200" ..,
// "MODBUS RTU 8N1" ..).
QStringList BaudRateItems();
QStringList FormatItems();

// "dd.mm.yyyy" of a valid calendar date (year 1..9999), "..." otherwise.
QString ModuleDateText(int32_t aYear, int32_t aMonth, int32_t aDay);
// "hh:nn:ss" of a valid time of day, "..." otherwise.
QString ModuleTimeText(int32_t aHour, int32_t aMinute, int32_t aSecond);

// Exactly six bytes as "0A-1B-2C-3D-4E-5F"; none for any other count.
std::optional<QString> MacText(std::span<const uint8_t> aBytes);

// The digits of a port item taken together as one decimal number ("COM12"
// gives 12); 0 when the item has no digits or the number does not fit.
int32_t PortDigitsNumber(const QString& aItem);
