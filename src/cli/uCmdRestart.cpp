// restart: the module's restart command, as the panel sends it.
#include "uCliCommand.h"
#include "uCliExit.h"
#include "uDeviceSettings.h"

namespace {
class TzRestartCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    return aApp.add_subcommand("restart", "restart the module (21930 to register 60000); new line settings take effect");
  }
  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (const int code = aSession.Identify(); code != exOk) return code;
      WriteRestart(aSession);
      return aSession.Report(aSession.WaitWrites());
    });
  }
};
}  // namespace

std::unique_ptr<TzCommand> MakeRestartCommand() { return std::make_unique<TzRestartCommand>(); }
