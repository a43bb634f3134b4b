// sniff [--detect]: listens only, never transmits. Prints every frame heard
// on the line; with --detect finds the line's settings from the traffic.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uCliStop.h"
#include "uLineRules.h"
#include "uLink.h"
#include "uSniffFrames.h"
#include "uUtils.h"

namespace {

TzLink* gListening = nullptr;  // for the stop signal
void InterruptListening() {
  if (gListening) gListening->Interrupt();
}

int BitsPerChar(int32_t aFormatIndex) {
  const TzRtuFormat* format = RtuFormat(aFormatIndex);
  return format ? RtuBitsPerChar(*format) : 11;
}

std::string Hex(const std::vector<uint8_t>& aBytes) {
  std::string text;
  char byte[4];
  for (const uint8_t b : aBytes) {
    std::snprintf(byte, sizeof byte, "%02X", b);
    text += (text.empty() ? "" : " ") + std::string(byte);
  }
  return text;
}

// A listening port: opened, set to one baud rate and format, reads ended by
// the frame gap and (when aTotalMs > 0) by a total time.
class TzListener {
public:
  explicit TzListener(std::string aPort) : fPort(std::move(aPort)), fBackend(MakeLink(fPort)) { gListening = fBackend.get(); }
  ~TzListener() {
    gListening = nullptr;
    fBackend->Close();
  }

  // exOk, exPort when the port does not open, -1 when it refuses the settings.
  int Set(int32_t aBaudRate, int32_t aFormatIndex, uint32_t aTotalMs) {
    fBackend->Close();
    if (!fBackend->Open(fPort)) return exPort;
    TzPlatformDCB record{};
    if (!fBackend->GetSettings(record)) return exPort;
    TzDCB dcb;
    dcb.BaudRate = aBaudRate;
    SetDcbFormat(dcb, aFormatIndex);
    dcb.AssignTo(record);
    if (!fBackend->SetSettings(record)) return -1;
    fGap = static_cast<uint32_t>(FrameGapMs(aBaudRate, BitsPerChar(aFormatIndex)));
    if (!SetTotal(aTotalMs)) return exPort;
    fBackend->Purge();
    return exOk;
  }

  // Reads end by the frame gap, and after aTotalMs (0: no limit).
  bool SetTotal(uint32_t aTotalMs) {
    TzPlatformTimeouts timeouts{};
    timeouts.ReadIntervalTimeout = fGap;
    timeouts.ReadTotalTimeoutConstant = aTotalMs;
    return fBackend->SetTimeouts(timeouts);
  }

  // One chunk up to a silence; false when the read failed (interrupted, port gone).
  bool Read(std::vector<uint8_t>& aChunk) {
    uint8_t buffer[256];
    size_t got = 0;
    const bool ok = fBackend->Read(buffer, sizeof buffer, got);
    aChunk.assign(buffer, buffer + got);
    return ok;
  }

  TzLink& Backend() { return *fBackend; }

private:
  std::string fPort;
  uint32_t fGap = 2;
  std::unique_ptr<TzLink> fBackend;
};

class TzSniffCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* c = aApp.add_subcommand(
        "sniff", "listen only, never transmit: print every frame heard (time, direction guessed, address, function, "
                 "register, quantity or values, check sum, bytes). Frames end at the 3.5-character silence. "
                 "--detect finds the line's settings from the traffic instead");
    c->add_flag("--detect", fDetect,
                "cycle through the baud rates and formats, dwell on each until --frames frames were heard or --dwell "
                "passed, and report the settings under which frames with valid check sums were heard");
    c->add_option("--count", fCount, "stop after this many frames (0: until interrupted)")->check(CLI::Range(0, 1 << 30));
    c->add_option("--seconds", fSeconds, "stop after this many seconds (0: until interrupted)")->check(CLI::Range(0, 1 << 30));
    c->add_option("--dwell", fDwell, "--detect: ms to listen under each setting")->check(CLI::Range(50, 600000))->capture_default_str();
    c->add_option("--frames", fFrames, "--detect: valid frames that end the dwell early")->check(CLI::Range(1, 1000))->capture_default_str();
    return c;
  }

  int Run(const TzCommonOptions& aOptions) override {
    CatchStopSignals(InterruptListening);
    return fDetect ? Detect(aOptions) : Listen(aOptions);
  }

