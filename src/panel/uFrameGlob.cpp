#include "uFrameGlob.h"

#include <QRandomGenerator>
#include <QWidget>
#include <map>
#include <vector>

namespace {

std::vector<TzDevFrameInfo>& Entries() {
  static std::vector<TzDevFrameInfo> list;
  return list;
}

std::map<std::string, TzDevFrameFactory>& Classes() {
  static std::map<std::string, TzDevFrameFactory> classes;
  return classes;
}

}  // namespace

void RegisterFrameClass(const std::string& aFrameName, TzDevFrameFactory aFactory) {
  Classes()[aFrameName] = std::move(aFactory);
}

void RegisterDevFrame(const std::string& aDevName, int32_t aDevVer, const std::string& aFrameName) {
  Entries().push_back({aDevName, aDevVer, aFrameName});
}

const TzDevFrameFactory* FindDevFrameClass(const std::string& aDevName, int32_t aDevVer) {
  for (const TzDevFrameInfo& entry : Entries()) {
    if (entry.DevName == aDevName && entry.DevVer == aDevVer) {
      auto it = Classes().find(entry.FrameName);
      return it == Classes().end() || !it->second ? nullptr : &it->second;
    }
  }
  return nullptr;
}

QWidget* CreateDevFrame(const std::string& aDevName, int32_t aDevVer, QWidget* aParent) {
  const TzDevFrameFactory* factory = FindDevFrameClass(aDevName, aDevVer);
  if (factory == nullptr) return nullptr;
  QWidget* frame = (*factory)(aParent);
  if (frame == nullptr) return nullptr;
  // Two draws one after the other, each in 0..2147483646.
  const quint32 first = QRandomGenerator::global()->bounded(2147483647u);
  const quint32 second = QRandomGenerator::global()->bounded(2147483647u);
  frame->setObjectName(QStringLiteral("Frame%1%2").arg(first).arg(second));
  return frame;
}

const std::vector<TzDevFrameInfo>& DevFrameList() { return Entries(); }
