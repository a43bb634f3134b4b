// clock [--set now|ISO-TIME]: the module's clock; setting it writes the six
// clock registers as the panel does.
#include <cstdio>
#include <ctime>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uDeviceSettings.h"

namespace {

bool ValidDateTime(const TzModuleDateTime& aTime) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (aTime.Year < 1 || aTime.Year > 9999 || aTime.Month < 1 || aTime.Month > 12) return false;
  const bool leap = (aTime.Year % 4 == 0 && aTime.Year % 100 != 0) || aTime.Year % 400 == 0;
  const int days = aTime.Month == 2 && !leap ? 28 : kDays[aTime.Month - 1];
  return aTime.Day >= 1 && aTime.Day <= days && aTime.Hour >= 0 && aTime.Hour <= 23 && aTime.Minute >= 0 &&
         aTime.Minute <= 59 && aTime.Second >= 0 && aTime.Second <= 59;
}

// "now" (the local time) or YYYY-MM-DDTHH:MM:SS (a space instead of T is fine).
bool ParseClock(const std::string& aText, TzModuleDateTime& aTime) {
  if (aText == "now") {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    aTime = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    return true;
  }
  char sep = 0;
  int used = 0;
  TzModuleDateTime t;
  if (std::sscanf(aText.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &t.Year, &t.Month, &t.Day, &sep, &t.Hour, &t.Minute,
                  &t.Second, &used) != 7 ||
      static_cast<size_t>(used) != aText.size() || (sep != 'T' && sep != ' ') || !ValidDateTime(t))
    return false;
  aTime = t;
  return true;
}

std::string ClockText(const TzModuleDateTime& aTime) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", aTime.Year, aTime.Month, aTime.Day, aTime.Hour,
                aTime.Minute, aTime.Second);
  return text;
}

class TzClockCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* c = aApp.add_subcommand("clock", "show the module's clock; --set now|YYYY-MM-DDTHH:MM:SS sets it");
    c->add_option("--set", fSet, "now (this computer's local time) or YYYY-MM-DDTHH:MM:SS");
    return c;
  }

  int Run(const TzCommonOptions& aOptions) override {
    TzModuleDateTime wanted;
    if (!fSet.empty() && !ParseClock(fSet, wanted)) {
      ReportError("--set " + fSet + ": expected now or a valid YYYY-MM-DDTHH:MM:SS");
      return exUsage;
    }
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (!fSet.empty()) {
        if (const int code = aSession.Identify(); code != exOk) return code;
        WriteModuleClock(aSession, wanted);
        if (const int code = aSession.Report(aSession.WaitWrites()); code != exOk) return code;
      }
      std::vector<TzTag*> tags;
      for (int32_t i = 0; i < 6; ++i) tags.push_back(aSession.Device().GetTagByID(kClockFirstReg + i));
      const std::vector<TzOutcome> outcomes = aSession.Read(tags);
      const int code = aSession.Report(outcomes);
      if (code != exOk) return code;
      const auto v = [&](int i) { return static_cast<int32_t>(tags[static_cast<size_t>(i)]->Value()); };
      const TzModuleDateTime clock{v(0), v(1), v(2), v(3), v(4), v(5)};
      TzTable table(aOptions.OutputFormat, {"clock"});
      table.Add({ClockText(clock)});
      return code;
    });
  }

private:
  std::string fSet;
};
}  // namespace

std::unique_ptr<TzCommand> MakeClockCommand() { return std::make_unique<TzClockCommand>(); }
