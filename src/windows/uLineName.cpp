#include "uLineName.h"

#include "uSerialPorts.h"

QString LineName(int32_t aComPort) {
  QString name = QString::fromStdString(PortDeviceName(aComPort));
  // Windows opens ports from COM10 on as "\\.\COM"n; people call them COM"n.
  if (name.startsWith(QStringLiteral("\\\\.\\"))) name.remove(0, 4);
  return name.isEmpty() ? QStringLiteral("COM%1").arg(aComPort) : name;
}

QString LineFileName(int32_t aComPort) {
  QString name = LineName(aComPort);
  if (name.startsWith(QStringLiteral("/dev/"))) name.remove(0, 5);
  for (QChar& ch : name)
    if (ch == u'/' || ch == u'\\' || ch == u':') ch = u'-';
  return name;
}
