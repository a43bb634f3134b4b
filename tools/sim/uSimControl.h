// The control channel of the virtual module: one text command a line, e.g.
// "inputs 0x0805", "type 75", "fault delay 300", "fault exception 60070 2",
// "fault off". SimCommandHelp lists them all.
#pragma once

#include <string>
#include <string_view>

#include "uSimModule.h"

enum class TzSimCommandResult { Ok, Error, Quit };

// Carries out one command line. aReply gets "ok", the text asked for
// ("status", "help"), or "error: " and the reason (the module is then
// unchanged). An empty line or a line starting with '#' does nothing and
// leaves aReply empty.
TzSimCommandResult RunSimCommand(TzSimModule& aModule, std::string_view aLine, std::string& aReply);

std::string SimCommandHelp();
