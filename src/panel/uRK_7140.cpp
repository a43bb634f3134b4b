#include "uRK_7140.h"

#include <QCloseEvent>
#include <QGraphicsOpacityEffect>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include "uBlinker.h"
#include "uButtonActivation.h"
#include "uCounterPanel.h"
#include "uDevicePanel.h"
#include "uFilterPanel.h"
#include "uFindDevice.h"
#include "uFindPanel.h"
#include "uFrameGlob.h"
#include "uInputConfig.h"
#include "uModulePictures.h"
#include "uOptions.h"
#include "uOutputCaptions.h"
#include "uOutputsPanel.h"
#include "uPanelControls.h"
#include "uPanelRules.h"
#include "uRK7140Registers.h"
#include "uPanelWindows.h"
#include "uPortObserver.h"
#include "uSettingsPanel.h"
#include "uShimPanel.h"
#include "uSystemPanel.h"
#include "uTempLog.h"
#include "uVerInfo.h"
#include "uUtils.h"
#include "uValueText.h"
#include "uVersion.h"

namespace {

const QColor kNavy(0, 0, 128);
const QColor kSkyBlue(166, 202, 240);  // window colour value 0xF0CAA6

TzSerialPortSource& PortSource() {
  static TzSerialPortSource source;
  return source;
}

// A value label of the information block: navy text on sky-blue ground. Its
// accessible text is its visible text (Qt's default for labels).
QLabel* ValueLabel(QWidget* aParent, const QString& aName, const QRect& aGeometry) {
  auto* label = new QLabel(aParent);
  label->setObjectName(aName);
  label->setGeometry(aGeometry);
  label->setAutoFillBackground(true);
  label->setContentsMargins(4, 0, 4, 0);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, kNavy);
  palette.setColor(QPalette::Window, kSkyBlue);
  label->setPalette(palette);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

const char* const kSideButtonStyle =
    "QToolButton { border: 1px solid #7d848c; border-radius: 4px; color: #1d2430;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfcfd, stop:1 #dfe3e8); }"
    "QToolButton:hover { border-color: #3f74b5; }"
    "QToolButton:checked { background: #bcd3ee; border-color: #3f74b5; }"
    "QToolButton:disabled { color: #9aa1a9; }";

const char* const kRelayButtonStyle =
    "QToolButton { border: 1px solid #9096a0; border-radius: 5px; color: #1d2430;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #e4e7eb); }"
    "QToolButton:hover { border-color: #3f74b5; }"
    "QToolButton:disabled { color: #8d949c; }";

QFont SideFont() {
  QFont font;
  font.setPixelSize(11);
  return font;
}

constexpr int kSideLeft = 3;
constexpr int kSideWidth = 132;
constexpr int kSideHeight = 50;
constexpr int kSideTop = 55;
constexpr int kSideStep = 55;

}  // namespace

void TfrRK_7140::Register() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  RegisterFrameClass("TfrRK_7140", [](QWidget* aParent) -> QWidget* { return new TfrRK_7140(aParent); });
  RegisterDevFrame("RK-7140", 100, "TfrRK_7140");
}

void TfrRK_7140::SetSerialPortSource(TzSerialPortSource aSource) { PortSource() = std::move(aSource); }

std::vector<TzSerialPortInfo> TfrRK_7140::SerialPortList() {
  return PortSource() ? PortSource()() : EnumSerialPortList();
}

TfrRK_7140::TfrRK_7140(QWidget* aParent, const char* aTemplateName, bool aSilenceMode)
    : QWidget(aParent), SilenceMode(aSilenceMode) {
  fController = std::make_unique<TzRK7140Controller>(*this);
  InitMode = true;
  resize(720, 600);  // the design size; the main window sets the same

  BuildPictures();
  BuildModule();
  BuildSideButtons();
  BuildComPortPanel();
  BuildAnimations();
  BuildOutputPanels();
  BuildInputAndDevicePanels();
  BuildFindPanel();
  BuildTimelineButton();
  BuildSidePanelTable();

  InterfaceTimer.setInterval(500);
  AniTimer.setInterval(100);
  PicLoadingTimer.setInterval(65);
  connect(&InterfaceTimer, &QTimer::timeout, this, &TfrRK_7140::InterfaceTimerTimer);
  connect(&AniTimer, &QTimer::timeout, this, &TfrRK_7140::AniTimerTimer);
  connect(&PicLoadingTimer, &QTimer::timeout, this, &TfrRK_7140::PicLoadingTimerTimer);

  EnumSerialPorts();
  ClearLabels(QStringLiteral("..."));
  LoadOptions();

  // The waiting picture sits right of "СОМ-порт", centred on it.
  btnPicFirstUpdate->move(btnComPort->geometry().right() + 3,
                          btnComPort->y() + (btnComPort->height() - btnPicFirstUpdate->height()) / 2);

  if (!fController->LoadDevice(aTemplateName) && !SilenceMode) {
    ShowPanelBox(this, TzPanelBoxKind::Message, QStringLiteral("Панель управления RK-7140"),
                 QStringLiteral("Ошибка загрузки таблицы регистров\r\nПродолжение работы не рекомендуется\r\n"
                                "Обратитесь к разработчикам"));
  }
  cbComPortChange(nullptr);
  InitMode = false;

  FrameResize();
  InterfaceTimer.start();
  PicLoadingTimer.start();
  ArrowTimer.start();
}

