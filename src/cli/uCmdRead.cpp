// read TAG...: tags by template ID or name; one row each.
#include "uCliCommand.h"
#include "uCliExit.h"

namespace {
class TzReadCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* command = aApp.add_subcommand(
        "read", "read tags by template ID (60070) or name (case-insensitive; a unique prefix is enough); "
                "prints ID, name, value, value text and quality");
    command->add_option("tags", fNames, "template IDs or names")->required();
    return command;
  }
  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      std::vector<TzTag*> tags;
      if (!FindTags(aSession.Device(), fNames, tags)) return static_cast<int>(exUsage);
      const std::vector<TzOutcome> outcomes = aSession.Read(tags);
      TzTable table(aOptions.OutputFormat, TagColumns(aOptions.OutputFormat));
      for (const TzTag* tag : tags) table.Add(TagRow(*tag, aOptions.OutputFormat));
      table.Finish();
      return aSession.Report(outcomes);
    });
  }

private:
  std::vector<std::string> fNames;
};
}  // namespace

std::unique_ptr<TzCommand> MakeReadCommand() { return std::make_unique<TzReadCommand>(); }
