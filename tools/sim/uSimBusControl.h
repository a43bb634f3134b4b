// The control channel of a virtual bus. "@ADDR COMMAND" sends COMMAND to the
// device at bus address ADDR (a module at its address in effect, so after a
// restart at its new one); a command without it goes to the first module, so
// a bus of one module takes the commands of uSimControl.h unchanged. The line
// itself takes "devices", "wire on|off" and "strict on|off".
#pragma once

#include <string>
#include <string_view>

#include "uSimBus.h"
#include "uSimControl.h"

// As RunSimCommand: aReply gets "ok", the text asked for, or "error: ..."
// (nothing changed then).
TzSimCommandResult RunSimBusCommand(TzSimBus& aBus, std::string_view aLine, std::string& aReply);

std::string SimBusCommandHelp();
