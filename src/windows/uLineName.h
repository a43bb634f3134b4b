// The name the panel's windows and log lines give the line of a port: the
// device the port opens (the device path on Linux, "COM"n on Windows) or a
// network port's endpoint, not the number, which on Linux is only the key of
// the port list and the options file (100001 is the first path of
// RK7140_PORTS).
#pragma once

#include <QString>

#include <cstdint>

// "/dev/ttyUSB0", "/dev/pts/3", "COM3"; "COM"n when the number names no device.
QString LineName(int32_t aComPort);
// The name of an endpoint: a device as above, a network port as its text
// ("tcp://10.0.0.5:4001").
QString LineName(const QString& aEndpoint);
// The same as a part of a file name: "ttyUSB0", "pts-3", "COM3", "tcp_10.0.0.5-4001".
QString LineFileName(int32_t aComPort);
QString LineFileName(const QString& aEndpoint);
