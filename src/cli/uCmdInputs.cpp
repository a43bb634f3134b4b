// inputs: the twelve discrete inputs (state, filter type, pulse counter);
// --filter and --reset-counter write as the panel's filter and counter panels do.
#include "uCliCommand.h"
#include "uCliExit.h"
#include "uInputConfig.h"

namespace {
class TzInputsCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* c = aApp.add_subcommand(
        "inputs", "show the inputs' state, contact-bounce filter and pulse counter; --filter N=short|long sets a "
                  "filter, --reset-counter N resets a counter (filters first, each in the order given)");
    c->add_option("--filter", fFilters, "N=short (pulses over 0.375 ms) or N=long (over 5.5 ms), N 1..12");
    c->add_option("--reset-counter", fResets, "input 1..12 whose pulse counter is reset")->check(CLI::Range(1, kInputCount));
    return c;
  }

  int Run(const TzCommonOptions& aOptions) override {
    std::vector<std::pair<int, int32_t>> filters;
    for (const std::string& text : fFilters) {
      const auto eq = text.find('=');
      const std::string kind = eq == std::string::npos ? "" : text.substr(eq + 1);
      int input = 0;
      try {
        input = std::stoi(text.substr(0, eq));
      } catch (...) {
        input = 0;
      }
      if (input < 1 || input > kInputCount || (kind != "short" && kind != "long")) {
        ReportError("--filter " + text + ": expected N=short or N=long with N 1..12");
        return exUsage;
      }
      filters.emplace_back(input, kind == "long" ? ftLong : ftShort);
    }
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (!filters.empty() || !fResets.empty()) {
        if (const int code = aSession.Identify(); code != exOk) return code;
        for (const auto& [input, type] : filters) WriteFilterType(aSession, input, type);
        for (const int input : fResets) ResetPulseCounter(aSession, input);
        if (const int code = aSession.Report(aSession.WaitWrites()); code != exOk) return code;
      }
      TzDevice& device = aSession.Device();
      TzTag* states = device.GetTagByID(60070);
      TzTag* types = device.GetTagByID(kFilterTypesReg);
      TzTag* counters = device.GetTagByID(kPulseCountersTag);
      const std::vector<TzOutcome> outcomes = aSession.Read({states, types, counters});
      const bool statesGood = outcomes[0].Code == exOk, typesGood = outcomes[1].Code == exOk;
      const std::vector<int32_t> counts =
          outcomes[2].Code == exOk ? PulseCountersFromBytes(counters->Data) : std::vector<int32_t>{};
      TzTable table(aOptions.OutputFormat, {"input", "state", "filter", "counter"});
      for (int n = 1; n <= kInputCount; ++n) {
        const int i = n - 1;
        nlohmann::json filter;
        if (typesGood && i < kReportedFilterInputs)
          filter = FilterTypeOfInput(static_cast<int32_t>(types->Value()), i) == ftLong ? "long" : "short";
        table.Add({n, statesGood ? nlohmann::json((static_cast<int32_t>(states->Value()) >> i) & 1) : nlohmann::json(),
                   filter, i < static_cast<int>(counts.size()) ? nlohmann::json(counts[static_cast<size_t>(i)]) : nlohmann::json()});
      }
      table.Finish();
      return aSession.Report(outcomes);
    });
  }

private:
  std::vector<std::string> fFilters;
  std::vector<int> fResets;
};
}  // namespace

std::unique_ptr<TzCommand> MakeInputsCommand() { return std::make_unique<TzInputsCommand>(); }
