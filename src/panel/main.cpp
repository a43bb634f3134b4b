// The RK-7140 control panel: one main window with the module's frame, and the
// message log and version windows beside it. No command-line arguments are used.
#include <QApplication>
#include <exception>

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
  TfrRK_7140::Register();
  TfrmMain mainWindow(&tempLog);
  TfrmVerInfo verInfo(&mainWindow);
  SetVerInfoWindow(&verInfo);
  mainWindow.show();
  const int code = app.exec();
  SetVerInfoWindow(nullptr);
  SetTempLogWindow(nullptr);
  return code;
}
