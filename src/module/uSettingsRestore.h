// Reading a module's settings for a file, and writing a file back into a
// module with the panel's own write sequences: per output the PWM values, the
// logic parameters and the logic function last (a running function is first
// switched off, since the module takes a new function and delay only while
// its logic is off), then the inputs' filters, and the RS-485 settings only
// when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "uOutputParams.h"
#include "uSettingsFile.h"

// The tags a save reads (the verification of a restore reads them again):
// the device type, identifier and firmware, every output's parameters, the
// filter register and the RS-485 settings.
std::vector<int32_t> SettingsReadTags();

// The settings from the values read (Saved and ReadOver are the caller's).
// False when a tag of SettingsReadTags holds no good value, or the module
// reports a baud rate or format the panel does not know; aFailedID names it.
bool SettingsFromValues(const TzTryValue& aTryValue, TzModuleSettings& aSettings, int32_t& aFailedID);

struct TzSettingsWrite {
  int32_t ID = 0;
  double Value = 0;
  bool Forced = false;
  bool SwitchOff = false;  // the running logic function switched off first
  std::string Key;         // "outputs[2].delay"
  std::string Place;       // "Реле #2"
  std::string Field;       // "Задержка сигнала"
  std::string ValueText;   // in the panel's words
};

// The writes that bring a module whose settings are aModule to aFile, in
// order. The RS-485 settings are among them only with aWithLine; after them
// the module needs a restart.
std::vector<TzSettingsWrite> RestorePlan(const TzModuleSettings& aFile, const TzModuleSettings& aModule, bool aWithLine);
