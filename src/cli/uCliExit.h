// The exit codes of rk7140ctl and the one-line error report on stderr.
#pragma once

#include <string>

enum TzExit : int {
  exOk = 0,
  exUsage = 1,        // the command line is wrong (every argument error)
  exPort = 2,         // the port cannot be opened or set
  exNoAnswer = 3,     // no answer
  exException = 4,    // an exception answer
  exNotRK7140 = 5,    // the device is not an RK-7140
  exUndecodable = 6,  // an answer that cannot be decoded
  exRefused = 7,      // the module refuses the change (a logic function while another runs)
  exDiffers = 8,      // config diff: the settings differ
  exFile = 9,         // a settings file that cannot be read, written or is refused
  exMismatch = 10,    // config restore: a value read back differs from the file
};

inline constexpr const char* kExitCodesHelp =
    "Exit codes: 0 success; 1 usage (every argument error); 2 the port cannot be opened or set;\n"
    "3 no answer; 4 an exception answer (its code printed); 5 the device is not an RK-7140;\n"
    "6 an answer that cannot be decoded; 7 the module refuses the change (a new logic function\n"
    "while another runs); 8 config diff found differences; 9 a settings file that cannot be\n"
    "read or written, or is refused; 10 config restore read back a value that differs.\n"
    "A command that reads several tags exits with the code of the first failure.";

// "rk7140ctl: aMessage" on stderr, one line.
void ReportError(const std::string& aMessage);

// The first failure wins: aFirst keeps its code unless it is still exOk.
inline void NoteFailure(int& aFirst, int aCode) {
  if (aFirst == exOk) aFirst = aCode;
}
