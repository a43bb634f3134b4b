// The control-panel frame of the RK-7140 module: the picture of the module
// (input lamps, relays, information block, side buttons), the connection
// panel and the screen half of connecting. The controller it owns does the
// talking to the module; the frame shows what it asks for (TzPanelView).
#pragma once

#include <QFrame>
#include <QPixmap>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "uAnimationPictures.h"
#include "uAnimationRules.h"
#include "uRK7140Controller.h"
#include "uSerialPorts.h"
#include "uStringBytes.h"

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TzCounterPanel;
class TzDevicePanel;
class TzFilterPanel;
class TzFindPanel;
class TfrmFindDevice;
class TzOutputsPanel;
class TzSettingsPanel;
class TzShimPanel;
class TzSystemPanel;

// Where PopupPanel places a panel relative to its button.
enum class TzPopupSide { Top, Bottom, Left, Right, None };

// The serial ports the connection panel offers (the transport's enumeration;
// tests give their own).
using TzSerialPortSource = std::function<std::vector<TzSerialPortInfo>()>;

class TfrRK_7140 : public QWidget, public TzPanelView {
  Q_OBJECT

public:
  // aTemplateName is the register template resource ("XMLDATA" for the
  // module); aSilenceMode true logs a failed template load without the box.
  explicit TfrRK_7140(QWidget* aParent = nullptr, const char* aTemplateName = "XMLDATA",
                      bool aSilenceMode = false);
  ~TfrRK_7140() override;

  // Registers the frame class and its device entry ("RK-7140", 100) with the
  // device-frame registry; later calls do nothing.
  static void Register();
  // Ports offered by EnumSerialPorts; an empty source means the transport's.
  static void SetSerialPortSource(TzSerialPortSource aSource);
  static std::vector<TzSerialPortInfo> SerialPortList();

  TzRK7140Controller& Controller() { return *fController; }

  // Connection panel.
  void btnConnectClick();
  // Checks the address and time-out fields and connects; false when a field
  // holds no integer (the field blinks and nothing is attempted).
  bool DoConnect();
  // The address field as a module's address 1..247 into aAddr; otherwise the
  // field blinks and the result is false.
  bool CheckLineAddr(int32_t& aAddr);
  void cbComPortChange(QObject* aSender = nullptr);
  // The user picked item aIndex of the port list: "Сетевой порт…" asks for
  // a network port, any other item is taken as it is.
  void cbComPortActivated(int aIndex);
  // Puts a network port into the list (once, before "Сетевой порт…") and selects it.
  void SelectNetworkPort(const QString& aEndpoint);
  // The endpoint of the selected port: its device for a serial port, the
  // endpoint text of a network port; empty when nothing is selected.
  QString SelectedEndpoint() const { return ComEndpoint; }
  void EnumSerialPorts();
  void LoadOptions();
  void SaveOptions();

  // Status display.
  void InterfaceTimerTimer();
  void SetDIN(int aIndex, bool aOn);
  void SetDOUT(int aIndex, bool aOn);
  void SetMAC(std::span<const uint8_t> aMAC);
  void PopupPanel(QWidget* aTarget, QWidget* aPanel, TzPopupSide aPosition);
  // Shared handler of the side buttons: opens or closes the button's panel
  // (the side-panel table) and lets the other buttons up.
  void btnRS485Click(QAbstractButton* aSender);
  // Plugs a feature's panel into the side-panel table: aButton opens aPanel,
  // then aAlso runs (placing a companion panel and the like).
  void SetSidePanel(QAbstractButton* aButton, QWidget* aPanel, std::function<void()> aAlso = {});
  void FrameClick();
  void FrameResize();
  // Reads an integer from the field within the limits (2147483647: no limit on
  // that side); on failure the field blinks and aValue is untouched.
  bool CheckBlinkEditInt(QLineEdit* aEdit, int32_t& aValue, int32_t aMin, int32_t aMax);
  // Every lamp and relay off and every tag at quality 0.
  void SetAllOff();
  // A relay button of the picture (aTag 0..5) switches its output over.
  void btnDOUT1Click(int aTag);
  // The relay-logic captions beside the relays, from the outputs' parameters.
  void SetRalayLogicImages();
  void btnVerInfoClick();
  // Filter buttons of inputs 1..6 from the module (aIndex 0..5, aType 0 or 1).
  void SetDIN_Filter(int aIndex, int32_t aType);
  // "Применить" of "Устройство": checks the address and time-out, carries the
  // settings into the connection panel and the options file, shows "!" and
  // writes them to the module. Nothing happens unless connected.
  void btnRS485_ApplyClick();
  // "Перезагруз. устройство": the restart command, then idle (the port engine
  // keeps running); hides "!".
  void btnResetClick();
  // Opens one more port observer window, centred over the panel.
  void btnPortObserverClick();
  // Opens one more timeline window "Хронология", fed by the poll, centred over the panel.
  void btnTimelineClick();

