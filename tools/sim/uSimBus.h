// The virtual bus: several devices on one line, each at its own address with
// its own state: modules of this model and foreign devices. Every device hears
// every frame; only the addressed one answers, broadcast writes reach all
// modules, and nobody answers an address no device has.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "uSimForeign.h"
#include "uSimModule.h"
#include "uSimSerial.h"

struct TzSimBusAnswer {
  std::vector<uint8_t> Bytes;
  int64_t DelayUs = 0;  // from hearing the request to sending the answer
  int BaudRate = 0;     // the speed the answering device sends at
};

struct TzSimBusResult {
  std::vector<std::string> Notes;  // for the log: what each device did
  std::vector<TzSimBusAnswer> Answers;
};

class TzSimBus {
 public:
  TzSimBus() = default;
  TzSimBus(const TzSimBus&) = delete;
  TzSimBus& operator=(const TzSimBus&) = delete;

  // Devices join before the bus is served; the references stay valid as
  // long as the bus lives.
  TzSimModule& AddModule(const TzSimConfig& aConfig, TzSimTimeSource aTime = SimSystemTime);
  TzSimForeign& AddForeign(const TzSimForeignConfig& aConfig);

  size_t ModuleCount() const { return fModules.size(); }
  TzSimModule& Module(size_t aIndex) { return *fModules.at(aIndex); }
  size_t ForeignCount() const { return fForeign.size(); }
  TzSimForeign& Foreign(size_t aIndex) { return *fForeign.at(aIndex); }
  // The device at aAddress now (a restarted module at its new one); nullptr
  // when there is none.
  TzSimModule* ModuleAt(int aAddress);
  TzSimForeign* ForeignAt(int aAddress);

  // One frame from the line. With aClient (the strict line) a device hears
  // it only when the client's speed and stop bits are its own, as a wrong
  // setting gives a real receiver nothing but garbage.
  TzSimBusResult HandleFrame(std::span<const uint8_t> aFrame, const TzSimTermLine* aClient = nullptr);
  // Lets the modules' time-driven behaviour catch up.
  void Tick();

  // Answers only to a client whose end is set to the device's speed and
  // stop bits (the server of the line reads the client's settings).
  void SetStrictLine(bool aOn) { fStrictLine = aOn; }
  bool StrictLine() const { return fStrictLine; }
  // Answers delayed by the request's and the answer's time on a real line.
  void SetWireTiming(bool aOn) { fWireTiming = aOn; }
  bool WireTiming() const { return fWireTiming; }

  // One line per device ("module: ..." / "foreign: ..."), then the line's modes.
  std::string Describe() const;

 private:
  // Hands the frame to one addressed device (aHandle) unless the strict
  // line keeps it from hearing it, and times its answer.
  void Serve(const TzSimLine& aLine, std::span<const uint8_t> aFrame, const TzSimTermLine* aClient,
             const std::function<TzSimReply()>& aHandle, TzSimBusResult& aResult) const;

  std::vector<std::unique_ptr<TzSimModule>> fModules;
  std::vector<std::unique_ptr<TzSimForeign>> fForeign;
  std::atomic<bool> fStrictLine{false};
  std::atomic<bool> fWireTiming{false};
};
