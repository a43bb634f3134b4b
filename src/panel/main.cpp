// The RK-7140 control panel: one main window with the module's frame, and the
// message log and version windows beside it, and the bus search component.
// Options: --demo (the panel on the virtual module), --version, --help.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <exception>
#include <memory>

#include "uDemoModule.h"
#include "uFindDevice.h"
#include "uMain.h"
#include "uPanelApplication.h"
#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uTempLog.h"
#include "uVerInfo.h"
#include "uVersion.h"

int main(int argc, char* argv[]) {
  TzPanelApplication app(argc, argv);
  QCoreApplication::setApplicationVersion(QString::fromUtf8(kVersion));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Control panel for the RK-7140 serial I/O module (Modbus RTU)."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption demoOption(
      QStringLiteral("demo"),
      QStringLiteral("Start the virtual module rk7140-sim on a pseudo-terminal and offer it as the selected port; "
                     "it stops when the panel closes."));
  parser.addOption(demoOption);
  parser.process(app);  // --help, --version and unknown options end here

  // The demo's module starts before the frame lists the ports.
  std::unique_ptr<TzDemoModule> demo;
  QString demoError;
  if (parser.isSet(demoOption)) {
    app.setDesktopFileName(QStringLiteral("rk7140-panel-demo"));
    demo = std::make_unique<TzDemoModule>(DemoSimProgram());
    if (demo->Start(demoError)) {
      QuitOnTerminationSignals();
      std::printf("Virtual RK-7140 module (address 16, 9600 8N1) on %s\n", qPrintable(demo->PortPath()));
      std::fflush(stdout);
    } else {
      std::fprintf(stderr, "rk7140-panel: the demo's virtual module did not start: %s\n", qPrintable(demoError));
      demo.reset();
    }
  }

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
  if (!demoError.isEmpty())
    ShowPanelBox(&mainWindow, TzPanelBoxKind::Warning, QStringLiteral("Предупреждение"),
                 QStringLiteral("Демонстрационный режим недоступен: ") + demoError);
  const int code = app.exec();
  SetVerInfoWindow(nullptr);
  SetFindDeviceComponent(nullptr);
  SetTempLogWindow(nullptr);
  return code;
}
