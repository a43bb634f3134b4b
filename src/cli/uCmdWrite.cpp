// write TAG VALUE: through the tag's write function and byte order, after the
// device was identified as an RK-7140; confirmed by the module's echo.
#include <cstdlib>
#include <sstream>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uValueFit.h"

namespace {
class TzWriteCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* command = aApp.add_subcommand(
        "write", "write a value to a tag through its write function and byte order; the module's echo confirms it");
    command->add_option("tag", fName, "template ID or name")->required();
    command->add_option("value", fValue, "the value (a number)")->required();
    return command;
  }
  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      std::vector<TzTag*> tags;
      if (!FindTags(aSession.Device(), {fName}, tags)) return static_cast<int>(exUsage);
      TzTag& tag = *tags.front();
      if (tag.WriteCmd == 0) {
        ReportError("tag " + std::to_string(tag.ID) + " \"" + tag.OPCName + "\" cannot be written");
        return static_cast<int>(exUsage);
      }
      // Nothing goes out for a value the register cannot hold (it would be cut
      // to its low bits and still be confirmed by the module's echo).
      if (!ValueFitsTag(tag, fValue)) {
        std::ostringstream value;
        value << fValue;
        ReportError("value " + value.str() + " does not fit tag " + std::to_string(tag.ID) + " \"" + tag.OPCName +
                    "\" (it takes " + TagWriteRangeText(tag) + ")");
        return static_cast<int>(exUsage);
      }
      if (const int code = aSession.Identify(); code != exOk) return code;
      if (!aSession.Write(tag, fValue)) return aSession.Report(aSession.WaitWrites());
      const std::vector<TzOutcome> outcomes = aSession.WaitWrites();
      TzTable table(aOptions.OutputFormat, TagColumns(aOptions.OutputFormat));
      table.Add(TagRow(tag, aOptions.OutputFormat));
      table.Finish();
      return aSession.Report(outcomes);
    });
  }

private:
  std::string fName;
  double fValue = 0;
};
}  // namespace

std::unique_ptr<TzCommand> MakeWriteCommand() { return std::make_unique<TzWriteCommand>(); }
