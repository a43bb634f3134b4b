// CSV for spreadsheets: ";" between fields, quotes only where a field needs
// them, "\r\n" after each record, UTF-8 with a byte-order mark.
#include <gtest/gtest.h>

#include "uCsvText.h"

TEST(CsvText, QuotesOnlyFieldsThatNeedIt) {
  struct Case {
    QString text;
    QString written;
  };
  const Case cases[] = {
      {QString(), QString()},
      {QStringLiteral("4101 (0x1005)"), QStringLiteral("4101 (0x1005)")},
      {QStringLiteral("Состояние входов"), QStringLiteral("Состояние входов")},
      {QStringLiteral("10.12.2026 16:00:05"), QStringLiteral("10.12.2026 16:00:05")},
      {QStringLiteral("  3,5  "), QStringLiteral("  3,5  ")},  // "," is no separator here
      {QStringLiteral("a;b"), QStringLiteral("\"a;b\"")},
      {QStringLiteral(";"), QStringLiteral("\";\"")},
      {QStringLiteral("реле \"1\""), QStringLiteral("\"реле \"\"1\"\"\"")},
      {QStringLiteral("\""), QStringLiteral("\"\"\"\"")},
      {QStringLiteral("строка 1\nстрока 2"), QStringLiteral("\"строка 1\nстрока 2\"")},
      {QStringLiteral("a\r\nb"), QStringLiteral("\"a\r\nb\"")},
      {QStringLiteral("end\r"), QStringLiteral("\"end\r\"")},
      {QStringLiteral("tab\there"), QStringLiteral("tab\there")},
  };
  for (const Case& c : cases) EXPECT_EQ(CsvField(c.text), c.written) << c.text.toStdString();
}

TEST(CsvText, RecordsJoinFieldsAndEndWithCrLf) {
  EXPECT_EQ(CsvRecord({}), QStringLiteral("\r\n"));
  EXPECT_EQ(CsvRecord({QString(), QString()}), QStringLiteral(";\r\n"));  // empty fields keep their place
  EXPECT_EQ(CsvRecord({QStringLiteral("1"), QStringLiteral("a;b"), QString(), QStringLiteral("x\"y")}),
            QStringLiteral("1;\"a;b\";;\"x\"\"y\"\r\n"));
}

TEST(CsvText, FileIsUtf8WithByteOrderMarkAndHeaderFirst) {
  const QByteArray file = CsvFile({QStringLiteral("##"), QStringLiteral("Время")},
                                  {{QStringLiteral("7"), QStringLiteral("Ж;Ж")}, {QStringLiteral("8"), QString()}});
  EXPECT_EQ(file, QByteArray("\xEF\xBB\xBF"
                             "##;\xD0\x92\xD1\x80\xD0\xB5\xD0\xBC\xD1\x8F\r\n"  // "Время" in UTF-8
                             "7;\"\xD0\x96;\xD0\x96\"\r\n"
                             "8;\r\n"));
  EXPECT_EQ(CsvFile({QStringLiteral("##")}, {}), QByteArray("\xEF\xBB\xBF##\r\n"));
}
