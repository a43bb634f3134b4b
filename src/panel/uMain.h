// The main window of the panel: a fixed-size window that hosts the frame the
// device-frame registry makes for the RK-7140.
#pragma once

#include <QProxyStyle>
#include <QWidget>

class TfrmTempLog;

// Hints appear 200 ms after the pointer rests and stay up to 100 s.
inline constexpr int kHintPauseMs = 200;
inline constexpr int kHintHideMs = 100000;

// The application's hint delay for every widget.
class TzHintStyle : public QProxyStyle {
public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint aHint, const QStyleOption* aOption = nullptr, const QWidget* aWidget = nullptr,
                QStyleHintReturn* aReturn = nullptr) const override;
};

// Installs the hint timing on the application: the style for the delay and an
// event filter that shows each tool tip for kHintHideMs.
void InstallHintTiming();

class TfrmMain : public QWidget {
public:
  // The client area is fixed at kClientWidth x kClientHeight; the window
  // manager adds its own border and title bar around it.
  static constexpr int kClientWidth = 720;
  static constexpr int kClientHeight = 600;

  // aTempLog (may be null) is the message log window that is re-placed over
  // this window when it is first activated.
  explicit TfrmMain(TfrmTempLog* aTempLog = nullptr);

  // True until the first activation has been handled.
  bool First = true;
  // The frame created for the RK-7140 (null when none is registered).
  QWidget* Frame() const { return fFrame; }

protected:
  bool event(QEvent* aEvent) override;
  // The program ends with this window: the log, version and observer windows
  // close with it, and the frame lets go of its port.
  void closeEvent(QCloseEvent* aEvent) override;

private:
  void CenterOnScreen();

  TfrmTempLog* fTempLog = nullptr;
  QWidget* fFrame = nullptr;
};

// The frame of the main window created last (the program's one frame).
QWidget* MainDevFrame();
