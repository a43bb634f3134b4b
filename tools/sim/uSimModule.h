// The virtual RK-7140 module: its registers, its behaviour over time and the
// answer it gives to each request frame. Thread-safe: the slave thread feeds
// frames while tests and the control channel change inputs and faults.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "uSimClock.h"
#include "uSimFaults.h"
#include "uSimOutput.h"
#include "uRtuLine.h"

// Codes of the module's RS-485 settings (registers 28672 and 28673).
// The list is the panel's (uRtuLine.h in core).
inline constexpr const std::array<int32_t, 10>& kSimBaudRates = kRtuBaudRates;
// Baud code of a baud rate of the list; -1 when it is not in the list.
int SimBaudCode(int aBaudRate);
// Format codes 4..7: RTU 8N1, 8O1, 8E1, 8N2. Parity 'N', 'O' or 'E'.
struct TzSimFormat {
  char Parity;
  int StopBits;
};
TzSimFormat SimFormat(int aFormatCode);
// "8N1" -> 4 ... "8N2" -> 7; -1 for anything else.
int SimFormatCode(const std::string& aText);
std::string SimFormatText(int aFormatCode);

struct TzSimConfig {
  int Address = 16;
  int BaudCode = 3;    // 9600
  int FormatCode = 4;  // RTU 8N1
  int NetTimeout = 0;  // seconds; 0: no emergency mode
  int DeviceType = 74;
  int HardwareVersion = 3;
  std::array<uint16_t, 3> Identifier = {0x0012, 0x3456, 0x789A};
  int FirmwareVersion = 105;
  bool DemoInputs = true;  // inputs walk in a slow visible pattern
  uint16_t Inputs = 0;     // the inputs when the demo pattern is off
};

// The line settings in effect: those stored last before the latest restart.
struct TzSimLine {
  int Address;
  int BaudCode;
  int FormatCode;
};

// Steady milliseconds (behaviour) and the PC's local civil seconds (clock).
struct TzSimTime {
  int64_t SteadyMs;
  int64_t LocalSec;
};
using TzSimTimeSource = std::function<TzSimTime()>;
TzSimTime SimSystemTime();

struct TzSimReply {
  std::vector<uint8_t> Bytes;  // the answer to send; empty: none
  int DelayMs = 0;             // send it this much later
  std::string Note;            // for the log: what happened
};

class TzSimModule {
 public:
  explicit TzSimModule(const TzSimConfig& aConfig = {}, TzSimTimeSource aTime = SimSystemTime);

  // One received frame, address to check sum.
  TzSimReply HandleFrame(std::span<const uint8_t> aFrame);
  // Lets time-driven behaviour (demo inputs, restart, emergency) catch up.
  void Tick();

  // Inputs 1..12 as bits 0..11; setting them stops the demo pattern.
  void SetInputs(uint16_t aMask);
  void SetInput(int aInput, bool aOn);
  void SetDemoInputs(bool aOn);
  void SetDeviceType(int aType);
  void SetSupply(double aU1, double aU2);
  void SetFaults(const TzSimFaultSettings& aFaults);

  TzSimFaultSettings Faults() const;
  uint16_t Inputs() const;
  uint16_t Relays() const;  // bit n-1: relay of output n
  uint16_t Counter(int aInput) const;
  TzSimLine Line() const;
  // Grows by one whenever a restart puts new line settings in effect.
  uint32_t LineGeneration() const;
  bool Restarting() const;
  std::string Status() const;

 private:
  class TzAccess;
  friend class TzAccess;

  struct TzState {
    std::array<TzSimOutput, 6> Outputs{};
    uint16_t Inputs = 0;
    std::array<uint16_t, 12> Counters{};
    uint16_t FilterTypes = 0;
    int StoredBaud = 3, StoredFormat = 4, StoredAddress = 16, StoredNetTimeout = 0;
    TzSimLine Line{16, 3, 4};
    int NetTimeout = 0;
    uint32_t LineGeneration = 0;
    TzSimClock Clock;
    int DeviceType = 74;
    double Supply[2] = {24.1, 23.9};
    bool Emergency = false;
    int64_t LastRequestAt = 0;
    bool Restarting = false;
    int64_t RestartDoneAt = 0;
    bool Demo = false;
    int64_t DemoEpoch = 0;
    int64_t DemoStep = 0;
  };

  void Advance(const TzSimTime& aNow);
  void ApplyInputs(uint16_t aMask, int64_t aAt);
  void FinishRestart(int64_t aAt);
  uint16_t RelayBits(int64_t aNow) const;

  const TzSimConfig fConfig;
  const TzSimTimeSource fTime;
  mutable std::mutex fLock;
  TzState fState;
  TzSimFaults fFaults;
};
