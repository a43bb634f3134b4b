// The observer's controls: the control bar, the filter panel, the grid, their
// pictures (drawn here) and the layout.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include <algorithm>

#include "uButtonActivation.h"
#include "uObsColumns.h"
#include "uPortObserver.h"

namespace {

constexpr int kBarTop = 8;
constexpr int kBarHeight = 32;
constexpr int kGridSide = 8;  // the grid's left, right and bottom margins
constexpr int kPinRight = 10;

// A hint as the tool tip shows it; its title is the accessible name.
void SetHint(QWidget* aWidget, const QString& aTitle, const QString& aText) {
  aWidget->setToolTip(aText.isEmpty() ? aTitle : aTitle + QLatin1Char('\n') + aText);
  aWidget->setAccessibleName(aTitle);
  if (!aText.isEmpty()) aWidget->setAccessibleDescription(aText);
}

QToolButton* ToggleButton(QWidget* aParent, const QString& aName, const QRect& aGeometry) {
  auto* button = new QToolButton(aParent);
  button->setObjectName(aName);
  button->setCheckable(true);
  button->setGeometry(aGeometry);
  button->setIconSize(QSize(20, 20));
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return button;
}

QPixmap Canvas() {
  QPixmap pixmap(20, 20);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// Two bars; green while running, orange while paused.
QIcon PauseIcon() {
  QIcon icon;
  for (const bool paused : {false, true}) {
    QPixmap pixmap = Canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = paused ? QColor(230, 120, 0) : QColor(40, 140, 60);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(4, 3, 4.5, 14), 1, 1);
    painter.drawRoundedRect(QRectF(11.5, 3, 4.5, 14), 1, 1);
    icon.addPixmap(pixmap, QIcon::Normal, paused ? QIcon::On : QIcon::Off);
  }
  return icon;
}

// A drawing pin: upright when pinned, tilted when not.
QIcon PinIcon() {
  QIcon icon;
  for (const bool pinned : {false, true}) {
    QPixmap pixmap = Canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(10, 10);
    if (!pinned) painter.rotate(45);
    painter.setPen(QPen(QColor(90, 90, 90), 1.6));
    painter.drawLine(QPointF(0, 2), QPointF(0, 9));
    painter.setPen(QPen(QColor(120, 20, 20), 1));
    painter.setBrush(QColor(210, 40, 40));
    painter.drawRect(QRectF(-3, -8, 6, 7));
    painter.drawRect(QRectF(-6, -1, 12, 3));
    icon.addPixmap(pixmap, QIcon::Normal, pinned ? QIcon::On : QIcon::Off);
  }
  return icon;
}

// A diskette in blue: shutter on top, label below.
QIcon SaveIcon() {
  QPixmap pixmap = Canvas();
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath body;
  body.moveTo(3, 3);
  body.lineTo(14, 3);
  body.lineTo(17, 6);
  body.lineTo(17, 17);
  body.lineTo(3, 17);
  body.closeSubpath();
  painter.setPen(QPen(QColor(20, 60, 120), 1));
  painter.setBrush(QColor(50, 100, 180));
  painter.drawPath(body);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(215, 225, 240));
  painter.drawRect(QRectF(6, 3.5, 7, 4.5));
  painter.setBrush(QColor(50, 100, 180));
  painter.drawRect(QRectF(10.5, 4.5, 1.5, 2.5));
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(5.5, 10.5, 9, 6));
  QIcon icon;
  icon.addPixmap(pixmap);
  return icon;
}

// The design widths scaled by the grid's font, and never narrower than a
// column's header or, for the time, than a full date and time.
void SetColumnWidths(QTableWidget* aGrid) {
  const QFontMetrics metrics(aGrid->font());
  const double average = AverageCharWidth(QFontMetricsF(aGrid->font()));
  QChar widestDigit = u'0';
  for (QChar digit = u'1'; digit <= u'9'; digit = QChar(digit.unicode() + 1))
    if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widestDigit)) widestDigit = digit;
  const QString fullTime = QStringLiteral("00.00.0000 00:00:00").replace(u'0', widestDigit);
  for (int column = 0; column < kObsColumnCount; ++column) {
    int width = std::max(ScaleDesignWidth(kObsDesignWidths[static_cast<size_t>(column)], average),
                         aGrid->horizontalHeader()->sectionSizeHint(column));
    if (column == kObsColTime) width = std::max(width, metrics.horizontalAdvance(fullTime) + 10);
    aGrid->setColumnWidth(column, width);
  }
}

}  // namespace

