#include "uSniffFrames.h"

#include <cmath>
#include <cstdio>

#include "uModbusFrames.h"
#include "uUtils.h"

namespace {

bool CrcOk(std::span<const uint8_t> aFrame) { return aFrame.size() >= 4 && ModbusCRC(aFrame) == 0; }

int Word(std::span<const uint8_t> aBytes, size_t aAt) { return aBytes[aAt] << 8 | aBytes[aAt + 1]; }

// The lengths a frame starting so may have: request first, then answer.
std::vector<size_t> Lengths(std::span<const uint8_t> aBytes) {
  std::vector<size_t> lengths;
  for (const int length : {RtuRequestLength(aBytes), RtuAnswerLength(aBytes)})
    if (length > 0 && (lengths.empty() || lengths.front() != static_cast<size_t>(length)))
      lengths.push_back(static_cast<size_t>(length));
  return lengths;
}

}  // namespace

std::vector<std::vector<uint8_t>> SplitFrames(std::span<const uint8_t> aChunk) {
  std::vector<std::vector<uint8_t>> frames;
  size_t at = 0;
  while (at < aChunk.size()) {
    const std::span<const uint8_t> rest = aChunk.subspan(at);
    size_t taken = 0;
    for (const size_t length : Lengths(rest)) {
      if (length <= rest.size() && CrcOk(rest.first(length))) {
        taken = length;
        break;
      }
    }
    if (taken == 0) taken = rest.size();
    frames.emplace_back(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(taken));
    at += taken;
  }
  return frames;
}

int FrameGapMs(int32_t aBaudRate, int aBitsPerChar) {
  if (aBaudRate <= 0) return 2;
  const double ms = aBaudRate > 19200 ? 1.75 : 3.5 * aBitsPerChar * 1000.0 / aBaudRate;
  return std::max(2, static_cast<int>(std::ceil(ms)));
}

TzSniffFrame TzSniffDescriber::Describe(const std::vector<uint8_t>& aFrame) {
  TzSniffFrame f;
  f.Bytes = aFrame;
  f.CrcOk = CrcOk(aFrame);
  f.Direction = "?";
  if (aFrame.size() >= 2) {
    f.Address = aFrame[0];
    f.Function = aFrame[1];
  }
  const std::span<const uint8_t> b(aFrame);
  const size_t n = aFrame.size();
  const int func = f.Function;
  bool request = false, answer = false;
  if (!f.CrcOk || n < 4) {
    // Nothing to go by.
  } else if (func & 0x80) {
    answer = true;
    char code[8];
    std::snprintf(code, sizeof code, "%02Xh", b[2]);
    f.Data = std::string("exception ") + code;
  } else if (func >= 1 && func <= 4) {
    const bool answerLength = n == size_t{5} + b[2];
    // Function 1 or 2 answers of three data bytes are eight long too: they
    // follow a request of the same address and function.
    if (answerLength && (n != 8 || (fLastWasRequest && fLast.size() >= 2 && fLast[0] == b[0] && fLast[1] == b[1])))
      answer = true;
    else if (n == 8)
      request = true;
    if (request) {
      f.Register = Word(b, 2);
      f.Data = "quantity " + std::to_string(Word(b, 4));
    } else if (answer) {
      f.Register = fLastRegister;
      std::string values;
      if (func >= 3) {
        for (size_t i = 3; i + 1 < n - 2; i += 2) values += (values.empty() ? "" : " ") + std::to_string(Word(b, i));
      } else {
        for (size_t i = 3; i < n - 2; ++i) {
          char hex[4];
          std::snprintf(hex, sizeof hex, "%02X", b[i]);
          values += (values.empty() ? "" : " ") + std::string(hex);
        }
      }
      f.Data = "values " + values;
    }
  } else if ((func == 5 || func == 6) && n == 8) {
    // The answer is the request's echo.
    answer = fLastWasRequest && fLast == aFrame;
    request = !answer;
    f.Register = Word(b, 2);
    f.Data = "value " + std::to_string(Word(b, 4));
  } else if (func == 15 || func == 16) {
    f.Register = Word(b, 2);
    if (n == 8) {
      answer = true;
      f.Data = "quantity " + std::to_string(Word(b, 4));
    } else if (n == size_t{9} + b[6]) {
      request = true;
      std::string values;
      if (func == 16)
        for (size_t i = 7; i + 1 < n - 2; i += 2) values += " " + std::to_string(Word(b, i));
      f.Data = "quantity " + std::to_string(Word(b, 4)) + (values.empty() ? "" : " values" + values);
    }
  }
  if (request) f.Direction = "request";
  if (answer) f.Direction = "answer";
  fLast = aFrame;
  fLastWasRequest = request;
  if (request) fLastRegister = f.Register;
  return f;
}
