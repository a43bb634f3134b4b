// A module's settings as a file: everything the panel configures and the
// module reports (the six outputs' PWM and relay logic, the inputs' bounce
// filters, the module's own RS-485 settings as its identity) with the module's
// type, firmware, identifier, the date and the line it was read over. The
// file is JSON, one value per line, so that people can read and compare it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "uDeviceSettings.h"
#include "uInputConfig.h"
#include "uOutputParams.h"

inline constexpr const char* kSettingsFormatName = "rk7140-settings";
inline constexpr int32_t kSettingsFormatVersion = 1;

// The connection the settings were read over.
struct TzReadOver {
  std::string Port;
  int32_t Address = 16;
  int32_t BaudRate = 9600;
  int32_t FormatIndex = 0;  // 8N1 8O1 8E1 8N2
};

struct TzModuleSettings {
  // Beside the values.
  int32_t DeviceType = 74;
  std::string Firmware;    // as the panel shows it, "1.05"
  std::string Identifier;  // as the panel shows it, "00-12-34-56-78-9A"
  std::string Saved;       // ISO 8601 local time
  TzReadOver ReadOver;

  // Index 0..5 for outputs 1..6 (CanModify is not part of the file).
  std::array<TzDiscretOutParams, kOutputCount> Outputs{};
  // Index 0..11 for inputs 1..12: ftShort or ftLong; none where the module
  // does not report the filter (inputs 7..12).
  std::array<std::optional<int32_t>, kInputCount> Filters{};
  // The module's identity: written only when asked for.
  TzRS485Settings Line;
};

// Why a file was refused. Every kind is found before anything is written.
enum class TzSettingsFileError {
  None,
  Unreadable,    // the file cannot be opened or read
  Truncated,     // the JSON ends early (an empty file too)
  NotJson,       // not valid JSON
  NotSettings,   // valid JSON, but no settings file of this module
  NewerVersion,  // a format version this program does not know yet
  OtherModule,   // the settings of another module type
  Invalid,       // a value missing, of the wrong kind or out of range
};

struct TzSettingsFileResult {
  TzSettingsFileError Error = TzSettingsFileError::None;
  std::string Key;     // Invalid: the value ("outputs[3].pwm_period"); Unreadable: the reason
  int64_t Number = 0;  // NewerVersion: the version; OtherModule: the type
  bool Ok() const { return Error == TzSettingsFileError::None; }
};

// The file's text: JSON, two spaces of indent, one value per line, keys in a
// fixed order, a final line break.
std::string SettingsToJson(const TzModuleSettings& aSettings);
// Reads and checks a file's text; aSettings is filled only when it is valid.
TzSettingsFileResult SettingsFromJson(const std::string& aText, TzModuleSettings& aSettings);

// Writes the file through the replace-by-rename writer; false with the
// writer's reason (Russian) in aError.
bool SaveSettingsFile(const std::filesystem::path& aPath, const TzModuleSettings& aSettings, std::string& aError);
// Reads and checks a file.
TzSettingsFileResult LoadSettingsFile(const std::filesystem::path& aPath, TzModuleSettings& aSettings);

// One line in English saying why a file was refused (the tool's message).
std::string SettingsFileErrorText(const TzSettingsFileResult& aResult);

