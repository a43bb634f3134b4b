#include "uSimBus.h"

#include "uSimLineTime.h"
#include "uUtils.h"

namespace {

bool Hears(const TzSimTermLine& aClient, const TzSimLine& aLine) {
  return aClient.BaudRate == kSimBaudRates[aLine.BaudCode] && aClient.StopBits == SimFormat(aLine.FormatCode).StopBits;
}

}  // namespace

TzSimModule& TzSimBus::AddModule(const TzSimConfig& aConfig, TzSimTimeSource aTime) {
  return *fModules.emplace_back(std::make_unique<TzSimModule>(aConfig, std::move(aTime)));
}

TzSimForeign& TzSimBus::AddForeign(const TzSimForeignConfig& aConfig) {
  return *fForeign.emplace_back(std::make_unique<TzSimForeign>(aConfig));
}

TzSimModule* TzSimBus::ModuleAt(int aAddress) {
  for (const auto& module : fModules) {
    if (module->Line().Address == aAddress) return module.get();
  }
  return nullptr;
}

TzSimForeign* TzSimBus::ForeignAt(int aAddress) {
  for (const auto& device : fForeign) {
    if (device->Line().Address == aAddress) return device.get();
  }
  return nullptr;
}

void TzSimBus::Tick() {
  for (const auto& module : fModules) module->Tick();
}

TzSimBusResult TzSimBus::HandleFrame(std::span<const uint8_t> aFrame, const TzSimTermLine* aClient) {
  TzSimBusResult result;
  // The same words as a lone module's, so a log reads alike with one device or many.
  if (aFrame.size() < 4) {
    result.Notes.push_back("ignored (too short): " + HexBytes(aFrame));
    return result;
  }
  if (!HasModbusCRC(aFrame)) {
    result.Notes.push_back("ignored (bad check sum): " + HexBytes(aFrame));
    return result;
  }
  Tick();  // a module whose restart ended listens at its new address
  const int address = aFrame[0];
  bool addressed = false;
  for (const auto& module : fModules) {
    const TzSimLine line = module->Line();
    if (address != 0 && address != line.Address) continue;
    addressed = true;
    Serve(line, aFrame, aClient, [&] { return module->HandleFrame(aFrame); }, result);
  }
  for (const auto& device : fForeign) {
    const TzSimLine line = device->Line();
    if (address != line.Address) continue;  // a foreign device ignores broadcasts too
    addressed = true;
    Serve(line, aFrame, aClient, [&] { return device->HandleFrame(aFrame); }, result);
  }
  if (!addressed) result.Notes.push_back("ignored (address " + std::to_string(address) + "): " + HexBytes(aFrame));
  return result;
}

void TzSimBus::Serve(const TzSimLine& aLine, std::span<const uint8_t> aFrame, const TzSimTermLine* aClient,
                     const std::function<TzSimReply()>& aHandle, TzSimBusResult& aResult) const {
  if (aClient != nullptr && !Hears(*aClient, aLine)) {
    aResult.Notes.push_back("ignored (not heard at " + SimTermLineText(*aClient) + "): " + HexBytes(aFrame));
    return;
  }
  TzSimReply reply = aHandle();
  aResult.Notes.push_back(std::move(reply.Note));
  if (reply.Bytes.empty()) return;
  TzSimBusAnswer answer;
  answer.BaudRate = kSimBaudRates[aLine.BaudCode];
  answer.DelayUs = int64_t{reply.DelayMs} * 1000;
  if (fWireTiming) answer.DelayUs += SimWireMicros(aFrame.size(), reply.Bytes.size(), answer.BaudRate, aLine.FormatCode);
  answer.Bytes = std::move(reply.Bytes);
  aResult.Answers.push_back(std::move(answer));
}

std::string TzSimBus::Describe() const {
  std::string text;
  for (const auto& module : fModules) text += "module: " + module->Status() + "\n";
  for (const auto& device : fForeign) text += "foreign: " + device->Status() + "\n";
  text += std::string("line: wire timing ") + (fWireTiming ? "on" : "off") + ", strict line " +
          (fStrictLine ? "on" : "off");
  return text;
}
