// The device model: tags (value points of the module) and the device that
// owns them, the decoding of Modbus answers into tag values, and the loading
// of the register template.
//
// Tags and devices carry no lock: only the user-interface thread creates,
// reads and changes them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "uStringBytes.h"

namespace pugi {
class xml_node;
}

enum class TzTagMode { tmAll, tmRequest, tmResponse };
enum class TzDeviceStatus { dsNone, dsGood, dsBad };

// OPC DA quality codes of a tag.
inline constexpr uint16_t kQualityWaiting = 32;  // no value yet
inline constexpr uint16_t kQualityGood = 192;
inline constexpr uint16_t kQualityBadAnswer = 16;  // the answer could not be decoded
inline constexpr uint16_t kQualityNoAnswer = 0;    // port error or a recorded exception

// Limits and dead band a new tag has; kDefaultRadius stands for the dead band 0.0001.
inline constexpr double kDefaultRadius = 2147483647.0;
inline constexpr double kDefaultMinValue = -2147483647.0;
inline constexpr double kDefaultMaxValue = 2147483647.0;

class TzDevice;
class TzScript;      // scripted tags: the module has none, so a tag's Script is always none
class TzSerialLine;  // a device's own line object: always none in this system

class TzTag {
public:
  TzTag() = default;
  virtual ~TzTag() = default;

  double Value() const { return fValue; }
  // The value whose text ValueStr holds (the last one outside the dead band).
  double OPCValue() const { return fOPCValue; }
  uint16_t Quality() const { return fQuality; }

  // A NaN only empties ValueStr. Otherwise the value is stored within
  // [MinValue, MaxValue], the quality becomes good, and when aValue lies at
  // least the dead band away from the last reported value, ValueStr is renewed
  // from aValue itself (unlimited), IsChanged is set and OnChange runs.
  void SetValue(double aValue);
  // IsChanged becomes true when the quality changes.
  void SetQuality(uint16_t aValue);

  std::string GUID;
  std::string UID;
  std::string OPCName;  // display name
  std::string OPCAddr;
  bool Enabled = true;
  TzTagMode Mode = TzTagMode::tmAll;
  TzScript* Script = nullptr;
  TzDevice* Device = nullptr;  // the owning device (a back reference)
  std::string Direction;
  std::string aType;
  int32_t Index = 0;
  int32_t ID = 0;
  int32_t CmdIndex = 0;
  int32_t DataSize = 0;
  int32_t DataType = 0;
  std::vector<uint8_t> Data;      // data bytes of the last answer of a block tag
  std::vector<uint8_t> DataFull;  // the last whole answer of a block tag, or the last exception answer
  bool CanRead = true;
  bool CanWrite = true;
  int32_t MemMode = 0;
  bool IsNeed = false;
  bool IsLast = false;  // its answer completes the panel's first full reading
  bool IsChanged = true;
  double Radius = kDefaultRadius;
  double MinValue = kDefaultMinValue;
  double MaxValue = kDefaultMaxValue;
  int32_t Reg = 0;
  int32_t RegType = 0;
  int32_t ValType = 0;  // see TzValType
  int32_t Count = 0;
  int32_t ReadCmd = 0;   // 1..4, 0 none
  int32_t WriteCmd = 0;  // 5, 6, 16, 0 none
  int32_t Offset = 0;
  int32_t SegSize = 0;
  std::string Group;
  std::string Order;
  // Element i: the 1-based data-byte position of byte i of the value, least
  // significant byte first.
  std::vector<uint8_t> OrderMas;
  int32_t BitPos = -1;  // bit of a bit tag read by function 3 or 4; negative: none
  bool ModbusError = false;
  int32_t ModbusErrorCode = 0;
  std::string ModbusErrorCodeStr;  // "02h" for code 2
  std::string ValueStr = "0";      // text of OPCValue()
  bool Force = false;
  bool ForceOnce = false;
  std::function<void(TzTag&)> OnResponse;  // run by the panel after each decoded answer
  std::function<void()> OnChange;          // run when ValueStr is renewed
  int32_t ReadPriority = 0;
  int32_t WritePriority = 0;

private:
  double fValue = 0;
  double fOPCValue = 0;
  uint16_t fQuality = kQualityWaiting;
};

class TzDevice {
public:
  TzDevice() = default;
  virtual ~TzDevice() = default;
  // Tags point back at their device: a device stays where it was made.
  TzDevice(const TzDevice&) = delete;
  TzDevice& operator=(const TzDevice&) = delete;

  // A new tag with the defaults, belonging to this device, appended to Tags.
  TzTag& AddTag();
  // The first tag in Tags order with this ID, or nullptr.
  TzTag* GetTagByID(int32_t aID) const;

  // Loads the named template resource, replacing all tags. True when every
  // tag loaded; then Ready is true. A missing resource or text that is not
  // well-formed XML gives false with the tags unchanged. A wrong root, a
  // missing name or ver, or an invalid child gives false too; then the tags
  // loaded before the invalid child stay. Ready is false after any false.
  bool LoadFromRes(std::string_view aResName);
  // Checks one tag element; when valid, appends a new tag made from it.
  bool LoadModbusTag(const pugi::xml_node& aNode);

  int32_t Port = 0;
  TzSerialLine* Line = nullptr;
  int32_t DevAddr = -1;  // bus address; frames carry its low byte
  int32_t DevType = -1;
  int32_t DevVersion = -1;
  std::string DevVersionStr;
  int32_t DevPOVersion = 0;
  std::string DevPOVersionStr;
  std::string DevName;
  int32_t Freq = 1000;
  int32_t FreqCounter = 0;
  uint32_t FreqNext = 0;
  bool Ready = false;  // the template loaded completely
  bool IsSlave = false;
  bool IsLocked = false;  // the panel's first full reading is under way
  int32_t IsLockedTime = 3000;
  uint32_t IsLockedFor = 0;
  TzDeviceStatus Status = TzDeviceStatus::dsNone;
  std::string OPCName;
  std::vector<std::unique_ptr<TzDevice>> Slaves;
  std::vector<std::unique_ptr<TzTag>> Tags;  // owned, in the order they were added
  std::vector<std::vector<TzTag*>> Groups;
  std::vector<std::string> Events;
  std::vector<double> AIs, AOs;
  std::vector<int32_t> DIs, DOs;
  int32_t AICount = 0, AOCount = 0, DICount = 0, DOCount = 0;
  bool NeedAI = false, NeedAO = false, NeedDI = false, NeedDO = false;
  uint32_t RefreshTimeStamp = 0;
  uint32_t RequestStartTime = 0;
};

// Decodes one answer (as received: address, function, payload, check sum)
// into aTag. True when the answer was accepted for the tag (a value was set,
// or the tag needs none); false otherwise, with the value, text and quality
// as they were. An answer whose check sum is wrong or whose address byte is
// not the low byte of the device's DevAddr is not looked at. An exception
// answer (function byte with bit 7 set) records its code on the tag and
// gives false.
bool DecodeModbusAnswer(const TStringBytes& aAnswer, TzTag* aTag);

// Whether bit (aBit mod 32) of aValue is 1.
bool IsBitSet(int32_t aValue, uint8_t aBit);
