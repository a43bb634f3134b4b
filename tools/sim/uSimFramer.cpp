#include "uSimFramer.h"

#include <algorithm>

#include "uModbusFrames.h"
#include "uUtils.h"

namespace {

constexpr size_t kMaxFrame = 256;  // the longest RTU frame

bool CheckSumHolds(std::span<const uint8_t> aFrame) { return aFrame.size() >= 4 && HasModbusCRC(aFrame); }

}  // namespace

int SimRequestLength(std::span<const uint8_t> aBytes) { return RtuRequestLength(aBytes); }

int SimSilenceMs(int aBaudRate) {
  if (aBaudRate <= 0) return 2;
  const int ms = (38500 + aBaudRate - 1) / aBaudRate;  // 3.5 * 11 bits, rounded up
  return std::max(2, ms);
}

void TzSimFramer::Add(std::span<const uint8_t> aBytes, int64_t aNowMs) {
  if (aBytes.empty()) return;
  fBuffer.insert(fBuffer.end(), aBytes.begin(), aBytes.end());
  if (fBuffer.size() > kMaxFrame) {
    // No frame is this long: what is pending is noise; keep only its tail.
    fBuffer.erase(fBuffer.begin(), fBuffer.end() - kMaxFrame);
  }
  fLastByteAt = aNowMs;
}

bool TzSimFramer::Take(int64_t aNowMs, std::vector<uint8_t>& aFrame) {
  if (fBuffer.empty()) return false;
  const int length = SimRequestLength(fBuffer);
  if (length > 0 && fBuffer.size() >= static_cast<size_t>(length) &&
      CheckSumHolds(std::span(fBuffer).first(static_cast<size_t>(length)))) {
    aFrame.assign(fBuffer.begin(), fBuffer.begin() + length);
    fBuffer.erase(fBuffer.begin(), fBuffer.begin() + length);
    return true;
  }
  if (aNowMs - fLastByteAt >= fSilenceMs) {
    aFrame = std::move(fBuffer);
    fBuffer.clear();
    return true;
  }
  return false;
}

int TzSimFramer::WaitMs(int64_t aNowMs) const {
  if (fBuffer.empty()) return -1;
  return static_cast<int>(std::max<int64_t>(0, fLastByteAt + fSilenceMs - aNowMs));
}
