// What a command prints on stdout, in the chosen form:
//   text  a header row, fields separated by two spaces, columns aligned
//         (streamed rows: not aligned)
//   json  one array of objects (streamed rows: one object per line)
//   csv   a header row, then one row per record
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

enum class TzOutputFormat { Text, Json, Csv };

class TzTable {
public:
  TzTable(TzOutputFormat aFormat, std::vector<std::string> aColumns, bool aStreaming = false);
  ~TzTable();
  TzTable(const TzTable&) = delete;
  TzTable& operator=(const TzTable&) = delete;

  // One record, a value per column (null: empty field). Streamed rows are
  // printed and flushed at once.
  void Add(std::vector<nlohmann::json> aRow);
  // Prints what was collected (once; the destructor does it otherwise).
  void Finish();

private:
  void PrintRow(const std::vector<nlohmann::json>& aRow, const std::vector<size_t>* aWidths);

  TzOutputFormat fFormat;
  std::vector<std::string> fColumns;
  bool fStreaming;
  bool fHeaderDone = false;
  bool fFinished = false;
  std::vector<std::vector<nlohmann::json>> fRows;
};

// A field's text as the text and CSV forms print it.
std::string FieldText(const nlohmann::json& aValue);
// A number as the tool prints it (at most 15 significant digits, "." as separator).
nlohmann::json NumberValue(double aValue);