TfrRK_7140::~TfrRK_7140() {
  // The program's search component outlives the frame: it forgets it.
  frmFindDevice->Stop();
  frmFindDevice->OnFindAddr = nullptr;
  frmFindDevice->OnFindProcess = nullptr;
  // The controller stops the engine before the controls go.
  fController.reset();
}

// ---- construction of the picture ----------------------------------------

void TfrRK_7140::BuildPictures() {
  const qreal dpr = devicePixelRatioF();
  imgDinOn = DinLampPixmap(true, dpr);
  imgDinOff = DinLampPixmap(false, dpr);
  imgDoutOn = RelayIcon(true);
  imgDoutOff = RelayIcon(false);
}

QRect TfrRK_7140::ModuleBodyRect() const { return QRect(144, 46, 568, 514); }

void TfrRK_7140::BuildModule() {
  const qreal dpr = devicePixelRatioF();

  Panel5 = new QLabel(QStringLiteral("RK-7140"), this);
  Panel5->setObjectName(QStringLiteral("Panel5"));
  Panel5->setGeometry(kSideLeft, 3, kSideWidth, 46);
  Panel5->setAlignment(Qt::AlignCenter);
  QFont titleFont = Panel5->font();
  titleFont.setPixelSize(26);
  titleFont.setBold(true);
  Panel5->setFont(titleFont);
  QPalette titlePalette = Panel5->palette();
  titlePalette.setColor(QPalette::WindowText, QColor(30, 52, 84));
  Panel5->setPalette(titlePalette);

  labMACCaption = Caption(this, QStringLiteral("ID:"), QRect(160, 13, 26, 22), Qt::AlignRight | Qt::AlignVCenter);
  txtMAC = ValueLabel(this, QStringLiteral("txtMAC"), QRect(190, 13, 170, 22));
  labNoLink = new QLabel(QStringLiteral("Нет связи"), this);
  labNoLink->setObjectName(QStringLiteral("labNoLink"));
  labNoLink->setGeometry(372, 13, 120, 22);
  labNoLink->setAlignment(Qt::AlignCenter);
  labNoLink->setAutoFillBackground(true);
  QPalette noLinkPalette = labNoLink->palette();
  noLinkPalette.setColor(QPalette::WindowText, Qt::white);
  noLinkPalette.setColor(QPalette::Window, QColor(190, 0, 0));
  labNoLink->setPalette(noLinkPalette);
  QFont noLinkFont = labNoLink->font();
  noLinkFont.setBold(true);
  labNoLink->setFont(noLinkFont);
  labNoLink->setToolTip(QStringLiteral("Прибор не отвечает на опрос; показаны последние полученные значения"));
  labNoLink->setAccessibleDescription(labNoLink->toolTip());
  labNoLink->hide();

  imgLogo = new QLabel(this);
  imgLogo->setObjectName(QStringLiteral("imgLogo"));
  imgLogo->setPixmap(LogoPixmap(dpr));
  imgLogo->resize(kLogoSize);

  // Inputs: two groups of six lamps, each lamp with its number on it.
  QFont headingFont = font();
  headingFont.setBold(true);
  auto heading = [&](const QString& aText, const QRect& aRect) {
    QLabel* label = Caption(this, aText, aRect);
    label->setFont(headingFont);
    return label;
  };
  heading(QStringLiteral("Дискретные входы 24В"), QRect(176, 106, 236, 20));
  heading(QStringLiteral("Дискретные входы 220В"), QRect(436, 106, 236, 20));
  QFont numberFont = font();
  numberFont.setPixelSize(12);
  numberFont.setBold(true);
  for (int i = 0; i < 12; ++i) {
    const int x = (i < 6 ? 176 : 436) + (i % 6) * 40;
    imgDIN[i] = new QLabel(this);
    imgDIN[i]->setObjectName(QStringLiteral("imgDIN%1").arg(i + 1));
    imgDIN[i]->setGeometry(x, 130, kLampSize.width(), kLampSize.height());
    imgDIN[i]->setAccessibleName(QStringLiteral("Дискретный вход %1").arg(i + 1));
    txtDinLed[i] = new QLabel(QString::number(i + 1), this);
    txtDinLed[i]->setObjectName(QStringLiteral("txtDinLed%1").arg(i + 1));
    txtDinLed[i]->setGeometry(imgDIN[i]->geometry());
    txtDinLed[i]->setAlignment(Qt::AlignCenter);
    txtDinLed[i]->setFont(numberFont);
    txtDinLed[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
  }

  // Information block.
  const int capLeft = 176, valLeft = 268, capRight = 420, valRight = 512;
  const int rows[4] = {192, 220, 248, 276};
  struct Row { const char* caption; QLabel** label; const char* name; int left, value, row; };
  const Row info[] = {
      {"Адрес: ", &labAddr, "labAddr", capLeft, valLeft, 0},
      {"Скорость: ", &labBaudRate, "labBaudRate", capLeft, valLeft, 1},
      {"Формат: ", &labFormat, "labFormat", capLeft, valLeft, 2},
      {"Очередь: ", &labTest, "labTest", capLeft, valLeft, 3},
      {"Дата: ", &labDate, "labDate", capRight, valRight, 0},
      {"Время: ", &labTime, "labTime", capRight, valRight, 1},
      {"Версия ПО: ", &labVerPO, "labVerPO", capRight, valRight, 2},
  };
  for (const Row& row : info) {
    Caption(this, QString::fromUtf8(row.caption), QRect(row.left, rows[row.row], 88, 22),
            Qt::AlignRight | Qt::AlignVCenter);
    *row.label = ValueLabel(this, QString::fromLatin1(row.name), QRect(row.value, rows[row.row], 120, 22));
  }

  // Outputs: six relay buttons, each with its relay-logic caption below.
  heading(QStringLiteral("Дискретные выходы"), QRect(176, 326, 300, 20));
  QFont logicFont = font();
  logicFont.setPixelSize(10);
  for (int i = 0; i < 6; ++i) {
    const int x = 176 + i * 86;
    btnDOUT[i] = new QToolButton(this);
    btnDOUT[i]->setObjectName(QStringLiteral("btnDOUT%1").arg(i + 1));
    btnDOUT[i]->setText(QStringLiteral("Реле #%1").arg(i + 1));
    btnDOUT[i]->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    btnDOUT[i]->setIconSize(kRelaySize);
    btnDOUT[i]->setGeometry(x, 350, 70, 66);
    btnDOUT[i]->setStyleSheet(QString::fromLatin1(kRelayButtonStyle));
    btnDOUT[i]->setAccessibleName(btnDOUT[i]->text());
    connect(btnDOUT[i], &QToolButton::clicked, this, [this, i] { btnDOUT1Click(i); });
    labRelayLogic[i] = new QLabel(this);
    labRelayLogic[i]->setObjectName(QStringLiteral("labRelayLogic%1").arg(i + 1));
    labRelayLogic[i]->setGeometry(x, 420, 70, 45);
    labRelayLogic[i]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    labRelayLogic[i]->setFont(logicFont);
    labRelayLogic[i]->hide();
  }

  btnTempLog = new QPushButton(QStringLiteral(" Log"), this);
  btnTempLog->setObjectName(QStringLiteral("btnTempLog"));
  btnTempLog->resize(64, 24);
  connect(btnTempLog, &QPushButton::clicked, this, &TfrRK_7140::btnTempLogClick);
  btnVerInfo = new QPushButton(QStringLiteral("ver ") + QString::fromUtf8(kPanelVersion), this);
  btnVerInfo->setObjectName(QStringLiteral("btnVerInfo"));
  btnVerInfo->resize(84, 24);
  connect(btnVerInfo, &QPushButton::clicked, this, &TfrRK_7140::btnVerInfoClick);

  SetIndicatorsOff();
}

void TfrRK_7140::BuildSideButtons() {
  auto side = [this](const QString& aName, const QString& aText, int aTop) {
    auto* button = new QToolButton(this);
    button->setObjectName(aName);
    button->setText(aText);
    button->setCheckable(true);
    button->setGeometry(kSideLeft, aTop, kSideWidth, kSideHeight);
    button->setStyleSheet(QString::fromLatin1(kSideButtonStyle));
    button->setFont(SideFont());
    button->setAccessibleName(aText);
    return button;
  };
  btnComPort = side(QStringLiteral("btnComPort"), QStringLiteral("СОМ-порт"), kSideTop);
  btnRS485 = side(QStringLiteral("btnRS485"), QStringLiteral("Устройство"), kSideTop + kSideStep);
  btnDIn_Filter = side(QStringLiteral("btnDIn_Filter"), QStringLiteral("Фильтр дребезга"), kSideTop + 2 * kSideStep);
  btnDIn_Imp = side(QStringLiteral("btnDIn_Imp"), QStringLiteral("Счётчик импульсов"), kSideTop + 3 * kSideStep);
  btnDOut = side(QStringLiteral("btnDOut"), QStringLiteral("Дискретные выходы"), kSideTop + 4 * kSideStep);
  btnSystem = side(QStringLiteral("btnSystem"), QStringLiteral("Системные настройки"), kSideTop + 5 * kSideStep);
  btnLogic = side(QStringLiteral("btnLogic"), QStringLiteral("Логика управления"), kSideTop + 6 * kSideStep);
  btnCalibr = side(QStringLiteral("btnCalibr"), QStringLiteral("Калибровка"), kSideTop + 6 * kSideStep);
  btnLogic->hide();
  btnCalibr->hide();
  // In the place of the hidden ones, above the restart button.
  btnSettings = side(QStringLiteral("btnSettings"), QStringLiteral("Настройки модуля"), kSideTop + 6 * kSideStep);

  // At most one button down, and a second activation lets it up again
  // (btnRS485Click releases the others).
  for (QToolButton* button : SideButtons())
    OnButtonActivated(button, this, [this, button] { btnRS485Click(button); });

  // The caption is too long for one line of the column: it breaks at its space.
  btnReset = new QPushButton(QStringLiteral("Перезагруз.\nустройство"), this);
  btnReset->setObjectName(QStringLiteral("btnReset"));
  btnReset->setFont(SideFont());
  btnReset->setGeometry(kSideLeft, 0, kSideWidth, kSideHeight);
  btnReset->setAccessibleName(QStringLiteral("Перезагруз. устройство"));
  OnButtonActivated(btnReset, this, [this] { btnResetClick(); });

  // Read by its own text; the hint says what it means.
  labNeedReset = new QLabel(QStringLiteral("!"), this);
  labNeedReset->setObjectName(QStringLiteral("labNeedReset"));
  labNeedReset->setGeometry(kSideLeft + kSideWidth + 2, 0, 14, kSideHeight);
  labNeedReset->setAlignment(Qt::AlignCenter);
  QFont markFont = labNeedReset->font();
  markFont.setPixelSize(34);
  markFont.setBold(true);
  labNeedReset->setFont(markFont);
  QPalette markPalette = labNeedReset->palette();
  markPalette.setColor(QPalette::WindowText, QColor(200, 0, 0));
  labNeedReset->setPalette(markPalette);
  labNeedReset->setToolTip(QStringLiteral("Требуется перезагрузка"));
  labNeedReset->setAccessibleDescription(QStringLiteral("Требуется перезагрузка"));
  labNeedReset->hide();

  btnPortObserver = new QToolButton(this);
  btnPortObserver->setObjectName(QStringLiteral("btnPortObserver"));
  btnPortObserver->setIcon(ObserverIcon());
  btnPortObserver->setIconSize(QSize(24, 24));
  btnPortObserver->setCheckable(true);
  btnPortObserver->setGeometry(kSideLeft, 506, 34, 34);
  SetHint(btnPortObserver, QStringLiteral("Наблюдение за линией"), QStringLiteral("Показывает запросы и ответы на линии"));
  btnPortObserver->hide();
  OnButtonActivated(btnPortObserver, this, [this] {
    if (btnPortObserver->isChecked()) btnPortObserverClick();
  });

  btnPicFirstUpdate = new QToolButton(this);
  btnPicFirstUpdate->setObjectName(QStringLiteral("btnPicFirstUpdate"));
  btnPicFirstUpdate->setAutoRaise(true);
  btnPicFirstUpdate->setEnabled(false);
  btnPicFirstUpdate->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
  btnPicFirstUpdate->setIconSize(kSpinnerSize);
  btnPicFirstUpdate->resize(24, 24);
  btnPicFirstUpdate->setAccessibleName(QStringLiteral("Чтение данных прибора"));
  btnPicFirstUpdate->hide();
}

std::vector<QToolButton*> TfrRK_7140::SideButtons() const {
  return {btnComPort, btnRS485, btnDIn_Filter, btnDIn_Imp, btnDOut, btnLogic, btnSystem, btnCalibr, btnSettings};
}

void TfrRK_7140::BuildOutputPanels() {
  panDOut = new TzOutputsPanel(this, *fController, [this](int aIndex) -> TzDiscretOutParams& {
    return fController->DOUT(aIndex);
  });
  panShim = new TzShimPanel(this);
  panDOut->OnOutputChosen = [this](int aIndex) { fController->ReadOutputParamsAgain(aIndex); };
  panDOut->SetShimPanel(panShim);
}

void TfrRK_7140::BuildComPortPanel() {
  panComPort = new QFrame(this);
  StyleSidePanel(panComPort, QStringLiteral("panComPort"), QSize(230, 228));
  TitleCaption(panComPort, QStringLiteral("Сетевые настройки"), QRect(8, 5, 214, 20));

  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), panComPort);
  auto row = [&](const QString& aCaption, QWidget* aControl, int aTop, int aWidth) {
    QLabel* caption = Caption(panComPort, aCaption, QRect(6, aTop, 62, 24));
    caption->setBuddy(aControl);
    aControl->setGeometry(68, aTop, aWidth, 24);
    aControl->setAccessibleName(aCaption);
  };

  cbComPort = new QComboBox(panComPort);
  cbComPort->setObjectName(QStringLiteral("cbComPort"));
  row(QStringLiteral("СОМ-порт"), cbComPort, 30, 140);

  txtLineAddr = new QLineEdit(QStringLiteral("16"), panComPort);
  txtLineAddr->setObjectName(QStringLiteral("txtLineAddr"));
  txtLineAddr->setValidator(digits);
  row(QStringLiteral("Адрес"), txtLineAddr, 60, 60);
  imgFindDevice = new QToolButton(panComPort);
  imgFindDevice->setObjectName(QStringLiteral("imgFindDevice"));
  imgFindDevice->setAutoRaise(true);
  imgFindDevice->setIconSize(kFindIconSize);
  imgFindDevice->setGeometry(134, 61, 22, 22);  // pictures and hint: ShowFindPicture
  InfoIcon(panComPort, QPoint(211, 64), QStringLiteral("Адрес прибора\r\nДиапазон: 1..247"));

  cbLineBaudRate = new QComboBox(panComPort);
  cbLineBaudRate->setObjectName(QStringLiteral("cbLineBaudRate"));
  cbLineBaudRate->addItems(BaudRateItems());
  cbLineBaudRate->setCurrentIndex(3);
  row(QStringLiteral("Скорость"), cbLineBaudRate, 90, 140);
  InfoIcon(panComPort, QPoint(211, 94), QStringLiteral("Скорость обмена данными, бод/сек"));

  cbLineFormat = new QComboBox(panComPort);
  cbLineFormat->setObjectName(QStringLiteral("cbLineFormat"));
  cbLineFormat->addItems(FormatItems());
  cbLineFormat->setCurrentIndex(0);
  row(QStringLiteral("Формат"), cbLineFormat, 120, 140);
  InfoIcon(panComPort, QPoint(211, 124),
           QStringLiteral("Формат символа\r\nRTU или ASCII: режим обмена\r\n8 или 7: число бит данных\r\n"
                          "N, O или E: без контроля чётности, нечётность, чётность\r\n1 или 2: число стоп-бит"));

  txtLineTimeout = new QLineEdit(QStringLiteral("20"), panComPort);
  txtLineTimeout->setObjectName(QStringLiteral("txtLineTimeout"));
  txtLineTimeout->setValidator(digits);
  row(QStringLiteral("Тайм-аут"), txtLineTimeout, 150, 60);
  Caption(panComPort, QStringLiteral("мс"), QRect(132, 150, 30, 24));
  InfoIcon(panComPort, QPoint(211, 154), QStringLiteral("Сетевой тайм-аут в миллисекундах"));

  btnConnect = new QPushButton(QStringLiteral("Подключиться"), panComPort);
  btnConnect->setObjectName(QStringLiteral("btnConnect"));
  btnConnect->setGeometry(60, 184, 110, 28);
  connect(btnConnect, &QPushButton::clicked, this, &TfrRK_7140::btnConnectClick);

  labAni = new QLabel(panComPort);
  labAni->setObjectName(QStringLiteral("labAni"));
  labAni->setGeometry(8, 206, 214, 20);
  QFont dots(QStringLiteral("Tahoma"));
  dots.setPixelSize(16);
  dots.setBold(true);
  labAni->setFont(dots);
  labAni->setAttribute(Qt::WA_TransparentForMouseEvents);
  labAni->hide();

  // The port, baud rate and format follow every change of the lists' selection,
  // however it is made (the mouse, the keyboard, an assistive tool, the
  // program); the time-out follows the baud rate only when the user picks it,
  // and "Сетевой порт…" asks for a network port when the user picks it.
  for (QComboBox* list : {cbComPort, cbLineBaudRate, cbLineFormat})
    connect(list, &QComboBox::currentIndexChanged, this, [this] { cbComPortChange(nullptr); });
  connect(cbComPort, &QComboBox::activated, this, [this](int aIndex) { cbComPortActivated(aIndex); });
  connect(cbLineBaudRate, &QComboBox::activated, this, [this] { cbComPortChange(cbLineBaudRate); });
  connect(cbLineFormat, &QComboBox::activated, this, [this] { cbComPortChange(cbLineFormat); });
  connect(txtLineAddr, &QLineEdit::textChanged, this, [this] { cbComPortChange(txtLineAddr); });
  connect(txtLineTimeout, &QLineEdit::textChanged, this, [this] { cbComPortChange(txtLineTimeout); });
}

