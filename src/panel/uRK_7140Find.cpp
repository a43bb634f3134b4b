// The frame's side of the bus search: the search picture starts and stops
// it, the connection controls wait meanwhile, the search panel lists what
// answered, and a module picked there goes into the connection panel.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "uBlinker.h"
#include "uButtonActivation.h"
#include "uFindDevice.h"
#include "uFindPanel.h"
#include "uModulePictures.h"
#include "uPanelControls.h"
#include "uPanelRules.h"
#include "uRK_7140.h"
#include "uTempLog.h"
#include "uUtils.h"

namespace {

const QString kFindCaption = QStringLiteral("Поиск устройств");

}  // namespace

void TfrRK_7140::BuildFindPanel() {
  // The program's component when there is one; a frame made on its own
  // (tests, tools) brings its own.
  frmFindDevice = FindDeviceComponent();
  if (frmFindDevice == nullptr) {
    fOwnFindDevice = std::make_unique<TfrmFindDevice>();
    frmFindDevice = fOwnFindDevice.get();
  }
  panFind = new TzFindPanel(this);
  connect(panFind->FindListBox, &TzFindListBox::Picked, this, [this] { FindListBoxClick(); });
  connect(panFind->FindListBox, &TzFindListBox::Chosen, this, [this] { FindListBoxDblClick(); });
  OnButtonActivated(imgFindDevice, this, [this] { imgFindDeviceClick(); });
  ShowFindPicture(false);
}

void TfrRK_7140::ShowFindPicture(bool aSearching) {
  imgFindDevice->setIcon(QIcon(aSearching ? FindBusyIconPixmap(devicePixelRatioF()) : FindIconPixmap(devicePixelRatioF())));
  SetHint(imgFindDevice, kFindCaption,
          aSearching ? QStringLiteral("Идёт поиск; нажмите, чтобы остановить")
                     : QStringLiteral("Опрашивает адреса 1..247 на линии"));
}

void TfrRK_7140::SetConnectionControlsEnabled(bool aEnabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{cbComPort, txtLineAddr, cbLineBaudRate, cbLineFormat,
                                                          txtLineTimeout, panFind->FindListBox})
    control->setEnabled(aEnabled);
}

void TfrRK_7140::PlaceFindPanel() {
  if (panFind->parentWidget() != this) panFind->setParent(this);
  panFind->move(panComPort->x() + panComPort->width() + 1, panComPort->y());
}

void TfrRK_7140::imgFindDeviceClick() {
  if (fController->Connected()) return;
  if (frmFindDevice->InFindProgress()) FindStop();
  else FindStart();
}

void TfrRK_7140::FindStart() {
  if (fController->Connected() || frmFindDevice->InFindProgress()) return;
  // The address field must hold a module's address before any use of the line.
  int32_t addr = 0;
  if (!CheckLineAddr(addr)) return;
  int32_t timeout = 0;
  if (!TryStrToInt32(txtLineTimeout->text().toStdString(), timeout)) {
    BlinkEdit(txtLineTimeout);
    return;
  }
  if (!CheckTimeout(timeout, BaudRate)) {
    timeout = GetTimeout(BaudRate);
    txtLineTimeout->setText(QString::number(timeout));
    BlinkEdit(txtLineTimeout);
  }
  SetConnectionControlsEnabled(false);
  // The panel's own engine, idle since a restart, lets go of the port.
  fController->ReleasePort();

  frmFindDevice->SetComPort(ComPort);
  frmFindDevice->SetEndpoint(ComEndpoint.toStdString());
  frmFindDevice->SetBaudRate(BaudRate);
  frmFindDevice->SetTimeout(timeout);
  frmFindDevice->SetFormat(cbLineFormat->currentIndex());
  frmFindDevice->OnFindAddr = [this](int32_t aAddr, const TStringBytes& aAnswer) { FindAddrProc(aAddr, aAnswer); };
  frmFindDevice->OnFindProcess = [this](int32_t aPos) { FindProcessProc(aPos); };

  btnConnect->setEnabled(false);
  ShowFindPicture(true);
  PlaceFindPanel();
  panFind->show();
  panFind->raise();
  panFind->Clear();
  frmFindDevice->Cycled = true;
  if (!frmFindDevice->Start()) {
    AddTempLog(QStringLiteral("Ошибка: порт %1 не открылся для поиска устройств (код %2): %3")
                   .arg(cbComPort->currentText())
                   .arg(frmFindDevice->StartError())
                   .arg(QString::fromStdString(
                       LinkErrorText(frmFindDevice->StartLinkError(), {}, TzTextLanguage::Russian))),
               clTempLogNavy);
    FindStop();
    TryFindPanVisible();
    return;
  }
  panFind->aniAdvProgress->setValue(kFindFirstAddr);
  panFind->aniAdvProgress->show();
}

void TfrRK_7140::FindStop() {
  // Also the way back to idle when the port did not open: the search never
  // ran, but the controls were already waiting for it.
  if (frmFindDevice->InFindProgress()) frmFindDevice->Stop();
  ShowFindPicture(false);
  panFind->aniAdvProgress->hide();
  panFind->RemoveCounterLine();
  if (!fController->Connected()) btnConnect->setEnabled(true);
  SetConnectionControlsEnabled(true);
}

void TfrRK_7140::FindProcessProc(int32_t aPos) {
  if (!frmFindDevice->InFindProgress()) return;
  panFind->aniAdvProgress->setValue(aPos);
  panFind->Progress(aPos);
}

void TfrRK_7140::FindAddrProc(int32_t aAddr, const TStringBytes& aAnswer) {
  TzFindDevice settings;
  settings.ComPortIndx = cbComPort->currentIndex();
  settings.BaudRateIndx = cbLineBaudRate->currentIndex();
  settings.FormatIndx = cbLineFormat->currentIndex();
  settings.Timeout = txtLineTimeout->text().toStdString();
  panFind->AddAnswer(aAddr, aAnswer.AsBytes(), settings);
}

void TfrRK_7140::FindListBoxClick() {
  const TzFindDevice* device = panFind->CurrentDevice();
  if (device == nullptr) return;
  auto pick = [](QComboBox* aList, int32_t aIndex) {
    if (aIndex >= 0 && aIndex < aList->count()) aList->setCurrentIndex(aIndex);
  };
  pick(cbComPort, device->ComPortIndx);
  pick(cbLineBaudRate, device->BaudRateIndx);
  pick(cbLineFormat, device->FormatIndx);
  // Copies first: the fields' change handler saves the options as it goes.
  const QString addr = QString::number(device->Addr);
  const QString timeout = QString::fromStdString(device->Timeout);
  txtLineAddr->setText(addr);
  txtLineTimeout->setText(timeout);
  cbComPortChange(nullptr);
}

void TfrRK_7140::FindListBoxDblClick() {
  // Only a module's line connects; the progress and "Unknown" lines do nothing.
  if (panFind->CurrentDevice() == nullptr) return;
  FindListBoxClick();
  if (!fController->Connected() && btnConnect->isEnabled()) btnConnectClick();
}

void TfrRK_7140::TryFindPanVisible() {
  const bool show = !fController->Connected() && panFind->Count() > 0 && !panComPort->isHidden();
  if (show) {
    PlaceFindPanel();
    panFind->show();
    panFind->raise();
  } else {
    panFind->hide();
  }
}
