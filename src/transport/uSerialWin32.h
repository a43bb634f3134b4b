// What the Windows backend file offers besides the backend itself.
#pragma once

#ifdef _WIN32
#include <string>
#include <vector>

// The data of the values under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM ("COM3", ...).
std::vector<std::string> SystemSerialPortNames();
#endif
