// The virtual bus served over the network as well as on its line: Modbus RTU
// frames over a TCP socket (what a serial device server in raw mode passes
// on), or Modbus TCP (what a gateway in front of the line speaks). One client
// at a time, one after another; a client that leaves leaves the server
// listening. Answers keep the bus's timing (fault delays, wire timing).
//
// Over Modbus TCP the server acts as the gateway: a request to a unit no
// device answers (or whose answer arrives spoilt) gets exception 0x0B,
// "gateway target device failed to respond".
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "uSimBus.h"

enum class TzSimNetKind : uint8_t { RtuOverTcp, ModbusTcp };

struct TzSimListenAddress {
  TzSimNetKind Kind = TzSimNetKind::RtuOverTcp;
  std::string Host;   // a name or address to bind ("127.0.0.1", "::1", "0.0.0.0")
  uint16_t Port = 0;  // 0: the system picks a free port
};

// "tcp://HOST:PORT" or "modbus-tcp://HOST:PORT" ("[v6]:PORT" for IPv6, PORT
// 0..65535); false for anything else.
bool ParseSimListen(const std::string& aText, TzSimListenAddress& aAddress);

class TzSimNetServer {
 public:
  using TzLogFn = std::function<void(const std::string&)>;

  explicit TzSimNetServer(TzSimBus& aBus, TzLogFn aLog = nullptr) : fBus(aBus), fLog(std::move(aLog)) {}
  TzSimNetServer(const TzSimNetServer&) = delete;
  TzSimNetServer& operator=(const TzSimNetServer&) = delete;
  ~TzSimNetServer() { Stop(); }

  // Binds and listens; false with a reason.
  bool Listen(const TzSimListenAddress& aAddress, std::string& aError);
  // What a client connects to, with the port the system chose:
  // "tcp://127.0.0.1:40123".
  std::string Endpoint() const;
  uint16_t Port() const { return fPort; }
  // Serves in a thread of its own until Stop.
  bool Start();
  void Stop();

 private:
  void Run();
  void ServeRtu(int aClient);
  void ServeModbusTcp(int aClient);
  // The bus's answer to one RTU frame, sent when its time has come; false
  // when asked to stop. Empty aAnswer: nobody answered.
  bool Answer(const std::vector<uint8_t>& aFrame, std::vector<uint8_t>& aAnswer);
  bool WaitUntilOrStop(int64_t aSteadyUs);
  bool Send(int aClient, const std::vector<uint8_t>& aBytes);
  void Log(const std::string& aLine) const;

  TzSimBus& fBus;
  const TzLogFn fLog;
  TzSimListenAddress fAddress;
  int fListen = -1;
  uint16_t fPort = 0;
  int fWake[2] = {-1, -1};
  std::thread fThread;
  std::atomic<bool> fStop{false};
};
