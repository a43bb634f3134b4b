// The device-frame registry: which frame class shows which device model.
//
// A frame class is registered by name with a factory; a device entry maps a
// model name and version to such a class name. The main window asks the
// registry for the frame of its device and places it in itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

struct TzDevFrameInfo {
  std::string DevName;
  int32_t DevVer = 0;
  std::string FrameName;
};

// Creates a frame as a child of aParent (in Qt the parent is also the owner).
using TzDevFrameFactory = std::function<QWidget*(QWidget* aParent)>;

// Registers a frame class under its class name; a second registration of the
// same name replaces the factory.
void RegisterFrameClass(const std::string& aFrameName, TzDevFrameFactory aFactory);

// Appends an entry to the device list.
void RegisterDevFrame(const std::string& aDevName, int32_t aDevVer, const std::string& aFrameName);

// The factory of the class named by the first entry whose name equals aDevName
// exactly and whose version equals aDevVer; nullptr when there is none or the
// class is not registered.
const TzDevFrameFactory* FindDevFrameClass(const std::string& aDevName, int32_t aDevVer);

// Creates the frame for the device inside aParent and names it "Frame"
// followed by two random numbers in 0..2147483646; nullptr, and nothing
// created, when no class is registered for the device.
QWidget* CreateDevFrame(const std::string& aDevName, int32_t aDevVer, QWidget* aParent);

// The device entries in registration order (for tests and diagnostics).
const std::vector<TzDevFrameInfo>& DevFrameList();
