// config save|diff|restore: a module's settings as a file. save reads every
// value fresh and writes the file; diff compares a module (or a second file)
// with a file; restore writes a file into one module, several (--address
// repeated) or every RK-7140 a scan finds (--all-found), each verified by
// reading back, with a summary row per module.
#include <set>

#include "uBusSearch.h"
#include "uCliCommand.h"
#include "uCliExit.h"
#include "uCliPump.h"
#include "uCliSettings.h"

namespace {

// The file, or its refusal (reported) as exFile.
int LoadFile(const std::string& aPath, TzModuleSettings& aSettings) {
  const TzSettingsFileResult result = LoadSettingsFile(aPath, aSettings);
  if (result.Ok()) return exOk;
  ReportError(aPath + ": " + SettingsFileErrorText(result) + "; nothing was written");
  return exFile;
}

// Every address where an RK-7140 answers under the common line settings
// (the panel's search probe and verdict), in address order.
int FindModules(const TzCommonOptions& aOptions, int32_t aFrom, int32_t aTo, std::vector<int32_t>& aFound) {
  TzCliPump pump;
  TzBusSearch search;
  search.SetEndpoint(aOptions.Endpoint);
  search.SetBaudRate(aOptions.BaudRate);
  search.SetFormat(aOptions.FormatIndex);
  search.SetTimeout(aOptions.Timeout);
  search.SetRange(aFrom, aTo);
  search.SetMainThreadPost(pump.Poster());
  search.Cycled = false;
  std::set<int32_t> found;
  search.OnFindAddr = [&](int32_t aAddr, const TStringBytes& aAnswer) {
    if (ClassifyFindAnswer(aAddr, aAnswer.AsBytes()) == TzFindVerdict::RK7140) found.insert(aAddr);
  };
  if (!search.Start()) {
    ReportError("port " + aOptions.Port + " cannot be opened for the search (error " +
                std::to_string(search.StartError()) + ")");
    return exPort;
  }
  const auto guard = std::chrono::milliseconds((aTo - aFrom + 1) * (aOptions.Timeout + 200) + 10000);
  const bool ended = pump.RunUntil([&] { return !search.InFindProgress(); }, guard);
  search.Stop();
  if (!ended) {
    ReportError("the search on " + aOptions.Port + " did not end");
    return exNoAnswer;
  }
  aFound.assign(found.begin(), found.end());
  return exOk;
}

class TzConfigCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* c = aApp.add_subcommand(
        "config", "a module's settings as a file (outputs' PWM and logic, inputs' filters, the RS-485 settings)");
    c->require_subcommand(1);
    fSave = c->add_subcommand("save", "read every setting fresh from the module and write FILE (JSON)");
    fSave->add_option("file", fFile, "the settings file to write")->required();

    fDiff = c->add_subcommand(
        "diff", "the values that differ between FILE and the module (or FILE2), by output or input and field in "
                "the panel's words; exits 7 when something differs, 0 when nothing does");
    fDiff->add_option("file", fFile, "the settings file")->required();
    fDiff->add_option("file2", fFile2, "a second settings file instead of the module");

    fRestore = c->add_subcommand(
        "restore", "write FILE into the module with the panel's write sequences, then read every value back; the "
                   "RS-485 settings only with --with-line-settings");
    fRestore->add_option("file", fFile, "the settings file")->required();
    auto* with = fRestore->add_flag("--with-line-settings", fWithLine,
                                    "also write the file's address, baud rate, format and network time-out (one "
                                    "module only; they take effect after a restart)");
    auto* addresses = fRestore->add_option("--address", fAddresses,
                                           "a module to restore (repeatable: clone the file to several modules on "
                                           "the bus, one after another)")
                          ->check(CLI::Range(1, 247));
    auto* all = fRestore->add_flag("--all-found", fAllFound,
                                   "restore every RK-7140 a search of --from..--to finds under the line settings");
    all->excludes(addresses);
    with->excludes(all);
    fRestore->add_option("--from", fFrom, "with --all-found: the first address searched")
        ->check(CLI::Range(1, 247))
        ->capture_default_str();
    fRestore->add_option("--to", fTo, "with --all-found: the last address searched")
        ->check(CLI::Range(1, 247))
        ->capture_default_str();
    return c;
  }

  bool NeedsPort() const override { return !(fDiff->parsed() && !fFile2.empty()); }

  int Run(const TzCommonOptions& aOptions) override {
    if (fSave->parsed()) return Save(aOptions);
    if (fDiff->parsed()) return Diff(aOptions);
    return Restore(aOptions);
  }

