#include "uTagRequests.h"

#include "uModbusFrames.h"

bool BuildTagReadFrame(const TzTag& aTag, TStringBytes& aFrame) {
  if (!aTag.Device) return false;
  return BuildReadFrame(aTag.Device->DevAddr & 0xFF, aTag.ReadCmd, aTag.Reg, aTag.SegSize, aFrame);
}

bool BuildTagWriteFrame(const TzTag& aTag, double aValue, TStringBytes& aFrame, double& aWritten) {
  if (!aTag.Device) return false;
  return BuildWriteFrame(aTag.Device->DevAddr & 0xFF, aTag.WriteCmd, aTag.Reg, aTag.ValType,
                         aTag.OrderMas, aValue, aFrame, &aWritten);
}
