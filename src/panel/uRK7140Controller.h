// The controller of the RK-7140 control panel: the module's device model, the
// port engine of the current connection, the requests that wait for their
// answers, and the sequence connect -> identify -> first full reading -> poll.
//
// It owns no widgets. The frame TfrRK_7140 owns one, forwards its buttons and
// timers to it, and shows what the controller asks for through TzPanelView.
// Everything here runs on the user-interface thread; the port engine hands its
// answers over to that thread (ModbusAsyncAnswer).
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "uFreePort.h"
#include "uGlobals.h"
#include "uModbusPending.h"
#include "uOutputParams.h"
#include "uRK7140Device.h"
#include "uRegSink.h"
#include "uTempLog.h"

// Line settings chosen in the connection panel.
struct TzConnectSettings {
  int32_t ComPort = 0;       // the port list's number (0 for a network port)
  std::string Endpoint;      // what the engine opens; empty: the serial port of ComPort
  int32_t DevAddr = 16;
  int32_t BaudRate = 9600;
  int32_t FormatIndex = 0;  // 0 8N1, 1 8O1, 2 8E1, 3 8N2
  int32_t Timeout = 57;     // ms, already raised to the baud rate's minimum
};

// What the controller asks of the screen.
class TzPanelView {
public:
  virtual ~TzPanelView() = default;
  // Connecting animation on (connect button disabled) or off (enabled).
  virtual void Anima(bool aEnabled) = 0;
  virtual void SetConnectButtonEnabled(bool aEnabled) = 0;
  virtual void ShowFindDeviceIcon(bool aVisible) = 0;
  virtual void ShowFirstUpdatePicture(bool aVisible) = 0;
  virtual void CloseAllPanel() = 0;
  virtual void ButtonsEnabled(bool aEnabled) = 0;
  virtual void ClearLabels(const QString& aText) = 0;
  // Every lamp and relay off, the relay-logic captions hidden.
  virtual void SetIndicatorsOff() = 0;
  virtual void ShowFirmwareVersion(const QString& aText) = 0;
  // Shows output aIndex (1..6) in the outputs panel.
  virtual void ShowOutputInPanel(int aIndex) = 0;
  virtual void TryFindPanVisible() = 0;
  // The pulse counters of inputs 1.. as they arrived (at most twelve).
  virtual void ShowImpCounters(const std::vector<int32_t>& aCounters) = 0;
  // The polled answers stopped (the picture's values are stale) or came back.
  virtual void ShowLinkLost(bool /*aLost*/) {}
  // Output aIndex's parameters were read from the module again (DOUT(aIndex)).
  virtual void OutputParamsRead(int /*aIndex*/) {}
};

class TzRK7140Controller : public QObject, public TzRegSink, private TzModbusEvents {
  Q_OBJECT

public:
  using TzEngineFactory = std::function<std::unique_ptr<TzFreePort>(int32_t aComPort)>;

  static constexpr int32_t kDeviceTypeRK7140 = ::kDeviceTypeRK7140;
  static constexpr int kOprosInterval = 250;
  static constexpr int kConnectTimeout = 1000;
  // Polls (ticks of the poll timer) in a row without one good answer after
  // which the link counts as lost: two seconds of silence.
  static constexpr int kLinkLostPolls = 8;

  explicit TzRK7140Controller(TzPanelView& aView, QObject* aParent = nullptr);
  ~TzRK7140Controller() override;

  // Engines are made by this factory (tests give one with a fake line).
  void SetEngineFactory(TzEngineFactory aFactory) { fEngineFactory = std::move(aFactory); }

  // Watchers of the traffic, for diagnostics (the soak program counts with
  // them): every request the engine took, with the tag it reads or writes,
  // and every answer the engine hands back, before it is dispatched.
  std::function<void(uint32_t aUID, int32_t aTagID)> OnRequestQueued;
  std::function<void(uint32_t aUID, uint32_t aErrCode)> OnAnswerHandedBack;
  // Every answer of a request for a tag, after it was dispatched into the tag.
  std::function<void(uint32_t aUID, const TzTag& aTag, uint32_t aErrCode)> OnAnswerDispatched;

  // Creates the device and loads the register template into it; on success
  // adds the panel's own tags and sets force flags and priorities. On failure
  // writes the log line and returns false (the frame shows the message box).
  bool LoadDevice(const char* aResName = "XMLDATA");

