#include "uSimRegisterMap.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

using K = TzSimKind;
using T = TzSimTable;

// One output's block, relative to its base register.
struct TzBlockRow {
  uint16_t Offset;
  TzSimTable Table;
  TzSimKind Kind;
  uint8_t Access;
  uint16_t Min;
  uint16_t Max;
};

constexpr TzBlockRow kOutputBlock[] = {
    {0, T::Coil, K::OutputState, saReadWrite, 0, 1},
    {0, T::InputRegister, K::OutputStatus, saRead, 0, 0},
    {5, T::HoldingRegister, K::PwmDuty, saReadWrite, 0, 1000},
    {8, T::HoldingRegister, K::PwmPeriod, saReadWrite, 1, 65535},
    {9, T::HoldingRegister, K::PwmSafeDuty, saReadWrite, 0, 1000},
    {16, T::Coil, K::LogicInversion, saReadWrite, 0, 1},
    {16, T::HoldingRegister, K::LogicFunction, saReadWrite, 0, 7},
    {17, T::HoldingRegister, K::LogicX, saReadWrite, 1, 12},
    {18, T::HoldingRegister, K::LogicY, saReadWrite, 1, 12},
    {19, T::HoldingRegister, K::LogicDelayType, saReadWrite, 0, 2},
    {20, T::HoldingRegister, K::LogicDelay, saReadWrite, 0, 65535},
};

// Points that exist once.
constexpr TzSimPoint kSinglePoints[] = {
    {T::InputRegister, 24582, K::SupplyInteger, 1, saRead, 0, 0},
    {T::InputRegister, 24583, K::SupplyFloatHigh, 1, saRead, 0, 0},
    {T::InputRegister, 24584, K::SupplyFloatLow, 1, saRead, 0, 0},
    {T::InputRegister, 24710, K::SupplyInteger, 2, saRead, 0, 0},
    {T::InputRegister, 24711, K::SupplyFloatHigh, 2, saRead, 0, 0},
    {T::InputRegister, 24712, K::SupplyFloatLow, 2, saRead, 0, 0},
    {T::HoldingRegister, 28672, K::BaudCode, 0, saReadWrite, 0, 9},
    {T::HoldingRegister, 28673, K::FormatCode, 0, saReadWrite, 4, 7},  // RTU formats only
    {T::HoldingRegister, 28676, K::BusAddress, 0, saReadWrite, 1, 247},
    {T::HoldingRegister, 28680, K::NetTimeout, 0, saReadWrite, 0, 600},
    {T::HoldingRegister, 32768, K::ClockField, 0, saReadWrite, 2000, 2099},
    {T::HoldingRegister, 32769, K::ClockField, 1, saReadWrite, 1, 12},
    {T::HoldingRegister, 32770, K::ClockField, 2, saReadWrite, 1, 31},
    {T::HoldingRegister, 32771, K::ClockField, 3, saReadWrite, 0, 23},
    {T::HoldingRegister, 32772, K::ClockField, 4, saReadWrite, 0, 59},
    {T::HoldingRegister, 32773, K::ClockField, 5, saReadWrite, 0, 59},
    {T::InputRegister, 36864, K::DeviceType, 0, saRead, 0, 0},
    {T::InputRegister, 36865, K::HardwareVersion, 0, saRead, 0, 0},
    {T::InputRegister, 36866, K::Identifier, 0, saRead, 0, 0},
    {T::InputRegister, 36867, K::Identifier, 1, saRead, 0, 0},
    {T::InputRegister, 36868, K::Identifier, 2, saRead, 0, 0},
    {T::InputRegister, 36869, K::FirmwareVersion, 0, saRead, 0, 0},
    {T::InputRegister, 36881, K::PowerStatus, 0, saRead, 0, 0},
    {T::HoldingRegister, 60000, K::Command, 0, saWrite, 21930, 21930},
    {T::HoldingRegister, 60018, K::FilterTypes, 0, saReadWrite, 0, 0x0FFF},
    {T::HoldingRegister, 60062, K::OutputsState, 0, saReadWrite, 0, 0x003F},
    {T::HoldingRegister, 60069, K::CountersReset, 0, saReadWrite, 0, 0x0FFF},
    // Writable in the table, but the module refuses the write (exception 4):
    // the inputs follow their terminals.
    {T::HoldingRegister, 60070, K::InputsState, 0, saReadWrite, 0, 0x0FFF},
};

std::vector<TzSimPoint> BuildMap() {
  std::vector<TzSimPoint> map(std::begin(kSinglePoints), std::end(kSinglePoints));
  for (uint8_t n = 1; n <= 6; ++n) {
    for (const TzBlockRow& row : kOutputBlock) {
      map.push_back({row.Table, static_cast<uint16_t>(SimOutputBase(n) + row.Offset), row.Kind, n,
                     row.Access, row.Min, row.Max});
    }
  }
  for (uint8_t input = 1; input <= 12; ++input) {
    const auto coil = static_cast<uint16_t>(128 * input - 127);
    map.push_back({T::Coil, coil, K::CounterReset, input, saReadWrite, 0, 1});
    map.push_back({T::Coil, static_cast<uint16_t>(coil + 1), K::FilterType, input, saReadWrite, 0, 1});
    map.push_back({T::DiscreteInput, static_cast<uint16_t>(input - 1), K::InputState, input, saRead, 0, 0});
    map.push_back({T::HoldingRegister, static_cast<uint16_t>(60070 + input), K::Counter, input,
                   saReadWrite, 0, 65535});
  }
  std::sort(map.begin(), map.end(), [](const TzSimPoint& a, const TzSimPoint& b) {
    return std::tie(a.Table, a.Reg) < std::tie(b.Table, b.Reg);
  });
  return map;
}

}  // namespace

std::span<const TzSimPoint> SimRegisterMap() {
  static const std::vector<TzSimPoint> map = BuildMap();
  return map;
}

const TzSimPoint* FindSimPoint(TzSimTable aTable, uint16_t aReg) {
  const std::span<const TzSimPoint> map = SimRegisterMap();
  const auto it = std::lower_bound(map.begin(), map.end(), std::make_tuple(aTable, aReg),
                                   [](const TzSimPoint& p, const std::tuple<TzSimTable, uint16_t>& key) {
                                     return std::tie(p.Table, p.Reg) < key;
                                   });
  if (it == map.end() || it->Table != aTable || it->Reg != aReg) return nullptr;
  return &*it;
}
