// scan [--all-settings] [--from A --to B]: the panel's bus search, one pass
// (the same probe and verdict), under the common line settings or under
// every baud rate and format. One row per device found.
#include <unistd.h>

#include <chrono>
#include <cmath>

#include "uBusSearch.h"
#include "uCliCommand.h"
#include "uCliExit.h"
#include "uCliPump.h"
#include "uCliStop.h"
#include "uEndpoint.h"
#include "uLineRules.h"

namespace {

struct TzScanSetting {
  int32_t BaudRate;
  int32_t Format;   // index in kLineFormatNames
  int32_t Timeout;  // ms

  std::string Text() const {
    return std::to_string(BaudRate) + " " + std::string(kLineFormatNames[static_cast<size_t>(Format)]);
  }
  // What one probe costs at least: the time-out, the engine's 10 ms pause
  // and the 8-byte request on the line (10 bits a character, 11 with
  // parity or a second stop bit).
  double ProbeMs() const {
    const int bits = Format == 0 ? 10 : 11;
    return Timeout + 10.0 + 8.0 * bits * 1000.0 / BaudRate;
  }
};

// The progress line on a terminal: rewritten in place, cleared at the end.
class TzScanProgress {
public:
  TzScanProgress() : fShown(::isatty(STDERR_FILENO) == 1) {}
  ~TzScanProgress() { Clear(); }
  void Show(int32_t aAddr, const std::string& aSetting, double aLeftMs) {
    if (!fShown) return;
    std::fprintf(stderr, "\r\033[K[%d] %s, about %.0f s left", aAddr, aSetting.c_str(), std::ceil(aLeftMs / 1000.0));
    std::fflush(stderr);
  }
  void Clear() {
    if (!fShown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
  }

private:
  bool fShown;
};

class TzScanCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* c = aApp.add_subcommand(
        "scan", "the panel's bus search, one pass: ask every address of the range for its device type and print "
                "one row per device that answered (address, baud rate, format, RK-7140 or Unknown). Exits 0 also "
                "when nothing answered (a note on stderr)");
    c->add_flag("--all-settings", fAllSettings,
                "try every baud rate and format (8N1 8O1 8E1 8N2), each with the baud rate's minimum time-out "
                "(--baud, --format and --timeout are not used); settings the port refuses are skipped with a note");
    c->add_option("--from", fFrom, "the first address asked")->check(CLI::Range(1, 247))->capture_default_str();
    c->add_option("--to", fTo, "the last address asked")->check(CLI::Range(1, 247))->capture_default_str();
    return c;
  }

  int Run(const TzCommonOptions& aOptions) override {
    if (fFrom > fTo) {
      ReportError("--from " + std::to_string(fFrom) + " is above --to " + std::to_string(fTo));
      return exUsage;
    }
    CatchStopSignals();
    const std::vector<TzScanSetting> settings = Settings(aOptions);
    const int32_t count = fTo - fFrom + 1;
    double leftMs = 0;
    for (const TzScanSetting& s : settings) leftMs += count * s.ProbeMs();
    std::fprintf(stderr, "rk7140ctl: scan of addresses %d..%d under %zu setting(s) on %s, estimated %.1f s\n", fFrom,
                 fTo, settings.size(), aOptions.Port.c_str(), leftMs / 1000.0);

    // JSON is one array at the end; text and CSV rows come as devices answer.
    TzTable table(aOptions.OutputFormat, {"address", "baud", "format", "device"},
                  aOptions.OutputFormat != TzOutputFormat::Json);
    TzScanProgress progress;
    TzCliPump pump;
    TzBusSearch search;
    search.SetEndpoint(aOptions.Endpoint);
    search.SetRange(fFrom, fTo);
    search.SetMainThreadPost(pump.Poster());
    search.Cycled = false;
    int found = 0;
    for (const TzScanSetting& setting : settings) {
      if (StopRequested()) break;
      const double settingMs = count * setting.ProbeMs();
      search.SetBaudRate(setting.BaudRate);
      search.SetFormat(setting.Format);
      search.SetTimeout(setting.Timeout);
      search.OnFindProcess = [&](int32_t aAddr) {
        progress.Show(aAddr, setting.Text(), leftMs - (aAddr - fFrom + 1) * setting.ProbeMs());
      };
      search.OnFindAddr = [&](int32_t aAddr, const TStringBytes& aAnswer) {
        const TzFindVerdict verdict = ClassifyFindAnswer(aAddr, aAnswer.AsBytes());
        if (verdict == TzFindVerdict::Nothing) return;
        progress.Clear();
        table.Add({aAddr, setting.BaudRate, std::string(kLineFormatNames[static_cast<size_t>(setting.Format)]),
                   verdict == TzFindVerdict::RK7140 ? "RK-7140" : "Unknown"});
        ++found;
      };
      if (!search.Start()) {
        progress.Clear();
        if (search.StartError() == kOpenSetState && fAllSettings) {
          std::fprintf(stderr, "rk7140ctl: skipped %s: the port refuses it\n", setting.Text().c_str());
          leftMs -= settingMs;
          continue;
        }
        ReportError(search.StartError() == kOpenSetState
                        ? "port " + aOptions.Port + " refuses the settings " + setting.Text()
                        : "port " + aOptions.Port + " cannot be opened: " +
                              LinkErrorText(search.StartLinkError(), {}, TzTextLanguage::English));
        return exPort;
      }
      // Every probe ends by its time-out; the guard only catches an engine
      // that stopped answering.
      const auto guard = std::chrono::milliseconds(static_cast<int64_t>(settingMs * 3) + 10000);
      const bool ended = pump.RunUntil([&] { return !search.InFindProgress() || StopRequested(); }, guard);
      search.Stop();
      if (!ended) {
        progress.Clear();
        ReportError("the search on " + aOptions.Port + " under " + setting.Text() + " did not end");
        return exNoAnswer;
      }
      leftMs -= settingMs;
    }
    progress.Clear();
    if (found == 0 && !StopRequested())
      std::fprintf(stderr, "rk7140ctl: nothing answered on %s at addresses %d..%d\n", aOptions.Port.c_str(), fFrom, fTo);
    return exOk;
  }

private:
  std::vector<TzScanSetting> Settings(const TzCommonOptions& aOptions) const {
    if (!fAllSettings) return {{aOptions.BaudRate, aOptions.FormatIndex, aOptions.Timeout}};
    // Only a local port and an RFC 2217 server let the far line be set;
    // a raw TCP device server and a Modbus TCP gateway keep their own.
    const auto endpoint = ParseEndpoint(aOptions.Endpoint);
    if (endpoint && (endpoint->Kind == TzLinkKind::Tcp || endpoint->Kind == TzLinkKind::ModbusTcp)) {
      std::fprintf(stderr,
                   "rk7140ctl: %s cannot change the far line's settings: --all-settings scans only %s\n",
                   aOptions.Port.c_str(), TzScanSetting{aOptions.BaudRate, aOptions.FormatIndex, 0}.Text().c_str());
      return {{aOptions.BaudRate, aOptions.FormatIndex, aOptions.Timeout}};
    }
    std::vector<TzScanSetting> settings;
    for (const int32_t baud : kLineBaudRates)
      for (int32_t format = 0; format < static_cast<int32_t>(kLineFormatNames.size()); ++format)
        settings.push_back({baud, format, GetTimeout(baud)});
    return settings;
  }

  bool fAllSettings = false;
  int fFrom = kFindFirstAddr;
  int fTo = kFindLastAddr;
};
}  // namespace

std::unique_ptr<TzCommand> MakeScanCommand() { return std::make_unique<TzScanCommand>(); }
