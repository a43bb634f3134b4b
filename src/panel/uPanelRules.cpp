#include "uPanelRules.h"

#include <QDate>
#include <QTime>
#include <array>

#include "uRtuLine.h"

std::optional<QString> BaudCodeText(int32_t aCode) {
  if (const std::optional<int32_t> rate = BaudRateOfCode(aCode)) return QString::number(*rate);
  return std::nullopt;
}

std::optional<QString> FormatCodeText(int32_t aCode) {
  if (const std::optional<std::string> name = FormatCodeName(aCode)) return QString::fromStdString(*name);
  return std::nullopt;
}

QStringList BaudRateItems() {
  QStringList items;
  for (const int32_t rate : kRtuBaudRates) items << QString::number(rate);
  return items;
}

QStringList FormatItems() {
  QStringList items;
  for (const TzRtuFormat& format : kRtuFormats)
    items << QStringLiteral("MODBUS RTU ") + QString::fromLatin1(format.Name.data(), static_cast<qsizetype>(format.Name.size()));
  return items;
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
