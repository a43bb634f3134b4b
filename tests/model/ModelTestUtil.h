// Helpers shared by the model tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "uStringBytes.h"
#include "uUtils.h"

// The bytes as received, exactly.
inline TStringBytes Raw(const std::vector<uint8_t>& aBytes) { return TStringBytes::FromBytes(aBytes); }

// The bytes followed by their check sum, low byte first: a sound frame.
inline TStringBytes WithCrc(std::vector<uint8_t> aBytes) {
  return TStringBytes::FromBytes(WithModbusCRC(std::move(aBytes)));
}

inline std::vector<uint8_t> Bytes(const TStringBytes& aFrame) { return aFrame.AsBytes(); }
