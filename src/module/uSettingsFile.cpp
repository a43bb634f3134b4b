#include "uSettingsFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "uFileReplace.h"
#include "uLineRules.h"
#include "uRK7140Device.h"
#include "uSettingsFields.h"

using TzJson = nlohmann::ordered_json;

namespace {

constexpr const char* kIdentityNote =
    "the module's own RS-485 settings, its identity: written into a module only when asked for";
constexpr const char* kInputsNote =
    "the module reports the filters of inputs 1..6; the others are saved as unknown and never written";

TzJson OutputJson(int aOutput, const TzDiscretOutParams& aParams) {
  TzJson output;
  output["output"] = aOutput;
  for (const TzOutputSettingField& field : kOutputSettingFields) output[field.Key] = aParams.*field.Member;
  return output;
}

// Reads a document that passed the parse; the first value that is missing,
// of the wrong kind or out of range ends it with its key.
class TzReader {
public:
  explicit TzReader(TzSettingsFileResult& aResult) : fResult(aResult) {}

  bool Fail(const std::string& aKey) {
    fResult.Error = TzSettingsFileError::Invalid;
    fResult.Key = aKey;
    return false;
  }

  const TzJson* Member(const TzJson& aObject, const char* aName) {
    if (!aObject.is_object()) return nullptr;
    const auto it = aObject.find(aName);
    return it == aObject.end() ? nullptr : &*it;
  }

  bool Int(const TzJson& aObject, const char* aName, const std::string& aKey, int64_t aMin, int64_t aMax,
           int32_t& aValue) {
    const TzJson* value = Member(aObject, aName);
    if (!value || !value->is_number_integer()) return Fail(aKey);
    const int64_t number = value->get<int64_t>();
    if (number < aMin || number > aMax) return Fail(aKey);
    aValue = static_cast<int32_t>(number);
    return true;
  }

  bool Text(const TzJson& aObject, const char* aName, const std::string& aKey, std::string& aValue) {
    const TzJson* value = Member(aObject, aName);
    if (!value || !value->is_string()) return Fail(aKey);
    aValue = value->get<std::string>();
    return true;
  }

  bool Baud(const TzJson& aObject, const std::string& aKey, int32_t& aRate) {
    int32_t rate = 0;
    if (!Int(aObject, "baud", aKey + ".baud", 1, 1000000, rate) || BaudCodeOf(rate) < 0) return Fail(aKey + ".baud");
    aRate = rate;
    return true;
  }

  bool Format(const TzJson& aObject, const std::string& aKey, int32_t& aIndex) {
    std::string name;
    if (!Text(aObject, "format", aKey + ".format", name)) return false;
    aIndex = FormatIndexOf(name);
    return aIndex >= 0 || Fail(aKey + ".format");
  }

  bool Outputs(const TzJson& aRoot, TzModuleSettings& aSettings) {
    const TzJson* outputs = Member(aRoot, "outputs");
    if (!outputs || !outputs->is_array() || outputs->size() != kOutputCount) return Fail("outputs");
    for (int n = 1; n <= kOutputCount; ++n) {
      const TzJson& output = (*outputs)[static_cast<size_t>(n - 1)];
      const std::string key = "outputs[" + std::to_string(n) + "]";
      int32_t number = 0;
      if (!Int(output, "output", key + ".output", n, n, number)) return false;
      TzDiscretOutParams& params = aSettings.Outputs[static_cast<size_t>(n - 1)];
      for (const TzOutputSettingField& field : kOutputSettingFields)
        if (!Int(output, field.Key, key + "." + field.Key, field.Min, field.Max, params.*field.Member)) return false;
    }
    return true;
  }

  bool Inputs(const TzJson& aRoot, TzModuleSettings& aSettings) {
    const TzJson* inputs = Member(aRoot, "inputs");
    if (!inputs || !inputs->is_array() || inputs->size() != kInputCount) return Fail("inputs");
    for (int n = 1; n <= kInputCount; ++n) {
      const TzJson& input = (*inputs)[static_cast<size_t>(n - 1)];
      const std::string key = "inputs[" + std::to_string(n) + "]";
      int32_t number = 0;
      std::string filter;
      if (!Int(input, "input", key + ".input", n, n, number) || !Text(input, "filter", key + ".filter", filter))
        return false;
      std::optional<int32_t>& target = aSettings.Filters[static_cast<size_t>(n - 1)];
      if (filter == FilterKey(ftShort)) target = ftShort;
      else if (filter == FilterKey(ftLong)) target = ftLong;
      else if (filter == "unknown") target.reset();
      else return Fail(key + ".filter");
    }
    return true;
  }

  bool Identity(const TzJson& aRoot, TzRS485Settings& aLine) {
    const TzJson* identity = Member(aRoot, "identity");
    if (!identity || !identity->is_object()) return Fail("identity");
    int32_t rate = 0;
    if (!Int(*identity, "address", "identity.address", 1, 247, aLine.Address) || !Baud(*identity, "identity", rate) ||
        !Format(*identity, "identity", aLine.FormatIndex) ||
        !Int(*identity, "network_timeout", "identity.network_timeout", 0, 65535, aLine.Timeout))
      return false;
    aLine.BaudIndex = BaudCodeOf(rate);
    return true;
  }

  bool Meta(const TzJson& aRoot, TzModuleSettings& aSettings) {
    const TzJson* module = Member(aRoot, "module");
    if (!module || !module->is_object()) return Fail("module");
    if (!Text(*module, "firmware", "module.firmware", aSettings.Firmware) ||
        !Text(*module, "identifier", "module.identifier", aSettings.Identifier) ||
        !Text(aRoot, "saved", "saved", aSettings.Saved))
      return false;
    const TzJson* over = Member(aRoot, "read_over");
    if (!over || !over->is_object()) return Fail("read_over");
    TzReadOver& line = aSettings.ReadOver;
    return Text(*over, "port", "read_over.port", line.Port) &&
           Int(*over, "address", "read_over.address", 1, 247, line.Address) && Baud(*over, "read_over", line.BaudRate) &&
           Format(*over, "read_over", line.FormatIndex);
  }

private:
  TzSettingsFileResult& fResult;
};

}  // namespace

