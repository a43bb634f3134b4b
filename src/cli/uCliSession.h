// One connection of rk7140ctl to a module: the port engine with the tool's
// pump and completion rule, the module's device made from the template, and
// the pending requests shared with the panel. Requests go out through the
// same code the panel uses; each answer's outcome becomes an exit code.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "uCliOptions.h"
#include "uCliPump.h"
#include "uFreePort.h"
#include "uGlobals.h"
#include "uModbusPending.h"
#include "uRegSink.h"

// What became of one request.
struct TzOutcome {
  TzTag* Tag = nullptr;
  int Code = -1;        // a TzExit; -1 while unanswered
  std::string Message;  // why it failed
};

class TzCliSession : public TzRegSink, private TzModbusEvents {
public:
  explicit TzCliSession(const TzCommonOptions& aOptions);
  ~TzCliSession() override;

  // Loads the device and opens the port; exOk, or the exit code (reported).
  int Open();
  // Opens the port again after it stopped working (a device server
  // restarted, an adapter back); true when it is open.
  bool Reopen();
  // The endpoint's text for messages.
  const std::string& PortName() const { return fOptions.Port; }

  TzDevice& Device() { return *fDevice; }
  const TzCommonOptions& Options() const { return fOptions; }

  // Reads the tags (each once, in order) and waits for every answer.
  std::vector<TzOutcome> Read(const std::vector<TzTag*>& aTags);
  // The panel's first full reading: every readable tag once; the outcomes in
  // template order.
  std::vector<TzOutcome> ReadAll();
  // Asks the device type as the panel does; exOk when it is an RK-7140, else
  // the code (reported). aType gets the type read, if any.
  int Identify(double* aType = nullptr);

  // Queues a write as the panel's feature operations do (TzRegSink).
  void SetRegByID(int32_t aID, double aValue, bool aForced) override;
  // Queues a write of one tag.
  bool Write(TzTag& aTag, double aValue);
  // Waits for the answers of the writes queued since the last call.
  std::vector<TzOutcome> WaitWrites();

  // The first failure's code among aOutcomes, each failure reported on stderr.
  int Report(const std::vector<TzOutcome>& aOutcomes) const;

private:
  void Answer(int32_t aComPort, uint32_t aUID, const TStringBytes& aAnswer, uint32_t aErrCode);
  std::vector<TzOutcome> WaitFor(const std::vector<uint32_t>& aUIDs);
  std::string Where() const;

  TzCommonOptions fOptions;
  std::unique_ptr<TzDevice> fDevice;
  TzCliPump fPump;
  TzModbusPending fPending{*this};
  std::map<uint32_t, TzOutcome> fOutcomes;
  std::vector<uint32_t> fWrites;
  std::vector<TzOutcome> fRefusedWrites;
  std::unique_ptr<TzFreePort> fEngine;  // declared last: ends first
};
