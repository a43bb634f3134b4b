// dump: the panel's first full reading, every readable tag once; rows in
// template order.
#include "uCliCommand.h"
#include "uCliExit.h"

namespace {
class TzDumpCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    return aApp.add_subcommand("dump",
                               "read every readable tag once, as the panel's first full reading; rows in template "
                               "order (JSON: one array of objects with id, name, value, text and quality)");
  }
  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      const std::vector<TzOutcome> outcomes = aSession.ReadAll();
      TzTable table(aOptions.OutputFormat, TagColumns(aOptions.OutputFormat));
      for (const TzOutcome& outcome : outcomes)
        if (outcome.Tag) table.Add(TagRow(*outcome.Tag, aOptions.OutputFormat));
      table.Finish();
      return aSession.Report(outcomes);
    });
  }
};
}  // namespace

std::unique_ptr<TzCommand> MakeDumpCommand() { return std::make_unique<TzDumpCommand>(); }