// ---- painting and placing -------------------------------------------------

void TfrRK_7140::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(229, 233, 238));
  PaintModuleBody(painter, ModuleBodyRect());
}

void TfrRK_7140::resizeEvent(QResizeEvent* aEvent) {
  QWidget::resizeEvent(aEvent);
  FrameResize();
}

// Presses on labels, lamps and panels reach the frame too (they take no
// mouse press themselves): only a click that starts and ends on the frame's
// free area counts as a click on the frame.
bool TfrRK_7140::IsFreeArea(const QPoint& aPos) const { return rect().contains(aPos) && childAt(aPos) == nullptr; }

void TfrRK_7140::mousePressEvent(QMouseEvent* aEvent) {
  fPressOnFreeArea = aEvent->button() == Qt::LeftButton && IsFreeArea(aEvent->position().toPoint());
  aEvent->accept();
}

void TfrRK_7140::mouseReleaseEvent(QMouseEvent* aEvent) {
  const bool click = fPressOnFreeArea && aEvent->button() == Qt::LeftButton && IsFreeArea(aEvent->position().toPoint());
  fPressOnFreeArea = false;
  aEvent->accept();
  if (click) FrameClick();
}

void TfrRK_7140::closeEvent(QCloseEvent* aEvent) {
  if (frmFindDevice->InFindProgress()) FindStop();
  if (fController->FreePort() != nullptr) fController->Disconnect();
  QWidget::closeEvent(aEvent);
}

