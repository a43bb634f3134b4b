// Virtual devices on a pseudo-terminal of their own, served in a thread:
// what the panel's integration tests start in-process.
//
//   TzSimPtyModule sim({.DemoInputs = false});
//   if (!sim.Start()) ...;            // sim.Error() says why
//   open sim.Path() as the panel's port; sim.Module().SetInputs(0x0805); ...
//
// A bus of several devices, with a listen-only tap:
//
//   TzSimPtyBus bus;
//   bus.Bus().AddModule({.Address = 1});
//   bus.Bus().AddModule({.Address = 16});
//   bus.Bus().AddForeign({.Address = 20, .Type = 75});
//   bus.SetTap(true);
//   if (!bus.Start()) ...;            // clients open bus.Path(), listeners bus.TapPath()
#pragma once

#include <string>

#include "uSimBus.h"
#include "uSimModule.h"
#include "uSimSerial.h"
#include "uSimSlave.h"
#include "uSimTap.h"

class TzSimPtyBus {
 public:
  explicit TzSimPtyBus(TzSimSlave::TzLogFn aLog = nullptr) : fSlave(fBus, std::move(aLog)) {}
  TzSimPtyBus(const TzSimPtyBus&) = delete;
  TzSimPtyBus& operator=(const TzSimPtyBus&) = delete;
  ~TzSimPtyBus() { Stop(); }

  // Creates the pseudo-terminal (and the tap) and starts serving it; true
  // when already running. Add the devices before.
  bool Start();
  // Stops serving and closes the pseudo-terminals; Start may follow again.
  void Stop();
  // Leaves the client's end of the next pseudo-terminal in the kernel's
  // default terminal mode instead of raw (call before Start).
  void SetTtyDefaults(bool aDefaults) { fTtyDefaults = aDefaults; }
  // Gives the next Start a listen-only tap.
  void SetTap(bool aTap) { fWantTap = aTap; }
  // The pseudo-terminal a client opens; empty before Start.
  const std::string& Path() const { return fPty.SlavePath(); }
  // The tap's pseudo-terminal; empty without a tap.
  const std::string& TapPath() const { return fTap.Path(); }
  TzSimBus& Bus() { return fBus; }
  const std::string& Error() const { return fError; }

 private:
  TzSimBus fBus;
  TzSimPty fPty;
  TzSimTap fTap;
  TzSimSlave fSlave;
  std::string fError;
  bool fTtyDefaults = false;
  bool fWantTap = false;
};

// One module alone on its pseudo-terminal.
class TzSimPtyModule : public TzSimPtyBus {
 public:
  explicit TzSimPtyModule(const TzSimConfig& aConfig = {}, TzSimSlave::TzLogFn aLog = nullptr)
      : TzSimPtyBus(std::move(aLog)), fModule(Bus().AddModule(aConfig)) {}

  TzSimModule& Module() { return fModule; }

 private:
  TzSimModule& fModule;
};