  // Bus search. The search picture: nothing while connected, else stops a
  // running search or starts one.
  void imgFindDeviceClick();
  // Checks the time-out (raised to the baud rate's minimum, blinking), makes
  // the connection controls wait and starts the search; a port that does not
  // open logs why and leaves the frame idle.
  void FindStart();
  // Stops the search, keeps its results without the progress line and gives
  // the controls back.
  void FindStop();
  void FindAddrProc(int32_t aAddr, const TStringBytes& aAnswer);
  void FindProcessProc(int32_t aPos);
  // The module on the picked line into the connection panel.
  void FindListBoxClick();
  // As the click, then "Подключиться".
  void FindListBoxDblClick();
  TfrmFindDevice& FindDevice() { return *frmFindDevice; }

  // The arrow beside "СОМ-порт": bounces while not connected.
  void ArrowTimerTimer();
  // A mouse-up on the logo (any button) with the modifier keys held.
  void imgLogoMouseUp(Qt::KeyboardModifiers aModifiers);
  // Connecting dots.
  void AniTimerTimer();
  // Waiting picture while the first full reading runs.
  void PicLoadingTimerTimer();

  // TzPanelView.
  void Anima(bool aEnabled) override;
  void SetConnectButtonEnabled(bool aEnabled) override;
  void ShowFindDeviceIcon(bool aVisible) override;
  void ShowFirstUpdatePicture(bool aVisible) override;
  void CloseAllPanel() override;
  void ButtonsEnabled(bool aEnabled) override;
  void ClearLabels(const QString& aText) override;
  void SetIndicatorsOff() override;
  void ShowFirmwareVersion(const QString& aText) override;
  void ShowOutputInPanel(int aIndex) override;
  void TryFindPanVisible() override;
  void ShowImpCounters(const std::vector<int32_t>& aCounters) override;
  // "Нет связи" beside the module's name, and the lamps, relays and the
  // information block dimmed, while the polled answers have stopped.
  void ShowLinkLost(bool aLost) override;
  // The outputs panel shows the output's parameters again when it is the one shown.
  void OutputParamsRead(int aIndex) override;

  // State.
  bool InitMode = true;
  bool SilenceMode = false;
  int32_t ComPort = 0;       // the selected serial port's number; 0 for a network port
  QString ComEndpoint;       // the selected port's endpoint (see SelectedEndpoint)
  int fLastPortIndex = -1;   // the item to go back to when the network dialog is cancelled
  int32_t BaudRate = 0;
  std::array<bool, 12> ArrDIN{};
  std::array<bool, 6> ArrDOUT{};
  QWidget* CurrPanel = nullptr;
  int32_t AniSlide = 0;
  int32_t AniDirect = 1;
  int SpinnerIndex = 0;

  // The pictures the lamps and relays take.
  QPixmap imgDinOn, imgDinOff;
  QIcon imgDoutOn, imgDoutOff;

  // Picture of the module.
  QLabel* Panel5 = nullptr;
  QLabel* labMACCaption = nullptr;
  QLabel* txtMAC = nullptr;
  // "Нет связи": the picture's values are stale.
  QLabel* labNoLink = nullptr;
  QLabel* imgLogo = nullptr;
  QToolButton* btnComPort = nullptr;
  QToolButton* btnRS485 = nullptr;
  QToolButton* btnDIn_Filter = nullptr;
  QToolButton* btnDIn_Imp = nullptr;
  QToolButton* btnDOut = nullptr;
  QToolButton* btnSystem = nullptr;
  // The module's settings as a file, below "Системные настройки".
  QToolButton* btnSettings = nullptr;
  QToolButton* btnLogic = nullptr;
  QToolButton* btnCalibr = nullptr;
  QPushButton* btnReset = nullptr;
  // "!" beside the restart button: new RS-485 settings wait for a restart.
  QLabel* labNeedReset = nullptr;
  QToolButton* btnPortObserver = nullptr;
  // Beside the observer button; enabled while connected.
  QToolButton* btnTimeline = nullptr;
  QToolButton* btnPicFirstUpdate = nullptr;
  std::array<QLabel*, 12> imgDIN{};
  std::array<QLabel*, 12> txtDinLed{};
  std::array<QToolButton*, 6> btnDOUT{};
  std::array<QLabel*, 6> labRelayLogic{};
  QLabel *labAddr = nullptr, *labBaudRate = nullptr, *labFormat = nullptr, *labTest = nullptr;
  QLabel *labDate = nullptr, *labTime = nullptr, *labVerPO = nullptr;
  QPushButton* btnTempLog = nullptr;
  QPushButton* btnVerInfo = nullptr;

