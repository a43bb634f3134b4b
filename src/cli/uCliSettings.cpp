#include "uCliSettings.h"

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uSettingsRestore.h"

int ReadModuleSettings(TzCliSession& aSession, TzModuleSettings& aSettings) {
  if (const int code = aSession.Identify(); code != exOk) return code;
  std::vector<TzTag*> tags;
  for (const int32_t id : SettingsReadTags()) tags.push_back(aSession.Device().GetTagByID(id));
  if (const int code = aSession.Report(aSession.Read(tags)); code != exOk) return code;
  int32_t failed = 0;
  const TzTryValue tryValue = [&](int32_t aID, int32_t& aValue) {
    const TzTag* tag = aSession.Device().GetTagByID(aID);
    if (!tag || tag->Quality() != kQualityGood) return false;
    aValue = static_cast<int32_t>(tag->Value());
    return true;
  };
  if (!SettingsFromValues(tryValue, aSettings, failed)) {
    const TzTag* tag = aSession.Device().GetTagByID(failed);
    ReportError("the module's value " + std::to_string(failed) + (tag ? " \"" + tag->OPCName + "\"" : std::string()) +
                " is not one a settings file can hold (" + (tag ? tag->ValueStr : std::string("no value")) + ")");
    return exUndecodable;
  }
  const TzCommonOptions& options = aSession.Options();
  aSettings.Saved = IsoTimestamp();
  aSettings.ReadOver = {options.Port, options.Address, options.BaudRate, options.FormatIndex};
  return exOk;
}

TzRestoreResult RestoreModuleSettings(TzCliSession& aSession, const TzModuleSettings& aFile, bool aWithLine) {
  TzRestoreResult result;
  TzModuleSettings current;
  if ((result.Code = ReadModuleSettings(aSession, current)) != exOk) return result;
  const std::vector<TzSettingsWrite> plan = RestorePlan(aFile, current, aWithLine);
  result.Planned = plan.size();
  for (const TzSettingsWrite& write : plan) {
    aSession.SetRegByID(write.ID, write.Value, write.Forced);
    const std::vector<TzOutcome> outcomes = aSession.WaitWrites();
    if (const int code = aSession.Report(outcomes); code != exOk) {
      result.Code = code;
      result.Stopped = write.Key + (write.SwitchOff ? " (switching the running function off)" : "") + " := " +
                       std::to_string(static_cast<int64_t>(write.Value));
      // A refused write did not happen; one without an answer may have.
      const size_t left = plan.size() - result.Written;
      const std::string rest = code == exException
                                   ? std::to_string(left) + " not written"
                                   : "1 unconfirmed, " + std::to_string(left - 1) + " not written";
      ReportError("restore stopped at write " + std::to_string(result.Written + 1) + " of " +
                  std::to_string(plan.size()) + ", " + result.Stopped + ": " + std::to_string(result.Written) +
                  " written, " + rest);
      return result;
    }
    ++result.Written;
  }
  TzModuleSettings back;
  if ((result.Code = ReadModuleSettings(aSession, back)) != exOk) return result;
  result.Mismatches = CompareSettings(aFile, back, aWithLine);
  for (const TzSettingsDifference& m : result.Mismatches)
    ReportError("read back " + m.Key + ": the file has " + m.Left + ", the module " + m.Right);
  if (!result.Mismatches.empty()) result.Code = exMismatch;
  return result;
}
