#include "uLineSettings.h"

#include <cstddef>
#include <cstring>

#ifdef _WIN32
// The Windows DCB keeps its flags as bit fields in the 32-bit word right
// after BaudRate.
static_assert(offsetof(DCB, BaudRate) + sizeof(DWORD) + sizeof(DWORD) == offsetof(DCB, wReserved));

uint32_t DcbFlagsWord(const TzPlatformDCB& aDCB) {
  uint32_t word = 0;
  std::memcpy(&word, reinterpret_cast<const unsigned char*>(&aDCB) + offsetof(DCB, BaudRate) + sizeof(DWORD),
              sizeof word);
  return word;
}

void SetDcbFlagsWord(TzPlatformDCB& aDCB, uint32_t aFlags) {
  std::memcpy(reinterpret_cast<unsigned char*>(&aDCB) + offsetof(DCB, BaudRate) + sizeof(DWORD), &aFlags,
              sizeof aFlags);
}
#else
uint32_t DcbFlagsWord(const TzPlatformDCB& aDCB) { return aDCB.Flags; }
void SetDcbFlagsWord(TzPlatformDCB& aDCB, uint32_t aFlags) { aDCB.Flags = aFlags; }
#endif

void TzDCB::Clear() {
  BaudRate = Flags = wReserved = XonLim = XoffLim = ByteSize = Parity = StopBits = kNotSet;
  bXonChar = bXoffChar = bErrorChar = bEofChar = bEvtChar = false;
  OnlyMyFlags = false;
}

void TzDCB::AssignTo(TzPlatformDCB& aRecord) const {
  if (OnlyMyFlags) SetDcbFlagsWord(aRecord, 0);
  if (BaudRate != kNotSet) aRecord.BaudRate = static_cast<uint32_t>(BaudRate);
  // Bits are only ever added; OnlyMyFlags is the way to drop the driver's.
  if (Flags != kNotSet) SetDcbFlagsWord(aRecord, DcbFlagsWord(aRecord) | static_cast<uint32_t>(Flags));
  if (XonLim != kNotSet) aRecord.XonLim = static_cast<uint16_t>(XonLim & 0xFFFF);
  if (XoffLim != kNotSet) aRecord.XoffLim = static_cast<uint16_t>(XoffLim & 0xFFFF);
  if (ByteSize != kNotSet) aRecord.ByteSize = static_cast<uint8_t>(ByteSize & 0xFF);
  if (Parity != kNotSet) aRecord.Parity = static_cast<uint8_t>(Parity & 0xFF);
  if (StopBits != kNotSet) aRecord.StopBits = static_cast<uint8_t>(StopBits & 0xFF);
  if (bXonChar) aRecord.XonChar = fXonChar;
  if (bXoffChar) aRecord.XoffChar = fXoffChar;
  if (bErrorChar) aRecord.ErrorChar = fErrorChar;
  if (bEofChar) aRecord.EofChar = fEofChar;
  if (bEvtChar) aRecord.EvtChar = fEvtChar;
}

void TzTimeouts::Clear() {
  ReadIntervalTimeout = ReadTotalTimeoutMultiplier = ReadTotalTimeoutConstant = kNotSet;
  WriteTotalTimeoutMultiplier = WriteTotalTimeoutConstant = kNotSet;
}

void TzTimeouts::AssignTo(TzPlatformTimeouts& aRecord) const {
  auto put = [](auto& aField, int32_t aValue) {
    if (aValue != kNotSet) aField = static_cast<uint32_t>(aValue);
  };
  put(aRecord.ReadIntervalTimeout, ReadIntervalTimeout);
  put(aRecord.ReadTotalTimeoutMultiplier, ReadTotalTimeoutMultiplier);
  put(aRecord.ReadTotalTimeoutConstant, ReadTotalTimeoutConstant);
  put(aRecord.WriteTotalTimeoutMultiplier, WriteTotalTimeoutMultiplier);
  put(aRecord.WriteTotalTimeoutConstant, WriteTotalTimeoutConstant);
}
