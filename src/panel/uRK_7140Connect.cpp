// The connection panel of the frame: the port list, the line settings, the
// options file and the field checks before a connect.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "uBlinker.h"
#include "uEndpoint.h"
#include "uNetworkPort.h"
#include "uDevicePanel.h"
#include "uFindDevice.h"
#include "uLineRules.h"
#include "uOptions.h"
#include "uPanelRules.h"
#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uTempLog.h"
#include "uUtils.h"

namespace {

// Item data beyond the port number (Qt::UserRole): a network port's endpoint,
// and the mark of the "Сетевой порт…" item.
constexpr int kEndpointRole = Qt::UserRole + 1;
constexpr int kNetworkPromptRole = Qt::UserRole + 2;
const QString kNetworkPromptCaption = QStringLiteral("Сетевой порт…");

bool IsNetworkPrompt(const QComboBox* aList, int aIndex) {
  return aIndex >= 0 && aList->itemData(aIndex, kNetworkPromptRole).toBool();
}

QString NetworkEndpointOf(const QComboBox* aList, int aIndex) {
  return aIndex >= 0 ? aList->itemData(aIndex, kEndpointRole).toString() : QString();
}

std::vector<std::string> NetworkPortsOf(const QComboBox* aList) {
  std::vector<std::string> ports;
  for (int i = 0; i < aList->count(); ++i)
    if (const QString endpoint = NetworkEndpointOf(aList, i); !endpoint.isEmpty()) ports.push_back(endpoint.toStdString());
  return ports;
}

}  // namespace

void TfrRK_7140::EnumSerialPorts() {
  cbComPort->clear();
  const std::vector<TzSerialPortInfo> ports = SerialPortList();
  for (const TzSerialPortInfo& port : ports)
    cbComPort->addItem(QString::fromStdString(port.Name), port.Number);
  if (cbComPort->count() == 0) {
    ShowPanelBox(this, TzPanelBoxKind::Warning, QStringLiteral("Предупреждение"),
                 QStringLiteral("Не удалось обнаружить ни одного СОМ-порта\r\n"
                                "Попробуйте запустить программу с правами Администратора"));
    // "COM"n is port number n everywhere; on Linux that number opens /dev/ttyS(n-1).
    for (int n = 1; n <= 255; ++n) cbComPort->addItem(QStringLiteral("COM%1").arg(n), n);
  }
  // Last: the way to a device server or a Modbus TCP gateway.
  cbComPort->addItem(kNetworkPromptCaption, 0);
  cbComPort->setItemData(cbComPort->count() - 1, true, kNetworkPromptRole);
  cbComPort->setCurrentIndex(0);
}

void TfrRK_7140::SelectNetworkPort(const QString& aEndpoint) {
  int index = -1;
  for (int i = 0; i < cbComPort->count() && index < 0; ++i)
    if (NetworkEndpointOf(cbComPort, i) == aEndpoint) index = i;
  if (index < 0) {
    // Before the "Сетевой порт…" item, which stays last.
    index = cbComPort->count() > 0 && IsNetworkPrompt(cbComPort, cbComPort->count() - 1) ? cbComPort->count() - 1
                                                                                          : cbComPort->count();
    cbComPort->insertItem(index, aEndpoint, 0);
    cbComPort->setItemData(index, aEndpoint, kEndpointRole);
  }
  cbComPort->setCurrentIndex(index);
  cbComPortChange(nullptr);
}

void TfrRK_7140::cbComPortActivated(int aIndex) {
  if (!IsNetworkPrompt(cbComPort, aIndex)) {
    cbComPortChange(cbComPort);
    return;
  }
  const QString current = NetworkEndpointOf(cbComPort, fLastPortIndex);
  if (const std::optional<QString> endpoint = PromptNetworkPort(this, current)) {
    SelectNetworkPort(*endpoint);
    return;
  }
  if (fLastPortIndex >= 0 && fLastPortIndex < cbComPort->count()) cbComPort->setCurrentIndex(fLastPortIndex);
  cbComPortChange(cbComPort);
}

void TfrRK_7140::cbComPortChange(QObject* aSender) {
  const int index = cbComPort->currentIndex();
  const QString network = NetworkEndpointOf(cbComPort, index);
  if (index < 0 || IsNetworkPrompt(cbComPort, index)) {
    ComPort = 0;
    ComEndpoint.clear();
  } else if (!network.isEmpty()) {
    ComPort = 0;
    ComEndpoint = network;
  } else {
#ifdef _WIN32
    ComPort = PortDigitsNumber(cbComPort->currentText());
#else
    // Linux items are device paths: the number is the one the transport gave.
    const QVariant number = cbComPort->currentData();
    ComPort = number.isValid() ? number.toInt() : PortDigitsNumber(cbComPort->currentText());
#endif
    ComEndpoint = QString::fromStdString(PortDeviceName(ComPort));
  }
  if (!IsNetworkPrompt(cbComPort, index)) fLastPortIndex = index;
  BaudRate = cbLineBaudRate->currentText().toInt();
  if (aSender == cbLineBaudRate) txtLineTimeout->setText(QString::number(GetTimeout(BaudRate)));
  SaveOptions();
}

