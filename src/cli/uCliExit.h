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
  exDiffers = 7,      // config diff: the settings differ
  exFile = 8,         // a settings file that cannot be read, written or is refused
  exMismatch = 9,     // config restore: a value read back differs from the file
};

inline constexpr const char* kExitCodesHelp =
    "Exit codes: 0 success; 1 usage (every argument error); 2 the port cannot be opened or set;\n"
    "3 no answer; 4 an exception answer (its code printed); 5 the device is not an RK-7140;\n"
    "6 an answer that cannot be decoded; 7 config diff found differences; 8 a settings file\n"
    "that cannot be read or written, or is refused; 9 config restore read back a value that\n"
    "differs. A command that reads several tags exits with the code of the first failure.";

// "rk7140ctl: aMessage" on stderr, one line.
void ReportError(const std::string& aMessage);

// The first failure wins: aFirst keeps its code unless it is still exOk.
inline void NoteFailure(int& aFirst, int aCode) {
  if (aFirst == exOk) aFirst = aCode;
}
