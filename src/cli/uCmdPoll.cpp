// poll TAG...: value logging, one row per round with an ISO-8601 time stamp,
// until interrupted or --count rounds; a lost answer leaves its field empty.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uCliStop.h"
#include "uCliTagText.h"

namespace {
class TzPollCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* command = aApp.add_subcommand(
        "poll", "log tag values: one row per round (time, then one field per tag) until interrupted or --count "
                "rounds; a lost answer leaves an empty field (JSON: one object per line)");
    command->add_option("tags", fNames, "template IDs or names")->required();
    command->add_option("--interval", fInterval, "ms from the start of one round to the next")
        ->check(CLI::Range(0, 86400000))
        ->capture_default_str();
    command->add_option("--count", fCount, "rounds, 0 for until interrupted")->check(CLI::Range(0, 1 << 30))->capture_default_str();
    return command;
  }
  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      std::vector<TzTag*> tags;
      if (!FindTags(aSession.Device(), fNames, tags)) return static_cast<int>(exUsage);
      std::vector<std::string> columns = {"time"};
      for (const TzTag* tag : tags) columns.push_back(std::to_string(tag->ID));
      TzTable table(aOptions.OutputFormat, columns, true);
      CatchStopSignals();
      int first = exOk;
      auto next = std::chrono::steady_clock::now();
      for (int round = 0; (fCount == 0 || round < fCount) && !StopRequested(); ++round) {
        std::vector<nlohmann::json> row = {IsoTimestamp()};
        const std::vector<TzOutcome> outcomes = aSession.Read(tags);
        for (size_t i = 0; i < tags.size(); ++i)
          row.push_back(outcomes[i].Code == exOk ? TagNumber(*tags[i]) : nlohmann::json());
        table.Add(row);
        NoteFailure(first, aSession.Report(outcomes));
        if (std::any_of(outcomes.begin(), outcomes.end(), [](const TzOutcome& o) { return o.Code == exPort; }))
          Reconnect(aSession);
        next += std::chrono::milliseconds(fInterval);
        if (fCount != 0 && round + 1 >= fCount) break;
        while (std::chrono::steady_clock::now() < next && !StopRequested())
          std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
              next - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
      }
      return first;
    });
  }

private:
  // The port stopped working: try it again every second until it opens
  // (or the tool is stopped), then poll on.
  static void Reconnect(TzCliSession& aSession) {
    std::fprintf(stderr, "rk7140ctl: %s lost, reconnecting\n", aSession.PortName().c_str());
    while (!StopRequested()) {
      if (aSession.Reopen()) {
        std::fprintf(stderr, "rk7140ctl: %s is back, polling on\n", aSession.PortName().c_str());
        return;
      }
      for (int i = 0; i < 20 && !StopRequested(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  std::vector<std::string> fNames;
  int fInterval = 1000;
  int fCount = 0;
};
}  // namespace

std::unique_ptr<TzCommand> MakePollCommand() { return std::make_unique<TzPollCommand>(); }
