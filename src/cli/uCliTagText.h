// How rk7140ctl names and reads out a tag for people: the Modbus table and
// register an engineer looks up ("input register 4096"), the value at the
// precision it carries (a float32 as 24.1), and what a code means (baud code
// 3 is 9600, format code 4 is 8N1, a status word's bits).
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "uGlobals.h"
#include "uRK7140Device.h"  // IdentifierText, FirmwareText

// "coil 4096", "discrete input 5", "holding register 60070", "input register
// 36864"; a block: "holding registers 60071..60082".
std::string TagRegisterName(const TzTag& aTag);
// The value as a JSON number: a float32 at its own precision; null without a good value.
nlohmann::json TagNumber(const TzTag& aTag);
// What the value means, for the registers whose value is a code or a status
// ("9600", "RTU 8N1", "relay closed, PWM cycling", "1.05", "24.1 V"); empty
// for the others or without a good value.
std::string TagMeaning(const TzTag& aTag);
// "good", "waiting", "bad answer", "no answer" or the code.
std::string QualityText(uint16_t aQuality);
// A number as text at float32 precision when aFloat32, else as the tool prints numbers.
std::string NumberText(double aValue, bool aFloat32);
