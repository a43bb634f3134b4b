#include "uCliTable.h"

#include <cmath>

#include "uValueText.h"

namespace {

size_t Utf8Length(const std::string& aText) {
  size_t n = 0;
  for (const unsigned char c : aText) n += (c & 0xC0) != 0x80;
  return n;
}

std::string CsvField(const std::string& aText) {
  if (aText.find_first_of(",\"\r\n") == std::string::npos) return aText;
  std::string quoted = "\"";
  for (const char c : aText) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string FieldText(const nlohmann::json& aValue) {
  if (aValue.is_null()) return {};
  if (aValue.is_string()) return aValue.get<std::string>();
  if (aValue.is_number_float()) return FloatToText(aValue.get<double>());
  return aValue.dump();
}

nlohmann::json NumberValue(double aValue) {
  if (std::isnan(aValue) || std::isinf(aValue)) return nullptr;
  if (aValue == std::trunc(aValue) && std::fabs(aValue) < 9.0e15) return static_cast<int64_t>(aValue);
  // The shortest text that reads back as the value's 15 significant digits.
  return std::stod(FloatToText(aValue));
}

TzTable::TzTable(TzOutputFormat aFormat, std::vector<std::string> aColumns, bool aStreaming)
    : fFormat(aFormat), fColumns(std::move(aColumns)), fStreaming(aStreaming) {}

TzTable::~TzTable() { Finish(); }

void TzTable::Add(std::vector<nlohmann::json> aRow) {
  aRow.resize(fColumns.size());
  if (!fStreaming) {
    fRows.push_back(std::move(aRow));
    return;
  }
  PrintRow(aRow, nullptr);
  std::fflush(stdout);
}

void TzTable::PrintRow(const std::vector<nlohmann::json>& aRow, const std::vector<size_t>* aWidths) {
  std::string line;
  switch (fFormat) {
    case TzOutputFormat::Json: {
      nlohmann::json object = nlohmann::json::object();
      for (size_t i = 0; i < fColumns.size(); ++i) object[fColumns[i]] = aRow[i];
      line = object.dump();
      break;
    }
    case TzOutputFormat::Csv:
      if (!fHeaderDone) {
        for (size_t i = 0; i < fColumns.size(); ++i) line += (i ? "," : "") + CsvField(fColumns[i]);
        line += '\n';
        fHeaderDone = true;
      }
      for (size_t i = 0; i < aRow.size(); ++i) line += (i ? "," : "") + CsvField(FieldText(aRow[i]));
      break;
    case TzOutputFormat::Text:
      if (!fHeaderDone && !aWidths) {
        // Streamed: the column names once, before the first row.
        fHeaderDone = true;
        PrintRow(std::vector<nlohmann::json>(fColumns.begin(), fColumns.end()), nullptr);
      }
      for (size_t i = 0; i < aRow.size(); ++i) {
        const std::string text = FieldText(aRow[i]);
        if (i) line += "  ";
        line += text;
        if (aWidths && i + 1 < aRow.size())
          line.append((*aWidths)[i] > Utf8Length(text) ? (*aWidths)[i] - Utf8Length(text) : 0, ' ');
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      break;
  }
  std::fputs((line + '\n').c_str(), stdout);
}

void TzTable::Finish() {
  if (fFinished) return;
  fFinished = true;
  // A table without rows is still its header, streamed or not.
  if (fStreaming && (fFormat == TzOutputFormat::Json || fHeaderDone)) return;
  if (fFormat == TzOutputFormat::Json) {
    nlohmann::json array = nlohmann::json::array();
    for (const auto& row : fRows) {
      nlohmann::json object = nlohmann::json::object();
      for (size_t i = 0; i < fColumns.size(); ++i) object[fColumns[i]] = row[i];
      array.push_back(std::move(object));
    }
    std::fputs((array.dump(2) + '\n').c_str(), stdout);
  } else if (fFormat == TzOutputFormat::Csv && fRows.empty()) {
    std::string header;
    for (size_t i = 0; i < fColumns.size(); ++i) header += (i ? "," : "") + CsvField(fColumns[i]);
    std::fputs((header + '\n').c_str(), stdout);
  } else if (fFormat == TzOutputFormat::Csv) {
    for (const auto& row : fRows) PrintRow(row, nullptr);
  } else {
    // Text: the column names first, aligned with the rows.
    const std::vector<nlohmann::json> header(fColumns.begin(), fColumns.end());
    std::vector<size_t> widths(fColumns.size(), 0);
    for (size_t i = 0; i < header.size(); ++i) widths[i] = Utf8Length(FieldText(header[i]));
    for (const auto& row : fRows)
      for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Utf8Length(FieldText(row[i])));
    fHeaderDone = true;
    PrintRow(header, &widths);
    for (const auto& row : fRows) PrintRow(row, &widths);
  }
  std::fflush(stdout);
}
