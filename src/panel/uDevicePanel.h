// The panel "Устройство": the module's own RS-485 settings (address, baud
// rate, format, network time-out). The frame's btnRS485_ApplyClick writes
// them; the module takes them over after its restart.
#pragma once

#include <QFrame>

class QComboBox;
class QLineEdit;
class QPushButton;

class TzDevicePanel : public QFrame {
  Q_OBJECT

public:
  explicit TzDevicePanel(QWidget* aParent);

  // The connection settings at a connect: address text, list indices.
  void Fill(const QString& aAddress, int aBaudIndex, int aFormatIndex);

  QLineEdit* txtAddr = nullptr;
  QComboBox* cbBaudRate = nullptr;
  QComboBox* cbFormat = nullptr;
  QLineEdit* txtTimeout = nullptr;
  QPushButton* btnRS485_Apply = nullptr;
};
