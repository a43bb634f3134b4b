#include "uPanelRules.h"

#include <QDate>
#include <QTime>
#include <array>

std::optional<QString> BaudCodeText(int32_t aCode) {
  static const std::array<const char*, 10> texts = {"1200",  "2400",  "4800",  "9600",  "14400",
                                                   "19200", "28800", "38400", "57600", "115200"};
  if (aCode < 0 || aCode >= static_cast<int32_t>(texts.size())) return std::nullopt;
  return QString::fromLatin1(texts[aCode]);
}

std::optional<QString> FormatCodeText(int32_t aCode) {
  static const std::array<const char*, 7> texts = {"ASCII 7O1", "ASCII 7E1", "ASCII 7N2", "RTU 8N1",
                                                  "RTU 8O1",   "RTU 8E1",   "RTU 8N2"};
  if (aCode < 1 || aCode > static_cast<int32_t>(texts.size())) return std::nullopt;
  return QString::fromLatin1(texts[aCode - 1]);
}

QString ModuleDateText(int32_t aYear, int32_t aMonth, int32_t aDay) {
  const QDate date(aYear, aMonth, aDay);
  if (aYear < 1 || aYear > 9999 || !date.isValid()) return QStringLiteral("...");
  return date.toString(QStringLiteral("dd.MM.yyyy"));
}

QString ModuleTimeText(int32_t aHour, int32_t aMinute, int32_t aSecond) {
  const QTime time(aHour, aMinute, aSecond);
  if (!time.isValid()) return QStringLiteral("...");
  return time.toString(QStringLiteral("HH:mm:ss"));
}

std::optional<QString> MacText(std::span<const uint8_t> aBytes) {
  if (aBytes.size() != 6) return std::nullopt;
  QStringList parts;
  for (uint8_t byte : aBytes) parts << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
  return parts.join(QLatin1Char('-'));
}

int32_t PortDigitsNumber(const QString& aItem) {
  int64_t number = 0;
  for (QChar ch : aItem) {
    if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) continue;
    number = number * 10 + (ch.unicode() - '0');
    if (number > INT32_MAX) return 0;
  }
  return static_cast<int32_t>(number);
}
