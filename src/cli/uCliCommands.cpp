#include <chrono>
#include <ctime>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uCliTagFind.h"
#include "uCliTagText.h"
#include "uValueText.h"

void ReportError(const std::string& aMessage) {
  std::string line = aMessage;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::fprintf(stderr, "rk7140ctl: %s\n", line.c_str());
}

const std::vector<TzCommandMaker>& CommandTable() {
  static const std::vector<TzCommandMaker> table = {
      MakePortsCommand,   MakeIdentifyCommand, MakeReadCommand,  MakeWriteCommand,
      MakeDumpCommand,    MakePollCommand,     MakeOutputsCommand, MakeInputsCommand,
      MakeClockCommand,   MakeLineCommand,     MakeRestartCommand, MakeScanCommand,
      MakeSniffCommand,   MakeConfigCommand,
  };
  return table;
}

std::vector<std::string> TagColumns(TzOutputFormat aFormat) {
  if (aFormat == TzOutputFormat::Text) return {"register", "id", "name", "value", "text", "quality"};
  return {"id", "name", "value", "text", "quality", "register", "meaning"};
}

std::vector<nlohmann::json> TagRow(const TzTag& aTag, TzOutputFormat aFormat) {
  const bool good = aTag.Quality() == kQualityGood;
  const nlohmann::json value = TagNumber(aTag);
  const std::string meaning = TagMeaning(aTag);
  if (aFormat == TzOutputFormat::Text) {
    const std::string text = !good ? std::string() : !meaning.empty() ? meaning : FieldText(value);
    return {TagRegisterName(aTag), aTag.ID, aTag.OPCName, value, text, QualityText(aTag.Quality())};
  }
  return {aTag.ID,
          aTag.OPCName,
          value,
          good ? nlohmann::json(aTag.ValueStr) : nlohmann::json(),
          aTag.Quality(),
          TagRegisterName(aTag),
          meaning.empty() ? nlohmann::json() : nlohmann::json(meaning)};
}

bool FindTags(TzDevice& aDevice, const std::vector<std::string>& aNames, std::vector<TzTag*>& aTags) {
  bool all = true;
  for (const std::string& name : aNames) {
    std::string why;
    TzTag* tag = FindTag(aDevice, name, why);
    if (!tag) {
      ReportError(why);
      all = false;
    }
    aTags.push_back(tag);
  }
  return all;
}

int WithSession(const TzCommonOptions& aOptions, const std::function<int(TzCliSession&)>& aWork) {
  TzCliSession session(aOptions);
  if (const int code = session.Open(); code != exOk) return code;
  return aWork(session);
}

std::string IsoTimestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char date[32], zone[8];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  std::strftime(zone, sizeof zone, "%z", &local);  // +0300
  char text[64];
  std::snprintf(text, sizeof text, "%s.%03d%.3s:%s", date, static_cast<int>(ms), zone, zone + 3);
  return text;
}
