#include "uCsvText.h"

QString CsvField(const QString& aText) {
  const bool quote = aText.contains(kCsvSeparator) || aText.contains(u'"') || aText.contains(u'\r') ||
                     aText.contains(u'\n');
  if (!quote) return aText;
  QString text = aText;
  text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return u'"' + text + u'"';
}

QString CsvRecord(const QStringList& aFields) {
  QStringList fields;
  fields.reserve(aFields.size());
  for (const QString& field : aFields) fields << CsvField(field);
  return fields.join(kCsvSeparator) + QStringLiteral("\r\n");
}

QByteArray CsvFile(const QStringList& aHeader, const QList<QStringList>& aRows) {
  QString text = CsvRecord(aHeader);
  for (const QStringList& row : aRows) text += CsvRecord(row);
  return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}
