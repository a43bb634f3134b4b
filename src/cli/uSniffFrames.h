// What sniff makes of the bytes it hears: chunks split by the line's silence
// are split further by the Modbus RTU framing (a master's request and a
// quick answer may arrive without a gap between them), and each frame is
// described: direction guessed from function and length, address, function,
// register, quantity or values, check sum.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TzSniffFrame {
  std::vector<uint8_t> Bytes;
  std::string Direction;  // "request", "answer" or "?"
  int Address = 0;
  int Function = 0;
  std::optional<int> Register;
  std::string Data;  // "quantity 2", "values 1 2", "exception 02h" ...
  bool CrcOk = false;
};

// The frames in one chunk: each whole frame whose check sum is right, in
// order; bytes that form none are one frame with a bad check sum.
std::vector<std::vector<uint8_t>> SplitFrames(std::span<const uint8_t> aChunk);

// The 3.5-character silence that ends a frame at this baud rate, in ms
// (rounded up; 1.75 ms above 19200 baud), with aBitsPerChar bits a character.
int FrameGapMs(int32_t aBaudRate, int aBitsPerChar);

class TzSniffDescriber {
public:
  TzSniffFrame Describe(const std::vector<uint8_t>& aFrame);

private:
  std::vector<uint8_t> fLast;  // the frame before
  bool fLastWasRequest = false;
  std::optional<int> fLastRegister;
};
