// The wires of the virtual module: a pseudo-terminal pair of its own, or a
// real serial device.
#pragma once

#include <string>

// A pseudo-terminal whose master side the module serves; clients open
// SlavePath(). The module keeps a slave descriptor open itself, so a client
// that closes and reopens the port never leaves the master side hung up.
class TzSimPty {
 public:
  TzSimPty() = default;
  TzSimPty(const TzSimPty&) = delete;
  TzSimPty& operator=(const TzSimPty&) = delete;
  ~TzSimPty() { Close(); }

  // Creates the pair in raw mode (nothing echoed or translated), or with
  // the client's end left in the kernel's default terminal mode (echo, line
  // editing, XON/XOFF, CR/LF translation: what a freshly plugged serial
  // adapter has) when aRawClient is false. False and a reason when the
  // system refuses.
  bool Open(std::string& aError, bool aRawClient = true);
  void Close();
  int MasterFd() const { return fMaster; }
  const std::string& SlavePath() const { return fSlavePath; }

 private:
  int fMaster = -1;
  int fSlave = -1;
  std::string fSlavePath;
};

// Opens a serial device for the module (non-blocking, raw) with the line
// settings of a baud code (0..9) and a format code (4..7). -1 and a reason on failure.
int OpenSimSerialPort(const std::string& aPath, int aBaudCode, int aFormatCode, std::string& aError);
bool ApplySimLineSettings(int aFd, int aBaudCode, int aFormatCode, std::string& aError);

// The speed and stop bits a terminal is set to. A pseudo-terminal keeps both
// (though no parity) for the pair, so the master's descriptor reads what the
// client set its end to.
struct TzSimTermLine {
  int BaudRate = 0;  // 0: a speed outside 50..230400
  int StopBits = 1;
};
bool ReadSimTermLine(int aFd, TzSimTermLine& aLine);
std::string SimTermLineText(const TzSimTermLine& aLine);