void TfrRK_7140::FrameClick() { CloseAllPanel(); }

void TfrRK_7140::FrameResize() {
  const int w = width();
  const int h = height();
  imgLogo->move(w - imgLogo->width(), -8);  // right edge on w - 1
  btnReset->move(btnReset->x(), btnSystem->geometry().bottom() + 1 + 60);
  labNeedReset->move(labNeedReset->x(), btnReset->y());
  btnVerInfo->move(w - 5 - btnVerInfo->width(), h - 5 - btnVerInfo->height());
  btnTempLog->move(btnVerInfo->x() - 5 - btnTempLog->width(), btnVerInfo->y());
}

// ---- side panels ----------------------------------------------------------

void TfrRK_7140::PopupPanel(QWidget* aTarget, QWidget* aPanel, TzPopupSide aPosition) {
  if (aPanel == nullptr) return;
  if (aPanel->parentWidget() != this) aPanel->setParent(this);
  if (CurrPanel != nullptr && CurrPanel != aPanel) CurrPanel->hide();
  CurrPanel = aPanel;
  if (aTarget != nullptr) {
    const QRect t = aTarget->geometry();
    switch (aPosition) {
      case TzPopupSide::Top: aPanel->move(t.left(), t.top() - aPanel->height()); break;
      case TzPopupSide::Bottom: aPanel->move(t.left(), t.top() + t.height()); break;
      case TzPopupSide::Left: aPanel->move(t.left() - aPanel->width(), t.top()); break;
      case TzPopupSide::Right: aPanel->move(t.left() + t.width(), t.top()); break;
      case TzPopupSide::None: break;
    }
  }
  // Hidden, not "not visible": the frame itself may not be on screen yet.
  const bool open = aPanel->isHidden();
  aPanel->setVisible(open);
  if (open) aPanel->raise();
}

