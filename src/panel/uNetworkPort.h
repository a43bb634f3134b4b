// The network port of the connection panel: the kinds it offers, the check
// of its fields and the endpoint text they make, and the dialog that asks
// for them ("Сетевой порт…" in the port list).
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

#include "uEndpoint.h"

class QComboBox;
class QLineEdit;

// The kinds in the order of the dialog's list, with their captions.
struct TzNetworkKindItem {
  TzLinkKind Kind;
  const char* Caption;
};
inline constexpr TzNetworkKindItem kNetworkKinds[] = {
    {TzLinkKind::Tcp, "RTU через TCP"},
    {TzLinkKind::Rfc2217, "RFC 2217"},
    {TzLinkKind::ModbusTcp, "Modbus TCP"},
};

// Which field of the dialog is wrong, if any.
enum class TzNetworkField { None, Host, Port };

// The endpoint of the fields: aKindIndex into kNetworkKinds, the host (a name
// or an address, without spaces) and the TCP port 1..65535. aBadField tells
// the first field that does not pass.
std::optional<TzEndpoint> NetworkEndpointFromFields(int aKindIndex, const QString& aHost, const QString& aPort,
                                                     TzNetworkField& aBadField);

// Asks for a network port, starting from aCurrent (an endpoint text or
// empty); the endpoint text chosen, or nothing when the user cancels. Tests
// answer through SetNetworkPortPrompt instead of the modal dialog.
using TzNetworkPortPrompt = std::function<std::optional<QString>(QWidget* aParent, const QString& aCurrent)>;
std::optional<QString> PromptNetworkPort(QWidget* aParent, const QString& aCurrent);
// An empty prompt restores the dialog.
void SetNetworkPortPrompt(TzNetworkPortPrompt aPrompt);

// The dialog: kind, host and port; "OK" checks the fields and blinks the
// first one that does not pass instead of closing.
class TfrmNetworkPort : public QDialog {
  Q_OBJECT

public:
  explicit TfrmNetworkPort(QWidget* aParent = nullptr);
  // Fills the fields from an endpoint text of a network kind.
  void SetEndpoint(const QString& aEndpoint);
  // The endpoint of the accepted fields.
  QString Endpoint() const { return fEndpoint; }

  QComboBox* cbKind = nullptr;
  QLineEdit* txtHost = nullptr;
  QLineEdit* txtPort = nullptr;

  void accept() override;

private:
  QString fEndpoint;
};
