#include "uSimPdu.h"

#include "uUtils.h"

namespace {

uint16_t Word(std::span<const uint8_t> aPdu, size_t aPos) {
  return static_cast<uint16_t>(aPdu[aPos] << 8 | aPdu[aPos + 1]);
}

void PutWord(std::vector<uint8_t>& aOut, uint16_t aValue) {
  aOut.push_back(static_cast<uint8_t>(aValue >> 8));
  aOut.push_back(static_cast<uint8_t>(aValue & 0xFF));
}

TzSimTable ReadTable(uint8_t aFunction) {
  switch (aFunction) {
    case 1: return TzSimTable::Coil;
    case 2: return TzSimTable::DiscreteInput;
    case 3: return TzSimTable::HoldingRegister;
    default: return TzSimTable::InputRegister;
  }
}

bool IsBitTable(TzSimTable aTable) {
  return aTable == TzSimTable::Coil || aTable == TzSimTable::DiscreteInput;
}

// Every point of the range must exist and allow the access.
uint8_t CheckRange(TzSimTable aTable, uint32_t aFirst, uint32_t aCount, uint8_t aAccess) {
  if (aFirst + aCount > 65536) return seIllegalAddress;
  for (uint32_t reg = aFirst; reg < aFirst + aCount; ++reg) {
    const TzSimPoint* point = FindSimPoint(aTable, static_cast<uint16_t>(reg));
    if (point == nullptr || (point->Access & aAccess) == 0) return seIllegalAddress;
  }
  return seNone;
}

uint8_t WriteOne(TzSimTable aTable, uint16_t aReg, uint16_t aValue, TzSimPointAccess& aAccess) {
  const TzSimPoint& point = *FindSimPoint(aTable, aReg);
  if (aTable == TzSimTable::HoldingRegister && (aValue < point.Min || aValue > point.Max)) {
    return seIllegalValue;
  }
  return aAccess.Write(point, aValue);
}

uint8_t HandleRead(uint8_t aFunction, std::span<const uint8_t> aPdu, TzSimPointAccess& aAccess,
                   std::vector<uint8_t>& aAnswer) {
  if (aPdu.size() != 5) return seIllegalValue;
  const TzSimTable table = ReadTable(aFunction);
  const uint16_t first = Word(aPdu, 1);
  const uint16_t count = Word(aPdu, 3);
  const uint16_t maxCount = IsBitTable(table) ? 2000 : 125;
  if (count < 1 || count > maxCount) return seIllegalValue;
  if (const uint8_t code = CheckRange(table, first, count, saRead)) return code;
  if (const uint8_t code = aAccess.InjectedException(first, count, false)) return code;
  aAnswer.push_back(aFunction);
  if (IsBitTable(table)) {
    aAnswer.push_back(static_cast<uint8_t>((count + 7) / 8));
    for (uint32_t i = 0; i < count; ++i) {
      if (i % 8 == 0) aAnswer.push_back(0);
      if (aAccess.Read(*FindSimPoint(table, static_cast<uint16_t>(first + i))) != 0) {
        aAnswer.back() = static_cast<uint8_t>(aAnswer.back() | 1 << (i % 8));
      }
    }
  } else {
    aAnswer.push_back(static_cast<uint8_t>(count * 2));
    for (uint32_t i = 0; i < count; ++i) {
      PutWord(aAnswer, aAccess.Read(*FindSimPoint(table, static_cast<uint16_t>(first + i))));
    }
  }
  return seNone;
}

uint8_t HandleSingleWrite(uint8_t aFunction, std::span<const uint8_t> aPdu,
                          TzSimPointAccess& aAccess, std::vector<uint8_t>& aAnswer) {
  if (aPdu.size() != 5) return seIllegalValue;
  const uint16_t reg = Word(aPdu, 1);
  uint16_t value = Word(aPdu, 3);
  const TzSimTable table = aFunction == 5 ? TzSimTable::Coil : TzSimTable::HoldingRegister;
  if (aFunction == 5) {
    if (value != 0xFF00 && value != 0x0000) return seIllegalValue;
    value = value != 0 ? 1 : 0;
  }
  if (const uint8_t code = CheckRange(table, reg, 1, saWrite)) return code;
  if (const uint8_t code = aAccess.InjectedException(reg, 1, true)) return code;
  if (const uint8_t code = WriteOne(table, reg, value, aAccess)) return code;
  aAnswer.assign(aPdu.begin(), aPdu.end());  // the answer echoes the request
  return seNone;
}

uint8_t HandleMultipleWrite(uint8_t aFunction, std::span<const uint8_t> aPdu,
                            TzSimPointAccess& aAccess, std::vector<uint8_t>& aAnswer) {
  if (aPdu.size() < 6) return seIllegalValue;
  const uint16_t first = Word(aPdu, 1);
  const uint16_t count = Word(aPdu, 3);
  const uint8_t byteCount = aPdu[5];
  const bool coils = aFunction == 15;
  const uint16_t maxCount = coils ? 1968 : 123;
  const size_t wantBytes = coils ? (count + 7u) / 8u : count * 2u;
  if (count < 1 || count > maxCount || byteCount != wantBytes || aPdu.size() != 6u + byteCount) {
    return seIllegalValue;
  }
  const TzSimTable table = coils ? TzSimTable::Coil : TzSimTable::HoldingRegister;
  if (const uint8_t code = CheckRange(table, first, count, saWrite)) return code;
  if (const uint8_t code = aAccess.InjectedException(first, count, true)) return code;
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t value = coils ? static_cast<uint16_t>((aPdu[6 + i / 8] >> (i % 8)) & 1)
                                 : Word(aPdu, 6 + 2 * i);
    if (const uint8_t code = WriteOne(table, static_cast<uint16_t>(first + i), value, aAccess)) {
      return code;
    }
  }
  aAnswer.assign(aPdu.begin(), aPdu.begin() + 5);
  return seNone;
}

}  // namespace

const char* SimFrameFault(std::span<const uint8_t> aFrame) {
  if (aFrame.size() < 4) return "too short";
  return HasModbusCRC(aFrame) ? nullptr : "bad check sum";
}

bool IsSimWriteFunction(uint8_t aFunction) {
  return aFunction == 5 || aFunction == 6 || aFunction == 15 || aFunction == 16;
}

uint8_t HandleSimPdu(std::span<const uint8_t> aPdu, TzSimPointAccess& aAccess,
                     std::vector<uint8_t>& aAnswer) {
  aAnswer.clear();
  if (aPdu.empty()) return seIllegalFunction;
  const uint8_t function = aPdu[0];
  uint8_t code = seIllegalFunction;
  switch (function) {
    case 1: case 2: case 3: case 4: code = HandleRead(function, aPdu, aAccess, aAnswer); break;
    case 5: case 6: code = HandleSingleWrite(function, aPdu, aAccess, aAnswer); break;
    case 15: case 16: code = HandleMultipleWrite(function, aPdu, aAccess, aAnswer); break;
    default: break;
  }
  if (code != seNone) aAnswer = {static_cast<uint8_t>(function | 0x80), code};
  return code;
}
