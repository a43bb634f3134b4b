// The result list of a bus search as the engineer sees it: line 0 tells the
// address being asked with a growing row of dots, the devices that answered
// follow in the order of their answers. A module of this model is listed once
// per address with the settings it answered under; anything else that
// answered is listed again in every pass.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "uStringBytes.h"

// The connection settings under which a module answered (the connection
// panel's list indexes and time-out text).
struct TzFindDevice {
  int32_t ComPortIndx = 0;
  int32_t Addr = 0;
  int32_t BaudRateIndx = 0;
  int32_t FormatIndx = 0;
  std::string Timeout;
  int32_t aType = 62;
  TStringBytes Answer;
  uint32_t Timestamp = 0;
  bool IsCounter = false;
};

struct TzFindLine {
  std::string Text;
  bool IsCounter = false;               // the progress line
  std::optional<TzFindDevice> Device;   // a module of this model
};

class TzFindResultList {
public:
  // The progress line for the address aPos asked now: "[aPos] " and one to
  // ten dots. True when line 0 had to be added for it.
  bool Progress(int32_t aPos);
  // The line for an answer from aAddr, if it gets one: a module of this
  // model once per address (aSettings with the address, answer and time
  // filled in), anything else every time. True when a line was added.
  bool AddAnswer(int32_t aAddr, std::span<const uint8_t> aAnswer, TzFindDevice aSettings);
  // Removes the first progress line; its index, or -1 when there was none.
  int RemoveCounterLine();
  void Clear();

  const std::vector<TzFindLine>& Lines() const { return fLines; }
  // The module listed on line aIndex; nullptr for other lines.
  const TzFindDevice* DeviceAt(int aIndex) const;

  int32_t FindProcessAniPos = 0;

private:
  std::vector<TzFindLine> fLines;
};
