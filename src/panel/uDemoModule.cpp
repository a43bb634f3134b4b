#include "uDemoModule.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#include <QSocketNotifier>
#endif
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "uSerialPorts.h"

namespace {
constexpr int kStartMs = 5000;  // a module that is not ready by then will not be
constexpr int kStopMs = 3000;
}  // namespace

TzDemoModule::TzDemoModule(QString aProgram) : fProgram(std::move(aProgram)) {
  // The module's messages (a port it cannot make, a bad option) go where the panel's go.
  fProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef __linux__
  // However the panel ends, even killed, the module ends with it and removes its link.
  fProcess.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
}

TzDemoModule::~TzDemoModule() { Stop(); }

bool TzDemoModule::Start(QString& aError) {
  if (fProgram.isEmpty() || !QFileInfo(fProgram).isExecutable()) {
    aError = QStringLiteral("не найдена программа виртуального модуля rk7140-sim");
    return false;
  }
  if (!fRuntime.isValid()) {
    aError = QStringLiteral("не удалось создать временную папку: ") + fRuntime.errorString();
    return false;
  }
  fProcess.start(fProgram, {QStringLiteral("--link"), PortPath()});
  if (!fProcess.waitForStarted(kStartMs)) {
    aError = QStringLiteral("%1 не запустилась: %2").arg(fProgram, fProcess.errorString());
    return false;
  }
  // The module's first line, "ready: /dev/pts/N", says it serves the port.
  QDeadlineTimer deadline(kStartMs);
  bool ready = false;
  while (!ready && !deadline.hasExpired() && fProcess.state() == QProcess::Running) {
    if (!fProcess.canReadLine() && !fProcess.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) continue;
    while (fProcess.canReadLine())
      if (fProcess.readLine().startsWith("ready: ")) ready = true;
  }
  if (!ready) {
    aError = QStringLiteral("виртуальный модуль не подготовил порт (%1)").arg(fProgram);
    Stop();
    return false;
  }
  const QByteArray variable(kPortListVariable.data(), static_cast<qsizetype>(kPortListVariable.size()));
  const QByteArray others = qgetenv(variable.constData());
  qputenv(variable.constData(), QFile::encodeName(PortPath()) + (others.isEmpty() ? QByteArray() : ":" + others));
  // The demo's settings live and end with the demo.
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(fRuntime.filePath(QStringLiteral("config"))));
  return true;
}

void TzDemoModule::Stop() {
  if (fProcess.state() == QProcess::NotRunning) return;
  fProcess.terminate();  // SIGTERM: the module removes its link and ends
  if (!fProcess.waitForFinished(kStopMs)) {
    fProcess.kill();
    fProcess.waitForFinished(kStopMs);
  }
}

#ifndef _WIN32
namespace {
int gSignalPipe[2] = {-1, -1};
void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);  // async-signal-safe
}
}  // namespace

void QuitOnTerminationSignals() {
  if (gSignalPipe[0] >= 0 || ::pipe(gSignalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}
#else
void QuitOnTerminationSignals() {}
#endif

QString DemoSimProgram() {
  const QString name = QStringLiteral("rk7140-sim");
  const QDir here(QCoreApplication::applicationDirPath());
  for (const QString& candidate : {here.filePath(name), here.filePath(QStringLiteral("../../tools/sim/") + name)})
    if (QFileInfo(candidate).isExecutable()) return QFileInfo(candidate).canonicalFilePath();
  return QStandardPaths::findExecutable(name);
}
