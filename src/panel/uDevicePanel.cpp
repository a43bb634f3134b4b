#include "uDevicePanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "uPanelControls.h"
#include "uPanelRules.h"

TzDevicePanel::TzDevicePanel(QWidget* aParent) : QFrame(aParent) {
  StyleSidePanel(this, QStringLiteral("panRS485"), QSize(230, 186));
  TitleCaption(this, QStringLiteral("Устройство"), QRect(8, 5, 214, 20));

  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
  auto row = [this](const QString& aCaption, QWidget* aControl, int aTop, int aWidth, const QString& aHint) {
    Caption(this, aCaption, QRect(6, aTop, 62, 24))->setBuddy(aControl);
    aControl->setGeometry(68, aTop, aWidth, 24);
    aControl->setAccessibleName(aCaption);
    InfoIcon(this, QPoint(211, aTop + 4), aHint);
  };

  txtAddr = new QLineEdit(QStringLiteral("16"), this);
  txtAddr->setObjectName(QStringLiteral("txtAddr"));
  txtAddr->setValidator(digits);
  row(QStringLiteral("Адрес"), txtAddr, 30, 60, QStringLiteral("Адрес прибора\r\nДиапазон: 1..247"));

  cbBaudRate = new QComboBox(this);
  cbBaudRate->setObjectName(QStringLiteral("cbBaudRate"));
  cbBaudRate->addItems(BaudRateItems());
  cbBaudRate->setCurrentIndex(3);
  row(QStringLiteral("Скорость"), cbBaudRate, 58, 140, QStringLiteral("Скорость обмена данными, бод/сек"));

  cbFormat = new QComboBox(this);
  cbFormat->setObjectName(QStringLiteral("cbFormat"));
  cbFormat->addItems(FormatItems());
  cbFormat->setCurrentIndex(0);
  row(QStringLiteral("Формат"), cbFormat, 86, 140,
      QStringLiteral("Формат символа\r\nRTU или ASCII: режим обмена\r\n8 или 7: число бит данных\r\n"
                     "N, O или E: без контроля чётности, нечётность, чётность\r\n1 или 2: число стоп-бит"));

  txtTimeout = new QLineEdit(QStringLiteral("0"), this);
  txtTimeout->setObjectName(QStringLiteral("txtTimeout"));
  txtTimeout->setValidator(digits);
  row(QStringLiteral("Тайм-аут"), txtTimeout, 114, 60, QStringLiteral("Сетевой тайм-аут в секундах\r\nДиапазон: 0..600"));
  Caption(this, QStringLiteral("сек"), QRect(132, 114, 30, 24));

  btnRS485_Apply = new QPushButton(QStringLiteral("Применить"), this);
  btnRS485_Apply->setObjectName(QStringLiteral("btnRS485_Apply"));
  btnRS485_Apply->setGeometry(60, 148, 110, 28);
  InfoIcon(this, QPoint(211, 154), QStringLiteral("Настройки будут применены после перезапуска устройства"));
}

void TzDevicePanel::Fill(const QString& aAddress, int aBaudIndex, int aFormatIndex) {
  txtAddr->setText(aAddress);
  if (aBaudIndex >= 0 && aBaudIndex < cbBaudRate->count()) cbBaudRate->setCurrentIndex(aBaudIndex);
  if (aFormatIndex >= 0 && aFormatIndex < cbFormat->count()) cbFormat->setCurrentIndex(aFormatIndex);
}
