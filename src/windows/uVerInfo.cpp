#include "uVerInfo.h"

#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// Newest first.
const char* const kHistory =
    "<b>ver 0.1.3a</b><ul>"
    "<li>Окно «Лог»: ошибки программы и счётчики ответов с кодами исключений Modbus</li>"
    "<li>Настройки подключения сохраняются в файле Options.xml</li>"
    "<li>Подсказки у полей подключения</li></ul>"
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

  auto* panel = new QGroupBox(QStringLiteral(" ver 0.1.3 alpha"));
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
