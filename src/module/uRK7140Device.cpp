#include "uRK7140Device.h"

#include <cstdio>
#include <random>
#include <string>

#include "uInputConfig.h"
#include "uModbusFrames.h"
#include "uOutputParams.h"

namespace {

// A random (version 4) GUID in braces, upper case: tags of the template carry one.
std::string NewGuid() {
  static std::mt19937_64 random{std::random_device{}()};
  const uint64_t hi = random(), lo = random();
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-4%03X-%04X-%012llX}", static_cast<unsigned>(hi >> 32),
                static_cast<unsigned>((hi >> 16) & 0xFFFF), static_cast<unsigned>(hi & 0x0FFF),
                static_cast<unsigned>(0x8000 | ((lo >> 48) & 0x3FFF)),
                static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
  return text;
}

void AddCoil(TzDevice& aDevice, int32_t aID, const std::string& aName) {
  TzTag& tag = aDevice.AddTag();
  tag.ID = aID;
  tag.Reg = aID;
  tag.OPCName = aName;
  tag.Enabled = false;
  tag.RegType = 1;
  tag.ValType = vtBit;
  tag.WriteCmd = 5;
  tag.Order = "21";
  tag.OrderMas = {2, 1};
  tag.GUID = NewGuid();
  tag.Force = true;
  tag.ReadPriority = 0;
  tag.WritePriority = 1;
  tag.CanRead = false;
}

void SetForce(TzDevice& aDevice, int32_t aID) {
  if (TzTag* tag = aDevice.GetTagByID(aID)) tag->Force = true;
}

}  // namespace

bool LoadRK7140Device(TzDevice& aDevice, int32_t aDevAddr, const char* aResName) {
  aDevice.DevAddr = aDevAddr;
  aDevice.DevType = 3;
  aDevice.DevVersion = 0;
  aDevice.DevVersionStr = "0.00";
  aDevice.DevPOVersion = 0;
  aDevice.Freq = 100;
  aDevice.DevName = "RK-7140";
  if (!aDevice.LoadFromRes(aResName)) return false;

  for (int n = 1; n <= kInputCount; ++n) {
    AddCoil(aDevice, CounterResetCoil(n), "Сброс счётчика импульсов DIN #" + std::to_string(n));
    AddCoil(aDevice, FilterCoil(n), "Тип фильтрации дребезга контактов DIN #" + std::to_string(n));
  }
  for (int n = 1; n <= kOutputCount; ++n) {
    if (TzTag* state = aDevice.GetTagByID(OutputBase(n))) {
      state->ReadPriority = 1;
      state->WritePriority = 1;
      state->Force = true;
    }
  }
  for (int32_t id : {kAddressReg, kBaudRateReg, kFormatReg, kDeviceTypeReg}) SetForce(aDevice, id);
  for (int n = 1; n <= kOutputCount; ++n) SetForce(aDevice, OutputBase(n));
  SetForce(aDevice, kCounterResetReg);
  SetForce(aDevice, kCommandReg);
  return true;
}

std::unique_ptr<TzDevice> MakeTypeProbeDevice(int32_t aDevAddr) {
  auto probe = std::make_unique<TzDevice>();
  probe->DevAddr = aDevAddr;
  probe->DevType = 3;
  probe->DevVersion = 100;
  probe->DevVersionStr = "1.00";
  probe->Freq = 100;
  probe->DevName = "RT-3300";
  TzTag& tag = probe->AddTag();
  tag.ID = kDeviceTypeReg;
  tag.Reg = kDeviceTypeReg;
  tag.Force = true;
  tag.Enabled = true;
  tag.RegType = 2;
  tag.ValType = vtUInt16;
  tag.Order = "21";
  tag.OrderMas = {2, 1};
  tag.SegSize = 1;
  tag.Offset = 0;
  tag.DataSize = 2;
  tag.DataType = 18;
  tag.ReadCmd = 4;
  tag.GUID = "{355ADFD2-9A2A-4E26-8DE3-0FB81E88BD68}";
  return probe;
}

std::string IdentifierText(int32_t aWord1, int32_t aWord2, int32_t aWord3) {
  char text[24];
  const int32_t w[3] = {aWord1, aWord2, aWord3};
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", (w[0] >> 8) & 0xFF, w[0] & 0xFF, (w[1] >> 8) & 0xFF,
                w[1] & 0xFF, (w[2] >> 8) & 0xFF, w[2] & 0xFF);
  return text;
}

std::string FirmwareText(int32_t aValue) {
  std::string text = std::to_string(aValue);
  if (aValue >= 100) text.insert(1, ".");
  return text;
}
