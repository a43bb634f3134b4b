#include "uSimLineTime.h"

#include "uSimModule.h"

int SimBitsPerChar(int aFormatCode) {
  const TzSimFormat format = SimFormat(aFormatCode);
  return 1 + 8 + (format.Parity != 'N' ? 1 : 0) + format.StopBits;
}

int64_t SimWireMicros(size_t aRequestBytes, size_t aAnswerBytes, int aBaudRate, int aFormatCode) {
  if (aBaudRate <= 0) return 0;
  // In half characters, so the 3.5-character silence stays whole: 7 halves.
  const auto halves = static_cast<int64_t>(2 * (aRequestBytes + aAnswerBytes) + 7);
  const int64_t bitsTimesMillion = halves * SimBitsPerChar(aFormatCode) * 1000000;
  const int64_t divisor = 2LL * aBaudRate;
  return (bitsTimesMillion + divisor / 2) / divisor;
}