private:
  int Save(const TzCommonOptions& aOptions) {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      TzModuleSettings settings;
      if (const int code = ReadModuleSettings(aSession, settings); code != exOk) return code;
      std::string error;
      if (!SaveSettingsFile(fFile, settings, error)) {
        ReportError(fFile + " cannot be written: " + error);
        return static_cast<int>(exFile);
      }
      std::printf("saved the settings of the module at address %d (firmware %s, identifier %s) to %s\n",
                  aOptions.Address, settings.Firmware.c_str(), settings.Identifier.c_str(), fFile.c_str());
      return static_cast<int>(exOk);
    });
  }

  int Diff(const TzCommonOptions& aOptions) {
    TzModuleSettings file;
    if (const int code = LoadFile(fFile, file); code != exOk) return code;
    TzModuleSettings other;
    if (!fFile2.empty()) {
      if (const int code = LoadFile(fFile2, other); code != exOk) return code;
      return Print(aOptions, CompareSettings(file, other), "file2");
    }
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (const int code = ReadModuleSettings(aSession, other); code != exOk) return code;
      return Print(aOptions, CompareSettings(file, other), "module");
    });
  }

  static int Print(const TzCommonOptions& aOptions, const std::vector<TzSettingsDifference>& aDifferences,
                   const char* aRight) {
    if (aDifferences.empty() && aOptions.OutputFormat == TzOutputFormat::Text) {
      std::printf("no differences\n");
      return exOk;
    }
    TzTable table(aOptions.OutputFormat, {"place", "field", "file", aRight, "key"});
    for (const TzSettingsDifference& d : aDifferences) table.Add({d.Place, d.Field, d.Left, d.Right, d.Key});
    table.Finish();
    return aDifferences.empty() ? exOk : exDiffers;
  }

  int Restore(const TzCommonOptions& aOptions) {
    TzModuleSettings file;
    if (const int code = LoadFile(fFile, file); code != exOk) return code;
    std::vector<int32_t> targets = fAddresses;
    if (fAllFound) {
      if (fFrom > fTo) {
        ReportError("--from " + std::to_string(fFrom) + " is above --to " + std::to_string(fTo));
        return exUsage;
      }
      if (const int code = FindModules(aOptions, fFrom, fTo, targets); code != exOk) return code;
      if (targets.empty()) {
        ReportError("no RK-7140 answered on " + aOptions.Port + " at addresses " + std::to_string(fFrom) + ".." +
                    std::to_string(fTo));
        return exNoAnswer;
      }
    }
    if (targets.empty()) targets.push_back(aOptions.Address);
    if (fWithLine && targets.size() > 1) {
      ReportError("--with-line-settings writes one module's address: give one module, not " +
                  std::to_string(targets.size()));
      return exUsage;
    }
    TzTable table(aOptions.OutputFormat, {"address", "result", "written", "planned", "detail"}, true);
    int first = exOk;
    for (const int32_t address : targets) {
      TzCommonOptions options = aOptions;
      options.Address = address;
      TzRestoreResult result;
      result.Code = WithSession(options, [&](TzCliSession& aSession) {
        result = RestoreModuleSettings(aSession, file, fWithLine);
        return result.Code;
      });
      const char* verdict = result.Code == exOk          ? "verified"
                            : !result.Mismatches.empty() ? "mismatch"
                            : !result.Stopped.empty()    ? "stopped"
                                                         : "failed";
      std::string detail = result.Stopped;
      if (!result.Mismatches.empty()) detail = std::to_string(result.Mismatches.size()) + " value(s) read back differ";
      if (result.Code == exOk && fWithLine) detail = "RS-485 settings written: restart the module to use them";
      table.Add({address, verdict, static_cast<int64_t>(result.Written), static_cast<int64_t>(result.Planned), detail});
      NoteFailure(first, result.Code);
    }
    table.Finish();
    return first;
  }

  CLI::App* fSave = nullptr;
  CLI::App* fDiff = nullptr;
  CLI::App* fRestore = nullptr;
  std::string fFile, fFile2;
  bool fWithLine = false;
  bool fAllFound = false;
  std::vector<int32_t> fAddresses;
  int32_t fFrom = kFindFirstAddr;
  int32_t fTo = kFindLastAddr;
};
}  // namespace

std::unique_ptr<TzCommand> MakeConfigCommand() { return std::make_unique<TzConfigCommand>(); }
