#include "uVerInfo.h"

#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "uVersion.h"

namespace {

// Newest first; the newest is the version of uVersion.h (the package check
// compares the Debian change log and the AppStream releases in the same way).
const char* const kHistory =
    "<b>ver 0.1.4a</b><ul>"
    "<li>Панель «Дискретные выходы»: ШИМ и логика реле, калькулятор «Расчёт ШИМ»</li>"
    "<li>Панели «Фильтр дребезга», «Счётчик импульсов», «Устройство» и «Системные настройки», "
    "перезагрузка устройства</li>"
    "<li>Поиск устройств на линии</li>"
    "<li>Сохранение наблюдения в CSV и лога в текстовый файл</li>"
    "<li>Утилита командной строки rk7140ctl</li>"
    "<li>Виртуальный модуль rk7140-sim: шина из нескольких приборов, прослушивание линии, "
    "строгие настройки линии, время передачи по линии</li>"
    "<li>Демонстрационный режим rk7140-panel --demo и пункт меню «Панель RK-7140 (демо)»</li></ul>"
    "<b>ver 0.1.3a</b><ul>"
    "<li>Окно «Лог»: ошибки программы и счётчики ответов с кодами исключений Modbus</li>"
    "<li>Настройки подключения сохраняются в файле Options.xml</li>"
    "<li>Подсказки у полей подключения</li>"
    "<li>Окно наблюдения за линией</li>"
    "<li>Пакет Debian: пункт меню, значок, страницы руководства</li></ul>"
    "<b>ver 0.1.2a</b><ul>"
    "<li>Часы прибора, версия встроенного ПО и идентификатор прибора</li>"
    "<li>Длина очереди запросов</li></ul>"
    "<b>ver 0.1.1a</b><ul>"
    "<li>Опрос дискретных входов и выходов</li>"
    "<li>Переключение реле с изображения прибора</li></ul>"
    "<b>ver 0.1a</b><ul>"
    "<li>Подключение к прибору RK-7140 по Modbus RTU</li>"
    "<li>Определение типа прибора и первое чтение всех регистров</li></ul>";

}  // namespace

TfrmVerInfo::TfrmVerInfo(QWidget* aMainWindow) : QDialog(aMainWindow), fMainWindow(aMainWindow) {
  setWindowTitle(QStringLiteral("История версий"));
  setAccessibleName(windowTitle());
  setFixedSize(505, 461);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
  ScrollBox1->setWidgetResizable(true);
  ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  auto* panel = new QGroupBox(QStringLiteral(" ver %1 alpha").arg(QString::fromUtf8(kVersion)));
  panel->setObjectName(QStringLiteral("AdvSmoothPanel2"));
  panel->setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid #9aa7b4; border-radius: 8px; margin-top: 14px; background: #f4f7fa; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; font-weight: bold; }"));
  Label4 = new QLabel(QString::fromUtf8(kHistory), panel);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setWordWrap(true);
  Label4->setTextFormat(Qt::RichText);
  Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->addWidget(Label4);
  ScrollBox1->setWidget(panel);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(ScrollBox1);
}

void TfrmVerInfo::Toggle() { setVisible(!isVisible()); }

void TfrmVerInfo::showEvent(QShowEvent* aEvent) {
  if (QWidget* main = fMainWindow.data()) {
    const QRect m = main->frameGeometry();
    move(m.left() + m.width() / 2 - frameGeometry().width() / 2, m.top() + m.height() / 2 - frameGeometry().height() / 2);
  }
  QDialog::showEvent(aEvent);
}
