// A virtual module on a pseudo-terminal of its own, served in a thread: what
// the panel's integration tests start in-process.
//
//   TzSimPtyModule sim({.DemoInputs = false});
//   if (!sim.Start()) ...;            // sim.Error() says why
//   open sim.Path() as the panel's port; sim.Module().SetInputs(0x0805); ...
#pragma once

#include <string>

#include "uSimModule.h"
#include "uSimSerial.h"
#include "uSimSlave.h"

class TzSimPtyModule {
 public:
  explicit TzSimPtyModule(const TzSimConfig& aConfig = {}, TzSimSlave::TzLogFn aLog = nullptr)
      : fModule(aConfig), fSlave(fModule, std::move(aLog)) {}
  TzSimPtyModule(const TzSimPtyModule&) = delete;
  TzSimPtyModule& operator=(const TzSimPtyModule&) = delete;
  ~TzSimPtyModule() { Stop(); }

  // Creates the pseudo-terminal and starts serving it; true when already running.

  bool Start();
  // Stops serving and closes the pseudo-terminal; Start may follow again.
  void Stop();
  // Leaves the client's end of the next pseudo-terminal in the kernel's
  // default terminal mode instead of raw (call before Start).
  void SetTtyDefaults(bool aDefaults) { fTtyDefaults = aDefaults; }
  // The pseudo-terminal a client opens; empty before Start.
  const std::string& Path() const { return fPty.SlavePath(); }
  TzSimModule& Module() { return fModule; }
  const std::string& Error() const { return fError; }

 private:
  TzSimModule fModule;
  TzSimPty fPty;
  TzSimSlave fSlave;
  std::string fError;
  bool fTtyDefaults = false;
};
