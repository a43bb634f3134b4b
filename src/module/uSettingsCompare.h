// How two sets of a module's settings differ (a module and a file, or two
// files), by output or input and field, in the panel's words.
#pragma once

#include <string>
#include <vector>

#include "uSettingsFile.h"

struct TzSettingsDifference {
  std::string Key;    // the value in the file: "outputs[1].pwm_period", "inputs[3].filter", "identity.address"
  std::string Place;  // "Реле #1", "Вход #3", "Устройство"
  std::string Field;  // the panel's caption: "Значение периода ШИМ", "Фильтр дребезга", "Адрес"
  std::string Left, Right;  // the two values in the panel's words
};

// Every value that differs, outputs first (in the panel's row order), then
// the inputs, then the module's identity when aWithIdentity. A filter that
// one side does not know is not compared. The texts beside the values
// (type, firmware, identifier, date, line) are not settings and never differ.
std::vector<TzSettingsDifference> CompareSettings(const TzModuleSettings& aLeft, const TzModuleSettings& aRight,
                                                  bool aWithIdentity = true);
