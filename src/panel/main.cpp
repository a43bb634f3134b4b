// The RK-7140 control panel: one main window with the module's frame, and the
// message log and version windows beside it, and the bus search component. No command-line arguments are used.
#include <QApplication>
#include <exception>

#include "uFindDevice.h"
#include "uMain.h"
#include "uPanelApplication.h"
#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uTempLog.h"
#include "uVerInfo.h"

int main(int argc, char* argv[]) {
  TzPanelApplication app(argc, argv);
  // The log exists before the frame so that a failed template load is logged.
  TfrmTempLog tempLog;
  SetTempLogWindow(&tempLog);
  // The search component outlives the frame that uses it.
  TfrmFindDevice findDevice;
  SetFindDeviceComponent(&findDevice);
  TfrRK_7140::Register();
  TfrmMain mainWindow(&tempLog);
  TfrmVerInfo verInfo(&mainWindow);
  SetVerInfoWindow(&verInfo);
  mainWindow.show();
  const int code = app.exec();
  SetVerInfoWindow(nullptr);
  SetFindDeviceComponent(nullptr);
  SetTempLogWindow(nullptr);
  return code;
}
