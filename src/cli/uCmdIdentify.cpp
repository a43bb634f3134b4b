// identify: asks the device type like the panel, then the module's
// identification: hardware version, identifier, firmware, power status and
// supply voltages.
#include "uCliCommand.h"
#include "uCliExit.h"

namespace {
constexpr int32_t kIdentityTags[] = {36864, 36865, 36866, 36867, 36868, 36869, 36881, 24583, 24711};

class TzIdentifyCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    return aApp.add_subcommand(
        "identify", "ask the device type (input register 0x9000, 74 for an RK-7140) and print the module's "
                    "type, hardware version, identifier, firmware, power status and supply voltages");
  }
  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (const int code = aSession.Identify(); code != exOk) return code;
      std::vector<TzTag*> tags;
      for (const int32_t id : kIdentityTags) tags.push_back(aSession.Device().GetTagByID(id));
      const std::vector<TzOutcome> outcomes = aSession.Read(tags);
      TzTable table(aOptions.OutputFormat, kTagColumns);
      for (const TzTag* tag : tags) table.Add(TagRow(*tag));
      table.Finish();
      return aSession.Report(outcomes);
    });
  }
};
}  // namespace

std::unique_ptr<TzCommand> MakeIdentifyCommand() { return std::make_unique<TzIdentifyCommand>(); }