void TfrRK_7140::BuildSidePanelTable() {
  // Button, anchor: every panel opens beside its own button, the outputs
  // panel beside "Устройство" (it is too tall to open lower).
  fSidePanels = {{btnComPort, btnComPort}, {btnRS485, btnRS485},   {btnDIn_Filter, btnDIn_Filter},
                 {btnDIn_Imp, btnDIn_Imp}, {btnDOut, btnRS485},    {btnSystem, btnSystem},
                 {btnSettings, btnDIn_Filter}};
  SetSidePanel(btnComPort, panComPort, [this] { TryFindPanVisible(); });
  SetSidePanel(btnDOut, panDOut, [this] {
    PlaceShimPanel();
    FitComboDropDown(panShim->cbShimPrimer);
    // It opens with what the module has now.
    if (!panDOut->isHidden()) fController->ReadOutputParamsAgain(panDOut->CurrDoutIndx);
  });
  SetSidePanel(btnRS485, panRS485);
  SetSidePanel(btnDIn_Filter, panDIn_Filter);
  SetSidePanel(btnDIn_Imp, panDIn_Imp);
  SetSidePanel(btnSettings, panSettings);
  // The clock panel opens with the PC's date and time.
  SetSidePanel(btnSystem, panSystem, [this] {
    if (!panSystem->isHidden()) panSystem->SetNow();
  });
}