  // Connection panel.
  QFrame* panComPort = nullptr;
  QComboBox* cbComPort = nullptr;
  QLineEdit* txtLineAddr = nullptr;
  QToolButton* imgFindDevice = nullptr;
  QComboBox* cbLineBaudRate = nullptr;
  QComboBox* cbLineFormat = nullptr;
  QLineEdit* txtLineTimeout = nullptr;
  QPushButton* btnConnect = nullptr;
  QLabel* labAni = nullptr;

  // Outputs panel and the PWM calculator beside it.
  TzOutputsPanel* panDOut = nullptr;
  TzShimPanel* panShim = nullptr;
  // Input filters, pulse counters, the module's RS-485 settings, its clock.
  TzFilterPanel* panDIn_Filter = nullptr;
  TzCounterPanel* panDIn_Imp = nullptr;
  TzDevicePanel* panRS485 = nullptr;
  TzSystemPanel* panSystem = nullptr;
  TzSettingsPanel* panSettings = nullptr;
  // The search panel "Устройства" beside the connection panel.
  TzFindPanel* panFind = nullptr;

  QTimer InterfaceTimer;
  QTimer AniTimer;
  QTimer ArrowTimer;
  TzArrowPicture* imgArrow = nullptr;
  TzHolidayHat* imgHat = nullptr;
  TzArrowBounce Arrow;  // its step is the arrow's ArrowStep
  TzLogoClicks LogoClicks;
  QTimer PicLoadingTimer;

protected:
  void paintEvent(QPaintEvent* aEvent) override;
  void resizeEvent(QResizeEvent* aEvent) override;
  void mousePressEvent(QMouseEvent* aEvent) override;
  void mouseReleaseEvent(QMouseEvent* aEvent) override;
  // Closing the frame (the program ending) disconnects: the port engine stops.
  void closeEvent(QCloseEvent* aEvent) override;

private:
  void BuildPictures();
  void BuildModule();
  void BuildSideButtons();
  void BuildComPortPanel();
  void BuildAnimations();
  // The festive hat follows the calendar.
  void ShowHolidayHat();
  void BuildOutputPanels();
  void BuildInputAndDevicePanels();
  void BuildSidePanelTable();
  void BuildFindPanel();
  // What the link watch dims while the answers have stopped.
  std::vector<QWidget*> StaleWhenLinkLost() const;
  void BuildTimelineButton();
  // Fast polling while any open timeline asks for it.
  void UpdateFastPoll();
  // The search picture: idle or searching, with the hint to match.
  void ShowFindPicture(bool aSearching);
  void SetConnectionControlsEnabled(bool aEnabled);
  // One pixel right of the connection panel, top-aligned with it.
  void PlaceFindPanel();
  // The calculator one pixel inside the outputs panel's right edge, 60 px lower.
  void PlaceShimPanel();
  void btnTempLogClick();
  std::vector<QToolButton*> SideButtons() const;
  QRect ModuleBodyRect() const;
  bool IsFreeArea(const QPoint& aPos) const;

  // One row per side button: the panel it opens (none until its feature
  // plugs it in), the button it opens beside, and what else it does.
  struct TzSidePanelRow {
    QAbstractButton* Button;
    QWidget* Anchor;
    QWidget* Panel = nullptr;
    std::function<void()> Also = {};
  };
  std::vector<TzSidePanelRow> fSidePanels;

  std::unique_ptr<TzRK7140Controller> fController;
  TfrmFindDevice* frmFindDevice = nullptr;
  std::unique_ptr<TfrmFindDevice> fOwnFindDevice;
  bool fPressOnFreeArea = false;
};
