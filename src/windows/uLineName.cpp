#include "uLineName.h"

#include "uSerialPorts.h"

QString LineName(int32_t aComPort) {
  const QString name = LineName(QString::fromStdString(PortDeviceName(aComPort)));
  return name.isEmpty() ? QStringLiteral("COM%1").arg(aComPort) : name;
}

QString LineName(const QString& aEndpoint) {
  QString name = aEndpoint;
  // Windows opens ports from COM10 on by their long name; people call them COM"n.
  const QString longForm = QStringLiteral("\\\\.\\");
  if (name.startsWith(longForm)) name.remove(0, longForm.size());
  return name;
}

QString LineFileName(int32_t aComPort) { return LineFileName(LineName(aComPort)); }

QString LineFileName(const QString& aEndpoint) {
  QString name = LineName(aEndpoint);
  if (name.startsWith(QStringLiteral("/dev/"))) name.remove(0, 5);
  name.replace(QStringLiteral("://"), QStringLiteral("_"));
  for (QChar& ch : name)
    if (ch == u'/' || ch == u'\\' || ch == u':') ch = u'-';
  return name;
}