void TfrRK_7140::SetSidePanel(QAbstractButton* aButton, QWidget* aPanel, std::function<void()> aAlso) {
  for (TzSidePanelRow& row : fSidePanels)
    if (row.Button == aButton) {
      row.Panel = aPanel;
      row.Also = std::move(aAlso);
    }
}

void TfrRK_7140::btnRS485Click(QAbstractButton* aSender) {
  if (aSender == nullptr) return;
  if (aSender->isChecked()) {
    for (QToolButton* other : SideButtons())
      if (other != aSender) SetCheckedQuietly(other, false);
  }
  const auto row = std::find_if(fSidePanels.begin(), fSidePanels.end(),
                                [aSender](const TzSidePanelRow& aRow) { return aRow.Button == aSender; });
  if (row != fSidePanels.end() && row->Panel != nullptr) {
    PopupPanel(row->Anchor, row->Panel, TzPopupSide::Right);
    if (row->Also) row->Also();
  } else if (CurrPanel != nullptr && aSender->isChecked()) {
    // A feature whose panel is not plugged in: its button going down still
    // closes the panel that is open.
    CurrPanel->hide();
  }
  // The search list goes with the connection panel, the calculator with the
  // outputs panel.
  if (panComPort->isHidden()) panFind->hide();
  panShim->setHidden(panDOut->isHidden());
  if (!panShim->isHidden()) panShim->raise();
}

void TfrRK_7140::PlaceShimPanel() {
  if (panShim->parentWidget() != this) panShim->setParent(this);
  const QRect outputs = panDOut->geometry();
  panShim->move(outputs.x() + outputs.width() - 1, outputs.y() + 60);
}

void TfrRK_7140::CloseAllPanel() {
  if (CurrPanel != nullptr) CurrPanel->hide();
  if (panComPort->isHidden()) panFind->hide();
  if (panDOut->isHidden()) panShim->hide();
  for (QToolButton* button : SideButtons()) SetCheckedQuietly(button, false);
}

// ---- indicators -----------------------------------------------------------

