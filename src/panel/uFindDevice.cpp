#include "uFindDevice.h"

TfrmFindDevice::TfrmFindDevice(QObject* aParent, TzFindEngineFactory aFactory)
    : QObject(aParent), TzBusSearch(std::move(aFactory)) {
  // A job left over after the component is gone is dropped by Qt together
  // with its context object.
  SetMainThreadPost([this](std::function<void()> aJob) {
    QMetaObject::invokeMethod(this, std::move(aJob), Qt::QueuedConnection);
  });
}

namespace {
TfrmFindDevice* gFindDevice = nullptr;
}  // namespace

void SetFindDeviceComponent(TfrmFindDevice* aComponent) { gFindDevice = aComponent; }

TfrmFindDevice* FindDeviceComponent() { return gFindDevice; }
