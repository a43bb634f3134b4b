#include "uModbusFrames.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "uUtils.h"

namespace {

// Closes a frame whose Length is already set: the check sum over all bytes
// before the last two, low byte first.
void CloseFrame(TStringBytes& aFrame) {
  const int length = aFrame.Length();
  const uint16_t crc = ModbusCRC(aFrame, length - 2);
  aFrame.setByte(static_cast<uint8_t>(length - 1), static_cast<uint8_t>(crc & 0xFF));
  aFrame.setByte(static_cast<uint8_t>(length), static_cast<uint8_t>(crc >> 8));
}

void PutHeader(TStringBytes& aFrame, int32_t aAddr, int32_t aFunc, int32_t aReg) {
  aFrame.setByte(1, static_cast<uint8_t>(aAddr));
  aFrame.setByte(2, static_cast<uint8_t>(aFunc));
  aFrame.setByte(3, static_cast<uint8_t>(aReg >> 8));
  aFrame.setByte(4, static_cast<uint8_t>(aReg));
}

// The truncated value reduced to aBits bits (two's complement), exactly, for
// any finite double.
uint64_t ReduceToBits(double aValue, int aBits) {
  const double modulus = std::ldexp(1.0, aBits);
  double reduced = std::fmod(std::trunc(aValue), modulus);
  if (reduced < 0) reduced += modulus;
  return static_cast<uint64_t>(reduced);
}

// The value's bytes, least significant first, and the value as written.
bool EncodeValue(int32_t aValType, double aValue, uint8_t (&aBytes)[8], double& aWritten) {
  uint64_t raw = 0;
  switch (aValType) {
    case vtUInt16:
      raw = ReduceToBits(aValue, 16);
      aWritten = static_cast<double>(raw);
      break;
    case vtInt16:
      raw = ReduceToBits(aValue, 16);
      aWritten = static_cast<int16_t>(static_cast<uint16_t>(raw));
      break;
    case vtUInt32:
      raw = ReduceToBits(aValue, 32);
      aWritten = static_cast<double>(raw);
      break;
    case vtInt32:
      raw = ReduceToBits(aValue, 32);
      aWritten = static_cast<int32_t>(static_cast<uint32_t>(raw));
      break;
    case vtFloat32: {
      // Out of the single range the value saturates to an infinity, as the
      // hardware conversion does.
      constexpr double kMax = std::numeric_limits<float>::max();
      const float single = aValue > kMax    ? std::numeric_limits<float>::infinity()
                           : aValue < -kMax ? -std::numeric_limits<float>::infinity()
                                            : static_cast<float>(aValue);
      uint32_t bits = 0;
      std::memcpy(&bits, &single, sizeof bits);
      raw = bits;
      aWritten = single;
      break;
    }
    case vtFloat64:
      std::memcpy(&raw, &aValue, sizeof raw);
      aWritten = aValue;
      break;
    default:
      return false;
  }
  for (int i = 0; i < 8; ++i) aBytes[i] = static_cast<uint8_t>(raw >> (8 * i));
  return true;
}

}  // namespace

int ValueWidth(int32_t aValType) {
  switch (aValType) {
    case vtUInt16:
    case vtInt16:
      return 2;
    case vtFloat32:
    case vtUInt32:
    case vtInt32:
      return 4;
    case vtFloat64:
      return 8;
    default:
      return 0;
  }
}

bool BuildReadFrame(int32_t aAddr, int32_t aFunc, int32_t aReg, int32_t aCount,
                    TStringBytes& aFrame) {
  if (aFunc < 1 || aFunc > 4) return false;
  TStringBytes frame;
  frame.setSize(8);
  PutHeader(frame, aAddr, aFunc, aReg);
  frame.setByte(5, static_cast<uint8_t>(aCount >> 8));
  frame.setByte(6, static_cast<uint8_t>(aCount));
  CloseFrame(frame);
  aFrame = frame;
  return true;
}

bool BuildCoilWriteFrame(int32_t aAddr, int32_t aReg, double aValue, TStringBytes& aFrame,
                         double* aWritten) {
  if (!std::isfinite(aValue)) return false;
  const bool on = ReduceToBits(aValue, 16) != 0;
  TStringBytes frame;
  frame.setSize(8);
  PutHeader(frame, aAddr, 5, aReg);
  frame.setByte(5, on ? 0xFF : 0x00);
  frame.setByte(6, 0x00);
  CloseFrame(frame);
  aFrame = frame;
  if (aWritten) *aWritten = on ? 1 : 0;
  return true;
}