std::string SettingsToJson(const TzModuleSettings& aSettings) {
  TzJson root;
  root["format"] = kSettingsFormatName;
  root["version"] = kSettingsFormatVersion;
  root["module"] = {{"type", aSettings.DeviceType},
                    {"firmware", aSettings.Firmware},
                    {"identifier", aSettings.Identifier}};
  root["saved"] = aSettings.Saved;
  const TzReadOver& over = aSettings.ReadOver;
  root["read_over"] = {{"port", over.Port},
                       {"address", over.Address},
                       {"baud", over.BaudRate},
                       {"format", std::string(kLineFormatNames[static_cast<size_t>(over.FormatIndex & 3)])}};
  root["outputs"] = TzJson::array();
  for (int n = 1; n <= kOutputCount; ++n)
    root["outputs"].push_back(OutputJson(n, aSettings.Outputs[static_cast<size_t>(n - 1)]));
  root["inputs_note"] = kInputsNote;
  root["inputs"] = TzJson::array();
  for (int n = 1; n <= kInputCount; ++n) {
    const std::optional<int32_t>& filter = aSettings.Filters[static_cast<size_t>(n - 1)];
    root["inputs"].push_back({{"input", n}, {"filter", filter ? FilterKey(*filter) : "unknown"}});
  }
  const TzRS485Settings& line = aSettings.Line;
  root["identity"] = {{"note", kIdentityNote},
                      {"address", line.Address},
                      {"baud", kLineBaudRates[static_cast<size_t>(line.BaudIndex) % kLineBaudRates.size()]},
                      {"format", std::string(kLineFormatNames[static_cast<size_t>(line.FormatIndex & 3)])},
                      {"network_timeout", line.Timeout}};
  return root.dump(2) + "\n";
}

TzSettingsFileResult SettingsFromJson(const std::string& aText, TzModuleSettings& aSettings) {
  TzSettingsFileResult result;
  TzJson root;
  try {
    root = TzJson::parse(aText);
  } catch (const TzJson::parse_error& e) {
    // An error at the very end: the text stopped where more had to follow.
    const bool atEnd = e.byte >= aText.size() || aText.find_first_not_of(" \t\r\n") == std::string::npos;
    result.Error = atEnd ? TzSettingsFileError::Truncated : TzSettingsFileError::NotJson;
    result.Key = std::to_string(e.byte);
    return result;
  }
  TzReader reader(result);
  const TzJson* format = reader.Member(root, "format");
  if (!format || !format->is_string() || format->get<std::string>() != kSettingsFormatName) {
    result.Error = TzSettingsFileError::NotSettings;
    return result;
  }
  int32_t version = 0;
  if (!reader.Int(root, "version", "version", 1, INT32_MAX, version)) return result;
  if (version > kSettingsFormatVersion) {
    result.Error = TzSettingsFileError::NewerVersion;
    result.Number = version;
    return result;
  }
  TzModuleSettings settings;
  const TzJson* module = reader.Member(root, "module");
  if (!module || !reader.Int(*module, "type", "module.type", INT32_MIN, INT32_MAX, settings.DeviceType)) {
    reader.Fail("module.type");
    return result;
  }
  if (settings.DeviceType != 74) {
    result.Error = TzSettingsFileError::OtherModule;
    result.Number = settings.DeviceType;
    return result;
  }
  if (!reader.Meta(root, settings) || !reader.Outputs(root, settings) || !reader.Inputs(root, settings) ||
      !reader.Identity(root, settings.Line))
    return result;
  aSettings = settings;
  return result;
}

bool SaveSettingsFile(const std::filesystem::path& aPath, const TzModuleSettings& aSettings, std::string& aError) {
  return WriteFileReplacing(aPath, SettingsToJson(aSettings), aError);
}

TzSettingsFileResult LoadSettingsFile(const std::filesystem::path& aPath, TzModuleSettings& aSettings) {
  std::ifstream in(aPath, std::ios::binary);
  std::string text;
  if (in.is_open()) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) {
    TzSettingsFileResult result;
    result.Error = TzSettingsFileError::Unreadable;
    result.Key = "cannot be opened or read";
    return result;
  }
  return SettingsFromJson(text, aSettings);
}

std::string SettingsFileErrorText(const TzSettingsFileResult& aResult) {
  switch (aResult.Error) {
    case TzSettingsFileError::None: return "valid";
    case TzSettingsFileError::Unreadable: return "the file " + aResult.Key;
    case TzSettingsFileError::Truncated: return "the file is truncated (it ends where more JSON must follow)";
    case TzSettingsFileError::NotJson: return "the file is not valid JSON (error at byte " + aResult.Key + ")";
    case TzSettingsFileError::NotSettings: return "the file is no RK-7140 settings file (no \"format\": \"rk7140-settings\")";
    case TzSettingsFileError::NewerVersion:
      return "the file has format version " + std::to_string(aResult.Number) + "; this program reads version " +
             std::to_string(kSettingsFormatVersion);
    case TzSettingsFileError::OtherModule:
      return "the file holds the settings of another module type (device type " + std::to_string(aResult.Number) +
             ", an RK-7140 is 74)";
    case TzSettingsFileError::Invalid: return "the file's value " + aResult.Key + " is missing or out of range";
  }
  return "the file is refused";
}