TfrmPortObserver::TfrmPortObserver(QWidget* aOwner)
    : QWidget(aOwner, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmPortObserver"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Наблюдение за линией"));
  resize(934, 538);
  setMinimumSize(380, 300);

  BuildGrid();
  BuildBar();
  BuildFilters();
  Clear();
  PlaceGrid();

  AutoClearTimer.setInterval(kObsAutoClearMs);
  connect(&AutoClearTimer, &QTimer::timeout, this, [this] { AutoClearTimerTimer(); });
  AutoClearTimer.start();
  InterfaceTimer.setInterval(kObsInterfaceMs);
  connect(&InterfaceTimer, &QTimer::timeout, this, [this] { InterfaceTimerTimer(); });
  InterfaceTimer.start();

  PortObsAdd(this);
}

void TfrmPortObserver::BuildGrid() {
  SG = new QTableWidget(1, kObsColumnCount, this);
  SG->setObjectName(QStringLiteral("SG"));
  SG->setAccessibleName(QStringLiteral("Запросы и ответы"));
  const QStringList headers{QStringLiteral("##"),      QStringLiteral("Время"),    QStringLiteral("Регистр"),
                            QStringLiteral("Ф-ция"),   QStringLiteral("Таймаут"),  QStringLiteral("Значение"),
                            QStringLiteral("Название"), QStringLiteral("Запрос"), QStringLiteral("Ответ")};
  SG->setHorizontalHeaderLabels(headers);
  SetColumnWidths(SG);
  SG->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  SG->horizontalHeader()->setStretchLastSection(false);
  SG->verticalHeader()->hide();
  SG->verticalHeader()->setDefaultSectionSize(20);
  SG->setSelectionBehavior(QAbstractItemView::SelectRows);
  SG->setSelectionMode(QAbstractItemView::ExtendedSelection);  // Ctrl+C copies every selected row
  SG->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG->setWordWrap(false);
  SG->installEventFilter(this);
}

void TfrmPortObserver::BuildBar() {
  btnFilters = ToggleButton(this, QStringLiteral("btnFilters"), QRect(8, kBarTop, 126, kBarHeight));
  btnFilters->setText(QStringLiteral("     Фильтры"));
  SetHint(btnFilters, QStringLiteral("Фильтры"), QStringLiteral("Показывает окно настройки фильтров"));
  connect(btnFilters, &QToolButton::toggled, this, [this](bool aDown) { gbFilters->setVisible(aDown); });

  chFilters = new QCheckBox(this);
  chFilters->setObjectName(QStringLiteral("chFilters"));
  chFilters->setAccessibleName(QStringLiteral("Фильтры включены"));
  chFilters->setGeometry(14, kBarTop + 7, 18, 18);
  chFilters->setChecked(true);
  OnButtonActivated(chFilters, this, [this] { chFiltersClick(); });

  btnClear = ToggleButton(this, QStringLiteral("btnClear"), QRect(140, kBarTop, 97, kBarHeight));
  btnClear->setText(QStringLiteral("Очистить"));
  SetHint(btnClear, QStringLiteral("Очистить"), QStringLiteral("Очищает таблицу"));
  OnButtonActivated(btnClear, this, [this] {
    if (btnClear->isChecked()) Clear();
  });

  btnPause = ToggleButton(this, QStringLiteral("btnPause"), QRect(243, kBarTop, 35, kBarHeight));
  btnPause->setToolButtonStyle(Qt::ToolButtonIconOnly);
  btnPause->setIcon(PauseIcon());
  SetHint(btnPause, QStringLiteral("Пауза"), QStringLiteral("Приостанавливает заполнение таблицы"));

  btnSave = ToggleButton(this, QStringLiteral("btnSave"), QRect(284, kBarTop, 35, kBarHeight));
  btnSave->setCheckable(false);  // an action, not a state
  btnSave->setToolButtonStyle(Qt::ToolButtonIconOnly);
  btnSave->setIcon(SaveIcon());
  SetHint(btnSave, QStringLiteral("Сохранить"), QStringLiteral("Сохраняет таблицу в файл CSV"));
  connect(btnSave, &QToolButton::clicked, this, [this] { SaveGrid(); });

  btnPin = ToggleButton(this, QStringLiteral("btnPin"), QRect(0, kBarTop, 35, kBarHeight));
  btnPin->setToolButtonStyle(Qt::ToolButtonIconOnly);
  btnPin->setIcon(PinIcon());
  btnPin->setChecked(true);
  SetHint(btnPin, QStringLiteral("Закрепить панель"),
          QStringLiteral("Позволяет вкл/откл авто-скрытие кнопок управления"));
}

