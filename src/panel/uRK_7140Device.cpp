// The frame's side of the input and device panels: building and plugging them
// in, the filter display of the refresh, the counters of the poll, the RS-485
// apply with its copy into the connection panel, and the restart.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "uBlinker.h"
#include "uButtonActivation.h"
#include "uCounterPanel.h"
#include "uDevicePanel.h"
#include "uDeviceSettings.h"
#include "uFilterPanel.h"
#include "uOutputsPanel.h"
#include "uSettingsPanel.h"
#include "uRK_7140.h"
#include "uSystemPanel.h"
#include "uTempLog.h"

void TfrRK_7140::BuildInputAndDevicePanels() {
  panDIn_Filter = new TzFilterPanel(this, *fController);
  panDIn_Imp = new TzCounterPanel(this, *fController);
  panRS485 = new TzDevicePanel(this);
  panSystem = new TzSystemPanel(this, *fController, [this] { CloseAllPanel(); });
  OnButtonActivated(panRS485->btnRS485_Apply, this, [this] { btnRS485_ApplyClick(); });

  panSettings = new TzSettingsPanel(this, *fController);
  panSettings->ReadOverSource = [this] {
    return TzReadOver{cbComPort->currentText().toStdString(), fController->DevAddr(), BaudRate,
                      cbLineFormat->currentIndex()};
  };
  // The outputs panel's copy follows what was written.
  panSettings->OnRestored = [this] {
    const TzTryValue tryValue = [this](int32_t aID, int32_t& aValue) { return fController->TryValueByID(aID, aValue); };
    for (int n = 1; n <= kOutputCount; ++n) ReadOutputParams(tryValue, n, fController->DOUT(n));
    panDOut->btnDOUT1PanClick(panDOut->CurrDoutIndx);
  };
  // As "Применить" of "Устройство": the next connection uses them, "!" waits for the restart.
  panSettings->OnLineWritten = [this](const TzRS485Settings& aLine) {
    txtLineAddr->setText(QString::number(aLine.Address));
    cbLineBaudRate->setCurrentIndex(aLine.BaudIndex);
    cbLineFormat->setCurrentIndex(aLine.FormatIndex);
    cbComPortChange(nullptr);
    SaveOptions();
    labNeedReset->show();
  };
}

void TfrRK_7140::SetDIN_Filter(int aIndex, int32_t aType) { panDIn_Filter->SetDIN_Filter(aIndex, aType); }

void TfrRK_7140::ShowImpCounters(const std::vector<int32_t>& aCounters) { panDIn_Imp->ShowImpCounters(aCounters); }

void TfrRK_7140::btnRS485_ApplyClick() {
  if (!fController->Connected()) return;
  AddTempLog(QString(), clTempLogNavy);
  TzRS485Field failed = TzRS485Field::Address;
  const std::optional<TzRS485Settings> settings =
      ParseRS485Settings(panRS485->txtAddr->text().toStdString(), panRS485->txtTimeout->text().toStdString(),
                         panRS485->cbBaudRate->currentIndex(), panRS485->cbFormat->currentIndex(), failed);
  if (!settings) {
    BlinkEdit(failed == TzRS485Field::Address ? panRS485->txtAddr : panRS485->txtTimeout);
    return;
  }
  // The next connection uses the new settings; the running one keeps its own.
  txtLineAddr->setText(panRS485->txtAddr->text());
  cbLineBaudRate->setCurrentIndex(panRS485->cbBaudRate->currentIndex());
  cbLineFormat->setCurrentIndex(panRS485->cbFormat->currentIndex());
  cbComPortChange(nullptr);
  SaveOptions();

  panRS485->hide();
  SetCheckedQuietly(btnRS485, false);
  labNeedReset->show();
  WriteRS485Settings(*fController, *settings);
}

void TfrRK_7140::btnResetClick() {
  if (fController->RestartModule()) labNeedReset->hide();
}