void TfrRK_7140::LoadOptions() {
  TzOptionsValues values;
  if (!LoadOptionsFile(OptionsFilePath(), values)) return;
  // Network ports come back into the list as they were; one that does not
  // read as an endpoint is dropped.
  for (const std::string& endpoint : values.NetworkPorts)
    if (IsNetworkEndpoint(endpoint)) SelectNetworkPort(QString::fromStdString(endpoint));
  cbComPort->setCurrentIndex(cbComPort->count() > 0 ? 0 : -1);
  if (values.Endpoint && IsNetworkEndpoint(*values.Endpoint)) {
    SelectNetworkPort(QString::fromStdString(*values.Endpoint));
  } else if (values.Indx) {
#ifdef _WIN32
    cbComPort->setCurrentIndex(cbComPort->findText(QStringLiteral("COM%1").arg(*values.Indx)));
#else
    cbComPort->setCurrentIndex(cbComPort->findData(*values.Indx));
#endif
  }
  if (values.Addr) txtLineAddr->setText(QString::number(*values.Addr));
  // An index outside a list leaves the list as it was.
  if (values.BaudRate && *values.BaudRate >= 0 && *values.BaudRate < cbLineBaudRate->count())
    cbLineBaudRate->setCurrentIndex(*values.BaudRate);
  if (values.Format && *values.Format >= 0 && *values.Format < cbLineFormat->count())
    cbLineFormat->setCurrentIndex(*values.Format);
  if (values.Timeout) txtLineTimeout->setText(QString::number(*values.Timeout));
  cbComPortChange(nullptr);
}

void TfrRK_7140::SaveOptions() {
  if (InitMode) return;
  TzOptionsRecord record;
  record.Indx = ComPort;
  record.Addr = txtLineAddr->text().toStdString();
  record.BaudRate = cbLineBaudRate->currentIndex();
  record.Format = cbLineFormat->currentIndex();
  record.Timeout = txtLineTimeout->text().toStdString();
  if (IsNetworkEndpoint(ComEndpoint.toStdString())) record.Endpoint = ComEndpoint.toStdString();
  record.NetworkPorts = NetworkPortsOf(cbComPort);
  std::string error;
  if (!SaveOptionsFile(OptionsFilePath(), record, error))
    AddTempLog(QStringLiteral("Ошибка: ") + QString::fromStdString(error), clTempLogNavy);
}

void TfrRK_7140::btnConnectClick() {
  // The search has the port meanwhile.
  if (FindDevice().InFindProgress()) return;
  if (fController->Connected()) {
    fController->Disconnect();
    return;
  }
  // The log is emptied for the new attempt; the exception counters stay.
  ClearTempLog(fController->TempLogCounts());
  DoConnect();
  TryFindPanVisible();
}

bool TfrRK_7140::CheckLineAddr(int32_t& aAddr) {
  // An address outside 1..247 would go out as its low byte or as a broadcast.
  int32_t addr = 0;
  if (!TryStrToInt32(txtLineAddr->text().toStdString(), addr) || !IsDeviceAddress(addr)) {
    BlinkEdit(txtLineAddr);
    return false;
  }
  aAddr = addr;
  return true;
}

bool TfrRK_7140::DoConnect() {
  TzConnectSettings settings;
  if (!CheckLineAddr(settings.DevAddr)) return false;
  if (!TryStrToInt32(txtLineTimeout->text().toStdString(), settings.Timeout)) {
    BlinkEdit(txtLineTimeout);
    return false;
  }
  if (!CheckTimeout(settings.Timeout, BaudRate)) {
    settings.Timeout = GetTimeout(BaudRate);
    txtLineTimeout->setText(QString::number(settings.Timeout));
    BlinkEdit(txtLineTimeout);
  }
  if (ComEndpoint.isEmpty()) {  // nothing selected
    BlinkEdit(cbComPort);
    return false;
  }
  settings.ComPort = ComPort;
  settings.Endpoint = ComEndpoint.toStdString();
  settings.BaudRate = BaudRate;
  settings.FormatIndex = cbLineFormat->currentIndex();
  // The module's own settings panel starts from what the connection uses;
  // its time-out (seconds, not the line's milliseconds) keeps its text.
  panRS485->Fill(txtLineAddr->text(), cbLineBaudRate->currentIndex(), cbLineFormat->currentIndex());
  fController->Connect(settings);
  return true;
}
