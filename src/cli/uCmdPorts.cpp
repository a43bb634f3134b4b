// ports: the serial ports the panel would list, with their numbers.
#include "uCliCommand.h"
#include "uCliExit.h"
#include "uSerialPorts.h"

namespace {
class TzPortsCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    return aApp.add_subcommand("ports", "list the serial ports the panel would list, with their numbers");
  }
  bool NeedsPort() const override { return false; }
  int Run(const TzCommonOptions& aOptions) override {
    TzTable table(aOptions.OutputFormat, {"number", "name"});
    for (const TzSerialPortInfo& port : EnumSerialPortList()) table.Add({port.Number, port.Name});
    return exOk;
  }
};
}  // namespace

std::unique_ptr<TzCommand> MakePortsCommand() { return std::make_unique<TzPortsCommand>(); }
