// The command line of rk7140-sim.
#pragma once

#include <string>
#include <vector>

#include "uSimForeign.h"
#include "uSimModule.h"
#include "uSimNetServer.h"

struct TzSimOptions {
  TzSimConfig Config;               // shared by all modules; Address: the lone module's
  std::vector<int> Modules;         // --module: the modules' addresses, in order
  std::vector<TzSimForeignConfig> Foreign;
  std::string Port;
  std::string Link;
  std::string Tap;
  std::vector<std::string> Commands;
  std::vector<TzSimListenAddress> Listen;  // --listen: network listeners beside the line
  bool Verbose = false;
  bool TtyDefaults = false;
  bool StrictLine = false;
  bool WireTiming = false;
};

extern const char kSimUsage[];

// False (with a message on stderr) for a bad command line; prints the usage
// and exits for --help. Afterwards Modules holds every module's address
// (the lone one of --address when no --module was given).
bool ParseSimOptions(int argc, char** argv, TzSimOptions& aOptions);