  // Connect after the frame has checked the fields: new engine, line
  // settings, identification request.
  void Connect(const TzConnectSettings& aSettings);
  void Disconnect();
  // Sends the restart command and treats the module as gone: the panel goes
  // idle as on a disconnect, but the port engine keeps running so that the
  // queued command still goes out ("Подключиться" replaces the engine).
  // False, and nothing done, when not connected.
  bool RestartModule();
  // Every lamp and relay off and every tag at quality 0.
  void SetAllOff();
  // Reads output aOutput's (1..6) parameters from the module again; when the
  // answers are in, DOUT(aOutput) holds the good ones and the view hears of it
  // (OutputParamsRead). Nothing happens unless polling.
  void ReadOutputParamsAgain(int aOutput);
  // Switches relay output aOutput (1..6) from the picture; the module then
  // sets its duty factor, so its parameters are read again once the write
  // has been answered (a read still on the line would give the old ones).
  void SwitchOutput(int aOutput, bool aOn);
  // Closes the port of an idle engine (the bus search takes it over). Kept
  // open while connected, and while a request (the restart command) still
  // waits to go out.
  void ReleasePort();

  // Timer handlers (also called directly by tests).
  void OprosTimerTimer();
  void ConnectBtnTimerTimer();

  // Requests and answers.
  bool GetModbusRegRTU(TzTag* aTag);
  bool GetModbusRegRTU2(int32_t aID);
  void GetModbusListRTU2(std::initializer_list<int32_t> aIDs);
  bool SetModbusRegRTU(TzTag* aTag, double aValue);
  void SetRegByID(int32_t aID, double aValue, bool aForced) override;
  // A read or write of the tag aID queued as GetModbusRegRTU2 and SetRegByID
  // do it, giving the request's UID; false when nothing was queued.
  bool QueueRead(int32_t aID, uint32_t& aUID);
  bool QueueWrite(int32_t aID, double aValue, bool aForced, uint32_t& aUID);
  bool SetRegForce(int32_t aID, bool aForce);
  void SetRegForce(std::initializer_list<int32_t> aIDs, bool aForce);
  bool TryValueByID(int32_t aID, int32_t& aValue) const;
  bool TryValueByID(int32_t aID, double& aValue) const;
  void ModbusAsyncAnswer(int32_t aComPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErrCode);

  // State.
  bool Connected() const { return fConnected; }
  bool FirstUpdate() const { return fFirstUpdate; }
  int32_t DevAddr() const { return fDevAddr; }
  int32_t ComPort() const { return fComPort; }
  const std::string& Endpoint() const { return fEndpoint; }
  uint32_t OprosTick() const { return fOprosTick; }
  // The polled answers have stopped (kLinkLostPolls polls without a good one).
  bool LinkLost() const { return fLinkLost; }
  int SilentPolls() const { return fSilentPolls; }
  // Counts the connections: the port observers tell their UIDs apart by it.
  uint32_t ConnectionNumber() const { return fConnectionNumber; }
  TzDevice* Device() const { return fDevice.get(); }
  TzFreePort* FreePort() const { return fFreePort.get(); }
  TzTag* PulseTag() const { return fPulseTag; }
  size_t PendingCount() const { return fPending.Count(); }
  const std::vector<std::unique_ptr<TzModbusAnswer>>& ModbusAnswerList() const { return fPending.List(); }
  const std::array<int32_t, 10>& ModbusErrors() const { return fPending.Errors(); }  // slots 1..9
  // The counts as the log's counter block shows them.
  TzTempLogCounts TempLogCounts() const;
  TzDiscretOutParams& DOUT(int aIndex) { return fDOUTs.at(static_cast<size_t>(aIndex)); }  // 1..6
  const std::vector<int32_t>& ImpCounters() const { return fImpCounters; }
  QTimer& OprosTimer() { return fOprosTimer; }
  QTimer& ConnectBtnTimer() { return fConnectBtnTimer; }

  // Fast recording (the timeline): while on, the inputs' and relays' states
  // are read one after the other as fast as the line answers, instead of
  // once per poll tick. The rest of the schedule is
  // unchanged, and so is everything when it is off.
  void SetFastPoll(bool aOn) { fFastPoll = aOn; }
  bool FastPoll() const { return fFastPoll; }

