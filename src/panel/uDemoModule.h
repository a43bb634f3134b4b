// The panel's demo (rk7140-panel --demo): the virtual module rk7140-sim on a
// pseudo-terminal while the panel runs, offered as the selected port. This is
// what ./run.sh does for a checkout, for an installed panel.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class TzDemoModule {
public:
  // aProgram: the rk7140-sim to start (DemoSimProgram() finds the installed one).
  explicit TzDemoModule(QString aProgram);
  ~TzDemoModule();  // stops the module
  TzDemoModule(const TzDemoModule&) = delete;
  TzDemoModule& operator=(const TzDemoModule&) = delete;

  // Starts the module and waits until it serves its pseudo-terminal, then
  // puts the port first in RK7140_PORTS and gives the panel an options file
  // of its own in the demo's folder, so the port is the selected one and the
  // user's Options.xml stays as it was. False with aError saying why.
  bool Start(QString& aError);
  // Ends the module (its link goes with it); nothing when it is not running.
  void Stop();

  // The port the panel lists: a link in the demo's own folder.
  QString PortPath() const { return fRuntime.filePath(QStringLiteral("virtual-rk7140")); }
  bool Running() const { return fProcess.state() != QProcess::NotRunning; }

private:
  QString fProgram;
  QTemporaryDir fRuntime;
  QProcess fProcess;
};

// SIGTERM, SIGINT and SIGHUP end the event loop as closing the window does,
// so the demo's module and folder are cleaned up also at a logout or Ctrl+C.
void QuitOnTerminationSignals();

// The rk7140-sim beside the panel (the installed programs, /usr/bin), in the
// build tree (build/main/tools/sim), or on PATH; empty when there is none.
QString DemoSimProgram();