void TfrRK_7140::SetDIN(int aIndex, bool aOn) {
  if (aIndex < 0 || aIndex >= 12) return;
  ArrDIN[aIndex] = aOn;
  imgDIN[aIndex]->setPixmap(aOn ? imgDinOn : imgDinOff);
  imgDIN[aIndex]->setAccessibleDescription(aOn ? QStringLiteral("включён") : QStringLiteral("выключен"));
  QPalette palette = txtDinLed[aIndex]->palette();
  palette.setColor(QPalette::WindowText, aOn ? Qt::white : Qt::black);
  txtDinLed[aIndex]->setPalette(palette);
}

void TfrRK_7140::SetDOUT(int aIndex, bool aOn) {
  if (aIndex < 0 || aIndex >= 6) return;
  ArrDOUT[aIndex] = aOn;
  btnDOUT[aIndex]->setIcon(aOn ? imgDoutOn : imgDoutOff);
  btnDOUT[aIndex]->setAccessibleDescription(aOn ? QStringLiteral("замкнуто") : QStringLiteral("разомкнуто"));
}

void TfrRK_7140::SetMAC(std::span<const uint8_t> aMAC) {
  if (const std::optional<QString> text = MacText(aMAC)) txtMAC->setText(*text);
}

void TfrRK_7140::ClearLabels(const QString& aText) {
  for (QLabel* label : {labAddr, labBaudRate, labFormat, labDate, labTime, labVerPO, labTest})
    label->setText(aText);
  txtMAC->setText(QStringLiteral("AA-BB-CC-DD-EE-FF"));
}

void TfrRK_7140::SetIndicatorsOff() {
  for (int i = 0; i < 12; ++i) SetDIN(i, false);
  for (int i = 0; i < 6; ++i) SetDOUT(i, false);
  for (QLabel* label : labRelayLogic) label->hide();
}

void TfrRK_7140::SetAllOff() { fController->SetAllOff(); }

void TfrRK_7140::ButtonsEnabled(bool aEnabled) {
  for (QWidget* button : std::initializer_list<QWidget*>{btnRS485, btnDIn_Filter, btnDIn_Imp, btnDOut, btnSystem, btnSettings, btnReset})
    button->setEnabled(aEnabled);
  for (QToolButton* button : btnDOUT) button->setEnabled(aEnabled);
}

void TfrRK_7140::ShowFirmwareVersion(const QString& aText) { labVerPO->setText(aText); }

std::vector<QWidget*> TfrRK_7140::StaleWhenLinkLost() const {
  std::vector<QWidget*> widgets{txtMAC, labAddr, labBaudRate, labFormat, labTest, labDate, labTime, labVerPO};
  widgets.insert(widgets.end(), imgDIN.begin(), imgDIN.end());
  widgets.insert(widgets.end(), txtDinLed.begin(), txtDinLed.end());
  widgets.insert(widgets.end(), btnDOUT.begin(), btnDOUT.end());
  widgets.insert(widgets.end(), labRelayLogic.begin(), labRelayLogic.end());
  return widgets;
}

void TfrRK_7140::ShowLinkLost(bool aLost) {
  labNoLink->setVisible(aLost);
  if (aLost) labNoLink->raise();
  for (QWidget* widget : StaleWhenLinkLost()) {
    if (!aLost) {
      widget->setGraphicsEffect(nullptr);
      continue;
    }
    auto* dim = new QGraphicsOpacityEffect(widget);
    dim->setOpacity(0.3);
    widget->setGraphicsEffect(dim);  // owned by the widget from here
  }
}

void TfrRK_7140::OutputParamsRead(int aIndex) {
  if (panDOut->CurrDoutIndx == aIndex) panDOut->btnDOUT1PanClick(aIndex);
}

void TfrRK_7140::ShowOutputInPanel(int aIndex) { panDOut->btnDOUT1PanClick(aIndex); }

void TfrRK_7140::SetRalayLogicImages() {
  for (int i = 0; i < kOutputCount; ++i) {
    const TzRelayLogicCaption caption = RelayLogicCaption(fController->DOUT(i + 1));
    QLabel* label = labRelayLogic[static_cast<size_t>(i)];
    label->setVisible(caption.Visible);
    if (!caption.Visible) continue;
    label->setText(QString::fromStdString(caption.Text));
    label->resize(label->width(), caption.Height);
  }
}