  // Tag IDs polled every tick and every fourth tick.
  static constexpr std::array<int32_t, 2> kFastPoll = {kRelayStatesReg, kInputStatesReg};
  static constexpr std::array<int32_t, 6> kClockTags = {kClockFirstReg,     kClockFirstReg + 1, kClockFirstReg + 2,
                                                        kClockFirstReg + 3, kClockFirstReg + 4, kClockFirstReg + 5};

signals:
  // A read of the inputs' state (60070), the relays' state (60062) or the
  // pulse counters (160071) was answered, at the time it arrived: the state
  // bits (one value) or the counters, empty when the read failed.
  void PolledAnswer(int aTagID, const std::vector<int32_t>& aValues);
  // Every tag lost its value (disconnect, restart): nothing is known from now on.
  void ValuesLost();

private:
  // What the pending list reports: the log, the port observers, the hooks.
  void RequestSent(const TzTag& aTag, uint32_t aUID, int32_t aFunc, const TStringBytes& aFrame,
                   const std::string& aValueText) override;
  void RequestPending(uint32_t aUID, int32_t aTagID) override;
  void AnswerHandedBack(uint32_t aUID, uint32_t aErrCode) override;
  void UnknownAnswer(uint32_t aUID, const TStringBytes& aAnswer) override;
  void AnswerNote(int32_t aComPort, uint32_t aUID, const TStringBytes& aAnswer, const std::string& aNote) override;
  void AnswerChecked(const TzTag& aTag, bool aGood) override;
  void ReadingComplete(TzTag& aTag) override;
  void ExceptionCounted(int32_t aCode, int32_t aCount) override;
  void GatewayNoAnswer(const TzTag& aTag, uint8_t aCode) override;

  void HookPulseCounters();
  void Pulse();
  void PulseCallback(TzTag& aTag);
  void LetsDoIt();
  void AfterFirstUpdate();
  void ImpCounterCallback(TzTag& aTag);
  // Idle without stopping the engine (the restart).
  void GoIdleKeepingEngine();
  // The engine's link stopped working while connected: log why, disconnect.
  void EndLostLink();
  std::unique_ptr<TzFreePort> MakeEngine(int32_t aComPort, const std::string& aEndpoint);
  void ClearPending();
  // The one log line of a failed connection attempt, with its reason.
  void ReportConnectFailure(const QString& aReason);
  void SetLinkLost(bool aLost);
  // Back to a live link without a log line (connect, disconnect).
  void ResetLinkWatch();
  void OutputRereadAnswered(uint32_t aUID);
  // The tag a pending request of aUID reads when it is one PolledAnswer tells about.
  TzTag* WatchedTag(uint32_t aUID) const;
  void AfterWatchedAnswer(const TzTag& aTag);

  TzPanelView& fView;
  TzEngineFactory fEngineFactory;

  bool fConnected = false;
  bool fFirstUpdate = false;
  bool fFastPoll = false;
  int32_t fDevAddr = 0;
  int32_t fComPort = 0;
  std::string fEndpoint;
  bool fGatewayNoted = false;  // the gateway's "no answer" is said once per connection
  uint32_t fOprosTick = 0;
  uint32_t fConnectionNumber = 0;
  // The attempt's failure has been logged (one reason per attempt).
  bool fAttemptFailureLogged = false;
  bool fLinkLost = false;
  int fSilentPolls = 0;
  bool fGoodAnswerSinceTick = false;
  // UIDs of the reads of ReadOutputParamsAgain -> their output.
  std::map<uint32_t, int> fOutputRereads;
  // UIDs of relay switches -> the output to read again when answered.
  std::map<uint32_t, int> fRereadAfterSwitch;
  std::unique_ptr<TzDevice> fDevice;
  std::unique_ptr<TzDevice> fPulseDevice;
  TzTag* fPulseTag = nullptr;  // owned by fPulseDevice
  std::array<TzDiscretOutParams, 7> fDOUTs{};
  std::vector<int32_t> fImpCounters;

  TzModbusPending fPending{*this};

  QTimer fOprosTimer;
  QTimer fConnectBtnTimer;

  // Declared last: destroyed first, so no answer reaches a half-destroyed controller.
  std::unique_ptr<TzFreePort> fFreePort;
};