bool BuildRegisterWriteFrame(int32_t aAddr, int32_t aFunc, int32_t aReg, int32_t aValType,
                             std::span<const uint8_t> aOrder, double aValue,
                             TStringBytes& aFrame, double* aWritten) {
  if (aFunc != 6 && aFunc != 16) return false;
  const int width = ValueWidth(aValType);
  if (width == 0 || static_cast<int>(aOrder.size()) != width) return false;
  for (uint8_t position : aOrder) {
    if (position < 1 || position > width) return false;
  }
  if (std::isnan(aValue) || (aValType != vtFloat64 && aValType != vtFloat32 && !std::isfinite(aValue))) {
    return false;
  }
  uint8_t bytes[8];
  double written = 0;
  if (!EncodeValue(aValType, aValue, bytes, written)) return false;

  // Function 6 puts the value right after the register; function 16 has the
  // quantity of registers and the byte count in between.
  const int dataStart = aFunc == 6 ? 5 : 8;
  TStringBytes frame;
  frame.setSize(static_cast<uint8_t>(dataStart + width + 1));
  PutHeader(frame, aAddr, aFunc, aReg);
  if (aFunc == 16) {
    frame.setByte(5, 0);
    frame.setByte(6, static_cast<uint8_t>(width / 2));
    frame.setByte(7, static_cast<uint8_t>(width));
  }
  for (int i = 0; i < width; ++i) {
    frame.setByte(static_cast<uint8_t>(dataStart - 1 + aOrder[i]), bytes[i]);
  }
  CloseFrame(frame);
  aFrame = frame;
  if (aWritten) *aWritten = written;
  return true;
}

bool BuildWriteFrame(int32_t aAddr, int32_t aFunc, int32_t aReg, int32_t aValType,
                     std::span<const uint8_t> aOrder, double aValue, TStringBytes& aFrame,
                     double* aWritten) {
  if (aFunc == 5) return BuildCoilWriteFrame(aAddr, aReg, aValue, aFrame, aWritten);
  return BuildRegisterWriteFrame(aAddr, aFunc, aReg, aValType, aOrder, aValue, aFrame, aWritten);
}

bool IsWriteEcho(const TStringBytes& aRequest, const TStringBytes& aAnswer) {
  if (aRequest.Length() < 8 || aAnswer.Length() != 8) return false;
  const uint8_t func = aRequest.getByte(2);
  if (func == 5 || func == 6) return aRequest == aAnswer;
  if (func != 16) return false;
  for (uint8_t i = 1; i <= 6; ++i) {
    if (aRequest.getByte(i) != aAnswer.getByte(i)) return false;
  }
  return ModbusCRC(aAnswer, 8) == 0;
}

bool IsGatewayNoTarget(std::span<const uint8_t> aAnswer) {
  return aAnswer.size() == 5 && (aAnswer[1] & 0x80) &&
         (aAnswer[2] == kExceptionGatewayPath || aAnswer[2] == kExceptionGatewayTarget) && HasModbusCRC(aAnswer);
}

int RtuRequestLength(std::span<const uint8_t> aBytes) {
  if (aBytes.size() < 2) return 0;
  const uint8_t func = aBytes[1];
  if (func >= 1 && func <= 6) return 8;
  if (func == 15 || func == 16) return aBytes.size() < 7 ? 0 : 9 + aBytes[6];
  return -1;
}

int RtuAnswerLength(std::span<const uint8_t> aBytes) {
  if (aBytes.size() < 2) return 0;
  const uint8_t func = aBytes[1];
  if (func & 0x80) return 5;
  if (func >= 1 && func <= 4) return aBytes.size() < 3 ? 0 : 5 + aBytes[2];
  if (func == 5 || func == 6 || func == 15 || func == 16) return 8;
  return -1;
}

bool IsCompleteRtuAnswer(std::span<const uint8_t> aBytes) {
  const int length = RtuAnswerLength(aBytes);
  if (length < 5 || aBytes.size() < static_cast<size_t>(length)) return false;
  return HasModbusCRC(aBytes.first(static_cast<size_t>(length)));
}
