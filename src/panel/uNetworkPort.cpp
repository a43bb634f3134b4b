#include "uNetworkPort.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "uBlinker.h"

namespace {

TzNetworkPortPrompt& Prompt() {
  static TzNetworkPortPrompt prompt;
  return prompt;
}

}  // namespace

std::optional<TzEndpoint> NetworkEndpointFromFields(int aKindIndex, const QString& aHost, const QString& aPort,
                                                     TzNetworkField& aBadField) {
  aBadField = TzNetworkField::None;
  const QString host = aHost.trimmed();
  if (host.isEmpty() || host.contains(QLatin1Char(' ')) || host.contains(QLatin1Char('/'))) {
    aBadField = TzNetworkField::Host;
    return std::nullopt;
  }
  bool ok = false;
  const int port = aPort.trimmed().toInt(&ok);
  if (!ok || port < 1 || port > 65535) {
    aBadField = TzNetworkField::Port;
    return std::nullopt;
  }
  if (aKindIndex < 0 || aKindIndex >= static_cast<int>(std::size(kNetworkKinds))) aKindIndex = 0;
  TzEndpoint endpoint;
  endpoint.Kind = kNetworkKinds[aKindIndex].Kind;
  endpoint.Host = host.toStdString();
  if (endpoint.Host.size() > 2 && endpoint.Host.front() == '[' && endpoint.Host.back() == ']')
    endpoint.Host = endpoint.Host.substr(1, endpoint.Host.size() - 2);
  endpoint.Port = static_cast<uint16_t>(port);
  // The same text must read back: a host the parser does not take is wrong.
  if (!ParseEndpoint(EndpointText(endpoint))) {
    aBadField = TzNetworkField::Host;
    return std::nullopt;
  }
  return endpoint;
}

std::optional<QString> PromptNetworkPort(QWidget* aParent, const QString& aCurrent) {
  if (Prompt()) return Prompt()(aParent, aCurrent);
  TfrmNetworkPort dialog(aParent);
  dialog.SetEndpoint(aCurrent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Endpoint();
}

void SetNetworkPortPrompt(TzNetworkPortPrompt aPrompt) { Prompt() = std::move(aPrompt); }

TfrmNetworkPort::TfrmNetworkPort(QWidget* aParent) : QDialog(aParent) {
  setObjectName(QStringLiteral("frmNetworkPort"));
  setWindowTitle(QStringLiteral("Сетевой порт"));
  auto* form = new QFormLayout(this);

  cbKind = new QComboBox(this);
  cbKind->setObjectName(QStringLiteral("cbKind"));
  for (const auto& item : kNetworkKinds) cbKind->addItem(QString::fromUtf8(item.Caption));
  txtHost = new QLineEdit(this);
  txtHost->setObjectName(QStringLiteral("txtHost"));
  txtPort = new QLineEdit(QStringLiteral("4001"), this);
  txtPort->setObjectName(QStringLiteral("txtPort"));
  txtPort->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), txtPort));

  // Captions are the buddies of their fields: a screen reader names each field by them.
  auto row = [&](const QString& aCaption, QWidget* aField) {
    auto* caption = new QLabel(aCaption, this);
    caption->setBuddy(aField);
    aField->setAccessibleName(QString(aCaption).remove(QLatin1Char('&')));
    form->addRow(caption, aField);
  };
  row(QStringLiteral("&Тип"), cbKind);
  row(QStringLiteral("&Узел"), txtHost);
  row(QStringLiteral("&Порт"), txtPort);
  txtHost->setToolTip(QStringLiteral("Имя или адрес сервера последовательного порта или шлюза Modbus TCP"));
  txtPort->setToolTip(QStringLiteral("TCP-порт: 1..65535 (Modbus TCP: обычно 502)"));

  // Modbus TCP has a port of its own; switching to it offers 502.
  connect(cbKind, &QComboBox::currentIndexChanged, this, [this](int aIndex) {
    if (aIndex >= 0 && kNetworkKinds[aIndex].Kind == TzLinkKind::ModbusTcp && txtPort->text().isEmpty())
      txtPort->setText(QString::number(kModbusTcpDefaultPort));
  });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Подключить"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmNetworkPort::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmNetworkPort::reject);
  form->addRow(buttons);
}

void TfrmNetworkPort::SetEndpoint(const QString& aEndpoint) {
  const auto endpoint = ParseEndpoint(aEndpoint.toStdString());
  if (!endpoint || endpoint->Kind == TzLinkKind::Serial) return;
  for (int i = 0; i < static_cast<int>(std::size(kNetworkKinds)); ++i)
    if (kNetworkKinds[i].Kind == endpoint->Kind) cbKind->setCurrentIndex(i);
  txtHost->setText(QString::fromStdString(endpoint->Host));
  txtPort->setText(QString::number(endpoint->Port));
}

void TfrmNetworkPort::accept() {
  TzNetworkField bad = TzNetworkField::None;
  const auto endpoint = NetworkEndpointFromFields(cbKind->currentIndex(), txtHost->text(), txtPort->text(), bad);
  if (!endpoint) {
    QLineEdit* field = bad == TzNetworkField::Host ? txtHost : txtPort;
    field->setFocus();
    BlinkEdit(field);
    return;
  }
  fEndpoint = QString::fromStdString(EndpointText(*endpoint));
  QDialog::accept();
}
