// The RK-7140 as the panel and rk7140ctl know it: the device made from the
// embedded register template plus the coils the template lacks, with the
// force flags and priorities of the panel; and its identification, the
// device type in input register 0x9000 (36864), which an RK-7140 reads as 74.
#pragma once

#include <cstdint>
#include <memory>

#include "uGlobals.h"
#include "uRK7140Registers.h"

#include <string>

// The identifier 00-12-34-56-78-9A from its three words, high byte first.
std::string IdentifierText(int32_t aWord1, int32_t aWord2, int32_t aWord3);
// Firmware 105 as "1.05", as the panel shows it.
std::string FirmwareText(int32_t aValue);

inline constexpr int32_t kDeviceTypeRK7140 = 74;

// Loads the template resource aResName into aDevice (address aDevAddr),
// then adds the counter-reset and filter-type coils of every input and sets
// the panel's force flags and priorities. False when the template did not
// load; the device then holds what loaded.
bool LoadRK7140Device(TzDevice& aDevice, int32_t aDevAddr, const char* aResName = "XMLDATA");

// A device of its own holding the one tag of the identification request:
// function 4, register 0x9000, forced.
std::unique_ptr<TzDevice> MakeTypeProbeDevice(int32_t aDevAddr);
// The probe's tag in a device made by MakeTypeProbeDevice.
inline TzTag* TypeProbeTag(TzDevice& aProbe) { return aProbe.Tags.empty() ? nullptr : aProbe.Tags.front().get(); }

// The identification rule: the device type read is the RK-7140's.
constexpr bool IsRK7140Type(double aDeviceType) { return aDeviceType == kDeviceTypeRK7140; }
