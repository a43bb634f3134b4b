#include "uSimFaults.h"

#include "uUtils.h"

bool TzSimFaultSettings::Any() const {
  return DelayMs > 0 || DropPercent > 0 || CrcPercent > 0 || FromAddress >= 0 || NoiseBytes > 0 ||
         !Exceptions.empty() || !WriteExceptions.empty();
}

std::string TzSimFaultSettings::Describe() const {
  if (!Any()) return "none";
  std::string text;
  const auto add = [&text](const std::string& part) {
    if (!text.empty()) text += ", ";
    text += part;
  };
  if (DelayMs > 0) add("delay " + std::to_string(DelayMs) + " ms");
  if (DropPercent > 0) add("drop " + std::to_string(DropPercent) + " %");
  if (CrcPercent > 0) add("crc " + std::to_string(CrcPercent) + " %");
  if (FromAddress >= 0) add("from " + std::to_string(FromAddress));
  if (NoiseBytes > 0) add("noise " + std::to_string(NoiseBytes));
  for (const auto& [reg, code] : Exceptions) {
    add("exception " + std::to_string(reg) + " " + std::to_string(code));
  }
  for (const auto& [reg, code] : WriteExceptions) {
    add("write-exception " + std::to_string(reg) + " " + std::to_string(code));
  }
  return text;
}

void TzSimFaults::Set(const TzSimFaultSettings& aSettings) {
  fSettings = aSettings;
  fDropAcc = 0;
  fCrcAcc = 0;
}

uint8_t TzSimFaults::ExceptionFor(uint32_t aFirst, uint32_t aCount, bool aWrite) const {
  for (const auto& [reg, code] : fSettings.Exceptions) {
    if (reg >= aFirst && reg < aFirst + aCount) return code;
  }
  if (!aWrite) return 0;
  for (const auto& [reg, code] : fSettings.WriteExceptions) {
    if (reg >= aFirst && reg < aFirst + aCount) return code;
  }
  return 0;
}

bool TzSimFaults::TakeShare(int aPercent, int& aAccumulator) {
  aAccumulator += aPercent;
  if (aAccumulator < 100) return false;
  aAccumulator -= 100;
  return true;
}

bool TzSimFaults::Spoil(std::vector<uint8_t>& aAnswer) {
  if (aAnswer.size() < 3) return true;
  if (TakeShare(fSettings.DropPercent, fDropAcc)) return false;
  const size_t body = aAnswer.size() - 2;
  if (fSettings.FromAddress >= 0) {
    aAnswer[0] = static_cast<uint8_t>(fSettings.FromAddress);
    const uint16_t crc = ModbusCRC(std::span(aAnswer.data(), body));
    aAnswer[body] = static_cast<uint8_t>(crc & 0xFF);
    aAnswer[body + 1] = static_cast<uint8_t>(crc >> 8);
  }
  if (TakeShare(fSettings.CrcPercent, fCrcAcc)) aAnswer[body] ^= 0x5A;
  if (fSettings.NoiseBytes > 0) {
    std::vector<uint8_t> noise;
    for (int i = 0; i < fSettings.NoiseBytes; ++i) {
      fNoiseSeed ^= fNoiseSeed << 13;  // xorshift32: cheap reproducible noise
      fNoiseSeed ^= fNoiseSeed >> 17;
      fNoiseSeed ^= fNoiseSeed << 5;
      noise.push_back(static_cast<uint8_t>(fNoiseSeed));
    }
    aAnswer.insert(aAnswer.begin(), noise.begin(), noise.end());
  }
  return true;
}
