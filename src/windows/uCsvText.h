// Tables as CSV text for spreadsheets: UTF-8 with a byte-order mark, ";" between
// fields (what a spreadsheet in a Russian locale opens directly, since "," is
// its decimal comma there), records ended by "\r\n". A field is put in double
// quotes, with its own quotes doubled, only when it holds the separator, a
// quote or a line break.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

inline constexpr QChar kCsvSeparator = u';';

// One field as it is written.
QString CsvField(const QString& aText);
// One record: the fields joined by the separator, ended by "\r\n".
QString CsvRecord(const QStringList& aFields);
// The whole file: byte-order mark, the header record, then one record per row.
QByteArray CsvFile(const QStringList& aHeader, const QList<QStringList>& aRows);
