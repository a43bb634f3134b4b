// The settings file through one session of rk7140ctl: reading a module's
// settings fresh, and restoring a file into it one write at a time (so that a
// refused write stops it at once), then reading every value back.
#pragma once

#include <string>
#include <vector>

#include "uCliSession.h"
#include "uSettingsCompare.h"
#include "uSettingsFile.h"

// Identifies the module and reads every value a file holds; exOk, or the
// first failure's code (reported). Saved and ReadOver are filled in.
int ReadModuleSettings(TzCliSession& aSession, TzModuleSettings& aSettings);

struct TzRestoreResult {
  int Code = 0;            // a TzExit
  size_t Planned = 0;      // writes of the plan
  size_t Written = 0;      // writes the module confirmed
  std::string Stopped;     // the refused write and why, when one stopped it
  std::vector<TzSettingsDifference> Mismatches;  // the read-back against the file
};

// Writes aFile into the module as the panel writes each feature (the RS-485
// settings only with aWithLine), then reads back and compares. Every failure
// is reported on stderr.
TzRestoreResult RestoreModuleSettings(TzCliSession& aSession, const TzModuleSettings& aFile, bool aWithLine);
