// What the frame tests share: a private options folder, a fixed port list,
// recorded message boxes and a way to run the event loop until a condition
// holds (with a generous guard against hanging).
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uTempLog.h"

struct TzRecordedBox {
  TzPanelBoxKind Kind;
  QString Title;
  QString Text;
};

class FrameTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fConfig.isValid());
    fOldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", fConfig.path().toUtf8());
    SetPanelBoxHandler([this](TzPanelBoxKind aKind, const QString& aTitle, const QString& aText) {
      Boxes.push_back({aKind, aTitle, aText});
    });
    Ports = {{"/dev/ttyS0", 1}, {"/dev/ttyUSB3", 1003}, {"/dev/pts/7", 100001}, {"COM4", 4}};
    TfrRK_7140::SetSerialPortSource([this] { return Ports; });
    ClearTempLog(TzTempLogCounts{});
  }
  void TearDown() override {
    TfrRK_7140::SetSerialPortSource(nullptr);
    SetPanelBoxHandler(nullptr);
    qputenv("XDG_CONFIG_HOME", fOldConfigHome);
  }

  QString OptionsPath() const { return fConfig.path() + QStringLiteral("/rk7140/Options.xml"); }

  // Runs the event loop until aDone is true; false when 10 s pass first.
  static bool PumpUntil(const std::function<bool()>& aDone) {
    QElapsedTimer guard;
    guard.start();
    while (!aDone()) {
      if (guard.elapsed() > 10000) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(1);
    }
    return true;
  }

  // A user's choice in a list (emits activated like a click would).
  static void Choose(QComboBox* aList, int aIndex);

  std::vector<TzSerialPortInfo> Ports;
  std::vector<TzRecordedBox> Boxes;

private:
  QTemporaryDir fConfig;
  QByteArray fOldConfigHome;
};

#include <QComboBox>

inline void FrameTest::Choose(QComboBox* aList, int aIndex) {
  aList->setCurrentIndex(aIndex);
  emit aList->activated(aIndex);
}

// The log's lines that contain aText.
inline int LogLinesWith(const QString& aText) {
  int count = 0;
  for (const TzTempLogLine& line : TempLogLines())
    if (line.Text.contains(aText)) ++count;
  return count;
}