void TfrRK_7140::InterfaceTimerTimer() {
  ShowHolidayHat();
  const TzRK7140Controller& c = *fController;
  if (!c.Connected()) {
    ButtonsEnabled(false);
    btnPortObserver->hide();
    btnTimeline->setEnabled(false);
    btnConnect->setText(QStringLiteral("Подключиться"));
    return;
  }
  btnPortObserver->show();
  btnTimeline->setEnabled(true);
  btnConnect->setText(QStringLiteral("Отключиться"));
  if (c.Device() == nullptr) return;

  std::array<int32_t, 3> words{};
  if (c.TryValueByID(kIdentifierFirstReg, words[0]) && c.TryValueByID(kIdentifierFirstReg + 1, words[1]) &&
      c.TryValueByID(kIdentifierFirstReg + 2, words[2])) {
    std::array<uint8_t, 6> mac{};
    for (size_t i = 0; i < 3; ++i) {
      mac[2 * i] = static_cast<uint8_t>((words[i] >> 8) & 0xFF);
      mac[2 * i + 1] = static_cast<uint8_t>(words[i] & 0xFF);
    }
    SetMAC(mac);
  }
  double number = 0;
  if (c.TryValueByID(kAddressReg, number)) labAddr->setText(QString::fromStdString(FloatToText(number)));
  int32_t code = 0;
  if (c.TryValueByID(kBaudRateReg, code))
    if (const std::optional<QString> text = BaudCodeText(code)) labBaudRate->setText(*text);
  if (c.TryValueByID(kFormatReg, code))
    if (const std::optional<QString> text = FormatCodeText(code)) labFormat->setText(*text);
  std::array<int32_t, 3> part{};
  if (c.TryValueByID(kClockFirstReg, part[0]) && c.TryValueByID(kClockFirstReg + 1, part[1]) &&
      c.TryValueByID(kClockFirstReg + 2, part[2]))
    labDate->setText(ModuleDateText(part[0], part[1], part[2]));
  if (c.TryValueByID(kClockFirstReg + 3, part[0]) && c.TryValueByID(kClockFirstReg + 4, part[1]) &&
      c.TryValueByID(kClockFirstReg + 5, part[2]))
    labTime->setText(ModuleTimeText(part[0], part[1], part[2]));
  int32_t bits = 0;
  if (c.TryValueByID(kFilterTypesReg, bits))
    for (int i = 0; i < kReportedFilterInputs; ++i) SetDIN_Filter(i, FilterTypeOfInput(bits, i));
  if (c.TryValueByID(kInputStatesReg, bits))
    for (int i = 0; i < 12; ++i) SetDIN(i, (bits >> i) & 1);
  if (c.TryValueByID(kRelayStatesReg, bits))
    for (int i = 0; i < 6; ++i) SetDOUT(i, (bits >> i) & 1);
  SetRalayLogicImages();
  labTest->setText(QString::number(c.PendingCount()));
}

bool TfrRK_7140::CheckBlinkEditInt(QLineEdit* aEdit, int32_t& aValue, int32_t aMin, int32_t aMax) {
  return ::CheckBlinkEditInt(aEdit, aValue, aMin, aMax);
}

// ---- animations of connecting --------------------------------------------

void TfrRK_7140::Anima(bool aEnabled) {
  btnConnect->setEnabled(!aEnabled);
  labAni->setText(QString());
  labAni->setVisible(aEnabled);
  if (aEnabled) {
    AniTimer.start();
  } else {
    AniTimer.stop();
    AniSlide = 0;
    AniDirect = 1;
  }
}

void TfrRK_7140::AniTimerTimer() {
  AniSlide += AniDirect;
  if (AniSlide < 0 || AniSlide > 8) AniDirect = -AniDirect;
  labAni->setText(QString(std::max(0, AniSlide + 1), QLatin1Char('.')));
}

void TfrRK_7140::PicLoadingTimerTimer() {
  // Shown from identification until the first full reading has started the poll.
  const bool visible = fController->Connected() && !fController->OprosTimer().isActive();
  btnPicFirstUpdate->setVisible(visible);
  if (!visible) return;
  btnPicFirstUpdate->setIcon(QIcon(SpinnerPixmap(SpinnerIndex, devicePixelRatioF())));
  SpinnerIndex = (SpinnerIndex + 1) % kSpinnerFrames;
}

void TfrRK_7140::SetConnectButtonEnabled(bool aEnabled) { btnConnect->setEnabled(aEnabled); }

void TfrRK_7140::ShowFindDeviceIcon(bool aVisible) { imgFindDevice->setVisible(aVisible); }

void TfrRK_7140::ShowFirstUpdatePicture(bool aVisible) {
  if (aVisible) btnPicFirstUpdate->setIcon(QIcon(SpinnerPixmap(SpinnerIndex, devicePixelRatioF())));
  btnPicFirstUpdate->setVisible(aVisible);
}

void TfrRK_7140::btnTempLogClick() {
  if (TfrmTempLog* log = TempLogWindow()) log->setVisible(!log->isVisible());
}

void TfrRK_7140::btnVerInfoClick() {
  if (TfrmVerInfo* window = VerInfoWindow()) window->Toggle();
}

void TfrRK_7140::btnDOUT1Click(int aTag) {
  if (aTag < 0 || aTag > 5) return;
  // The picture follows when the next read of the outputs' state arrives.
  // Switching sets the output's duty factor in the module: the controller
  // reads the output's parameters again, so the outputs panel does not keep
  // (and apply) the one it had.
  fController->SwitchOutput(aTag + 1, !ArrDOUT[static_cast<size_t>(aTag)]);
}

void TfrRK_7140::btnPortObserverClick() {
  SetCheckedQuietly(btnPortObserver, false);  // a toggle button that only opens windows
  TfrmPortObserver* observer = CreatePortObserver(this);
  observer->SetComPort(ComPort);
  if (!ComEndpoint.isEmpty()) observer->SetLine(ComEndpoint);
  const QWidget* main = window();
  observer->move(main->x() + width() / 2 - observer->width() / 2, main->y() + height() / 2 - observer->height() / 2);
  observer->show();
}
