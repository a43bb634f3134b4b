// line: the module's own RS-485 settings, written as the panel's device panel
// writes them; they take effect after a restart (--restart sends it).
#include <optional>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uDeviceSettings.h"
#include "uLineRules.h"

namespace {
class TzLineCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* c = aApp.add_subcommand(
        "line", "write the module's RS-485 settings (address, baud rate, format, network time-out); they take "
                "effect after a restart. The options after `line` are the NEW settings; give the connection's "
                "--address, --baud and --format before `line`");
    c->add_option("--address", fAddress, "new bus address 1..247")->required()->check(CLI::Range(1, 247));
    c->add_option("--baud", fBaud, "new baud rate")
        ->required()
        ->check(CLI::IsMember(BaudRateList()));
    c->add_option("--format", fFormat, "new format " + FormatNamesText())
        ->required()
        ->check(CLI::IsMember(FormatNameList(), CLI::ignore_case));
    c->add_option("--timeout-s", fTimeout, "new network time-out in seconds (default: the module's current one)")
        ->check(CLI::Range(0, 65535));
    c->add_flag("--restart", fRestart, "restart the module afterwards, so the settings take effect");
    return c;
  }

  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (const int code = aSession.Identify(); code != exOk) return code;
      TzRS485Settings settings;
      settings.Address = fAddress;
      settings.BaudIndex = BaudCodeOf(fBaud);
      settings.FormatIndex = FormatIndexOf(fFormat);
      if (fTimeout) {
        settings.Timeout = *fTimeout;
      } else {
        TzTag* current = aSession.Device().GetTagByID(kNetTimeoutReg);
        if (const int code = aSession.Report(aSession.Read({current})); code != exOk) return code;
        settings.Timeout = static_cast<int32_t>(current->Value());
      }
      if (!WriteRS485Settings(aSession, settings)) {
        ReportError("line: the baud rate or format is not one the module knows");
        return static_cast<int>(exUsage);
      }
      if (const int code = aSession.Report(aSession.WaitWrites()); code != exOk) return code;
      if (fRestart) {
        WriteRestart(aSession);
        if (const int code = aSession.Report(aSession.WaitWrites()); code != exOk) return code;
      }
      std::vector<TzTag*> written;
      for (const int32_t id : {kAddressReg, kBaudRateReg, kFormatReg, kNetTimeoutReg})
        written.push_back(aSession.Device().GetTagByID(id));
      TzTable table(aOptions.OutputFormat, TagColumns(aOptions.OutputFormat));
      for (const TzTag* tag : written) table.Add(TagRow(*tag, aOptions.OutputFormat));
      return static_cast<int>(exOk);
    });
  }

private:
  int32_t fAddress = 16;
  int32_t fBaud = 9600;
  std::string fFormat = "8N1";
  std::optional<int32_t> fTimeout;
  bool fRestart = false;
};
}  // namespace

std::unique_ptr<TzCommand> MakeLineCommand() { return std::make_unique<TzLineCommand>(); }
