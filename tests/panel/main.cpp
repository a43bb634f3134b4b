// Widget tests run with the panel's own application object and no display.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "uPanelApplication.h"
#include "uPanelWindows.h"
#include "uTempLog.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // No test may touch the user's own options file.
  QTemporaryDir config;
  if (!config.isValid()) return 1;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  ::testing::InitGoogleTest(&argc, argv);
  TzPanelApplication app(argc, argv);
  // The log window receives what the panel logs; tests read its lines.
  TfrmTempLog log;
  SetTempLogWindow(&log);
  return RUN_ALL_TESTS();
}