private:
  int Listen(const TzCommonOptions& aOptions) {
    TzListener listener(aOptions.Endpoint);
    const int set = listener.Set(aOptions.BaudRate, aOptions.FormatIndex, 0);
    if (set != exOk) {
      ReportError("port " + aOptions.Port + (set == exPort ? " cannot be opened" : " refuses the settings " +
                                                                                    std::to_string(aOptions.BaudRate) + " " + aOptions.Format));
      return exPort;
    }
    // --seconds: a timer ends the read in progress.
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread timer;
    if (fSeconds > 0) {
      timer = std::thread([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(fSeconds), [&] { return done; })) listener.Backend().Interrupt();
      });
    }
    TzTable table(aOptions.OutputFormat, {"time", "direction", "address", "function", "register", "data", "crc", "bytes"}, true);
    TzSniffDescriber describer;
    int frames = 0;
    std::vector<uint8_t> chunk;
    while (!StopRequested() && (fCount == 0 || frames < fCount) && listener.Read(chunk)) {
      const std::string time = IsoTimestamp();
      for (const auto& bytes : SplitFrames(chunk)) {
        const TzSniffFrame f = describer.Describe(bytes);
        table.Add({time, f.Direction, f.Address, f.Function, f.Register ? nlohmann::json(*f.Register) : nlohmann::json(),
                   f.Data, f.CrcOk ? "ok" : "bad", Hex(f.Bytes)});
        if (fCount != 0 && ++frames >= fCount) break;
      }
    }
    {
      std::lock_guard lock(m);
      done = true;
    }
    cv.notify_all();
    if (timer.joinable()) timer.join();
    return exOk;
  }

  int Detect(const TzCommonOptions& aOptions) {
    struct TzHeard {
      int32_t Baud;
      int32_t Format;
      int Valid;
    };
    std::vector<TzHeard> heard;
    TzListener listener(aOptions.Endpoint);
    for (const int32_t baud : kLineBaudRates) {
      for (int32_t format = 0; format < static_cast<int32_t>(kLineFormatNames.size()) && !StopRequested(); ++format) {
        const std::string setting = std::to_string(baud) + " " + std::string(kLineFormatNames[static_cast<size_t>(format)]);
        const int set = listener.Set(baud, format, static_cast<uint32_t>(fDwell));
        if (set == exPort) {
          ReportError("port " + aOptions.Port + " cannot be opened");
          return exPort;
        }
        if (set != exOk) {
          std::fprintf(stderr, "rk7140ctl: skipped %s: the port refuses it\n", setting.c_str());
          continue;
        }
        int valid = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(fDwell);
        std::vector<uint8_t> chunk;
        while (valid < fFrames && !StopRequested()) {
          const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
          if (left.count() <= 0 || !listener.SetTotal(static_cast<uint32_t>(left.count())) || !listener.Read(chunk)) break;
          for (const auto& frame : SplitFrames(chunk))
            if (frame.size() >= 4 && ModbusCRC(frame) == 0) ++valid;
        }
        if (valid > 0) heard.push_back({baud, format, valid});
      }
    }
    if (StopRequested()) return exOk;
    std::stable_sort(heard.begin(), heard.end(), [](const TzHeard& a, const TzHeard& b) { return a.Valid > b.Valid; });
    if (heard.empty()) {
      ReportError("no frames with valid check sums heard on " + aOptions.Port + " under any setting");
      return exNoAnswer;
    }
    TzTable table(aOptions.OutputFormat, {"baud", "format", "frames"});
    for (const TzHeard& h : heard) table.Add({h.Baud, std::string(kLineFormatNames[static_cast<size_t>(h.Format)]), h.Valid});
    return exOk;
  }

  bool fDetect = false;
  int fCount = 0;
  int fSeconds = 0;
  int fDwell = 2000;
  int fFrames = 3;
};
}  // namespace

std::unique_ptr<TzCommand> MakeSniffCommand() { return std::make_unique<TzSniffCommand>(); }
