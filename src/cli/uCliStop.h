// Ending a long-running command (poll, sniff) by SIGINT or SIGTERM: the
// command finishes what it is doing and exits normally.
#pragma once

#include <atomic>
#include <functional>

// Installs the handlers; aOnStop (optional) runs in the signal handler and
// must be async-signal-safe.
void CatchStopSignals(void (*aOnStop)() = nullptr);
bool StopRequested();
