// The listen-only tap: a further pseudo-terminal that carries a copy of
// everything on the module's line in both directions, as a third device on
// an RS-485 bus hears it. Bytes a listener writes into it go nowhere.
//
// The tap keeps no client descriptor of its own: while nobody listens the
// kernel drops what is carried, so a listener that joins hears only what
// the line carries from then on, as on a real bus.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class TzSimTap {
 public:
  TzSimTap() = default;
  TzSimTap(const TzSimTap&) = delete;
  TzSimTap& operator=(const TzSimTap&) = delete;
  ~TzSimTap() { Close(); }

  // Creates the pseudo-terminal with the listener's end raw. False and a
  // reason when the system refuses.
  bool Open(std::string& aError);
  void Close();
  bool IsOpen() const { return fMaster >= 0; }
  const std::string& Path() const { return fPath; }

  // Copies bytes of the line to the listener. With aBaudRate > 0 (the strict
  // line: the speed the bytes went at) only a listener set to that speed
  // gets them; a listener that does not keep up loses what does not fit.
  void Carry(std::span<const uint8_t> aBytes, int aBaudRate = 0);
  // Throws away what listeners wrote; call now and then.
  void Drain();

 private:
  int fMaster = -1;
  std::string fPath;
};