void TfrmPortObserver::BuildFilters() {
  gbFilters = new QGroupBox(this);
  gbFilters->setObjectName(QStringLiteral("gbFilters"));
  gbFilters->setAccessibleName(QStringLiteral("Фильтры"));
  gbFilters->setGeometry(8, 39, 160, 282);
  gbFilters->setAutoFillBackground(true);

  chFilterFunc = new QCheckBox(gbFilters);
  chFilterFunc->setObjectName(QStringLiteral("chFilterFunc"));
  chFilterFunc->setAccessibleName(QStringLiteral("Функция"));
  chFilterFunc->setGeometry(8, 8, 18, 18);
  OnButtonActivated(chFilterFunc, this, [this] { chFilterFuncOrRegClick(); });
  auto* labFunc = new QLabel(QStringLiteral("Функция"), gbFilters);
  labFunc->setGeometry(28, 8, 120, 18);
  cbFunc = new QComboBox(gbFilters);
  cbFunc->setObjectName(QStringLiteral("cbFunc"));
  cbFunc->setAccessibleName(QStringLiteral("Функция"));
  cbFunc->setGeometry(8, 30, 144, 22);
  cbFunc->addItems({QStringLiteral("01h  Read Coils"), QStringLiteral("02h  Read Discrete Inputs"),
                    QStringLiteral("03h  Read Holding Registers"), QStringLiteral("04h  Read Input Registers"),
                    QStringLiteral("05h  Write Single Coil"), QStringLiteral("06h  Write Single Register")});
  cbFunc->view()->setMinimumWidth(145);
  labFunc->setBuddy(cbFunc);
  connect(cbFunc, &QComboBox::currentIndexChanged, this, [this] { cbFuncChange(); });

  chFilterReg = new QCheckBox(gbFilters);
  chFilterReg->setObjectName(QStringLiteral("chFilterReg"));
  chFilterReg->setAccessibleName(QStringLiteral("Регистр"));
  chFilterReg->setGeometry(8, 60, 18, 18);
  OnButtonActivated(chFilterReg, this, [this] { chFilterFuncOrRegClick(); });
  auto* labReg = new QLabel(QStringLiteral("Регистр"), gbFilters);
  labReg->setGeometry(28, 60, 120, 18);
  txtReg = new QSpinBox(gbFilters);
  txtReg->setObjectName(QStringLiteral("txtReg"));
  txtReg->setAccessibleName(QStringLiteral("Регистр"));
  txtReg->setGeometry(8, 82, 144, 22);
  txtReg->setRange(0, 65535);
  txtReg->setValue(0);
  labReg->setBuddy(txtReg);
  connect(txtReg, &QSpinBox::valueChanged, this, [this] { txtRegChange(); });

  auto* gbView = new QGroupBox(QStringLiteral("Представление"), gbFilters);
  gbView->setGeometry(8, 112, 144, 50);
  rbHex = new QRadioButton(QStringLiteral("Hex"), gbView);
  rbHex->setObjectName(QStringLiteral("rbHex"));
  rbHex->setToolTip(QStringLiteral("Шестнадцатеричный вид"));
  rbHex->setGeometry(8, 22, 60, 20);
  rbHex->setChecked(true);
  rbDec = new QRadioButton(QStringLiteral("Dec"), gbView);
  rbDec->setObjectName(QStringLiteral("rbDec"));
  rbDec->setToolTip(QStringLiteral("Десятичный вид"));
  rbDec->setGeometry(76, 22, 60, 20);
  OnButtonActivated(rbHex, this, [this] { NotationClick(); });
  OnButtonActivated(rbDec, this, [this] { NotationClick(); });

  auto* gbMode = new QGroupBox(QStringLiteral("Режим"), gbFilters);
  gbMode->setGeometry(8, 168, 144, 68);
  rbStatica = new QRadioButton(QStringLiteral("Статический"), gbMode);
  rbStatica->setObjectName(QStringLiteral("rbStatica"));
  rbStatica->setGeometry(8, 22, 130, 20);
  rbStatica->setChecked(true);
  rbDinamica = new QRadioButton(QStringLiteral("Динамический"), gbMode);
  rbDinamica->setObjectName(QStringLiteral("rbDinamica"));
  rbDinamica->setGeometry(8, 44, 130, 20);
  // Only a change of mode clears the grid: choosing the chosen mode again does nothing.
  OnButtonActivated(rbStatica, this, [this] { rbStaticaClick(); });

  btnAutoLimit = ToggleButton(gbFilters, QStringLiteral("btnAutoLimit"), QRect(8, 244, 144, 28));
  btnAutoLimit->setText(QStringLiteral("Автолимит"));
  btnAutoLimit->setChecked(true);
  SetHint(btnAutoLimit, QStringLiteral("Автолимит"),
          QStringLiteral("Вкл: Когда количество строк в таблице превышает 2000, половина удаляется.\n"
                         "Откл: Удаляется после 10000 строк"));

  gbFilters->hide();
  gbFilters->raise();
}

void TfrmPortObserver::PlaceGrid() {
  SG->setGeometry(kGridSide, fGridTop, std::max(0, width() - 2 * kGridSide),
                  std::max(0, height() - fGridTop - kGridSide));
  gbFilters->raise();
}

void TfrmPortObserver::resizeEvent(QResizeEvent* aEvent) {
  btnPin->move(width() - kPinRight - btnPin->width(), kBarTop);
  PlaceGrid();
  QWidget::resizeEvent(aEvent);
}
