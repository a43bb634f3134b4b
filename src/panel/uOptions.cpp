#include "uOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <pugixml.hpp>
#include <sstream>

#include "uFileReplace.h"
#include "uUtils.h"

namespace {

std::filesystem::path ToPath(const QString& aText) {
  return std::filesystem::path(aText.toStdU16String());
}

}  // namespace

bool LoadOptionsFile(const std::filesystem::path& aPath, TzOptionsValues& aValues) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(aPath, ec)) return false;
  pugi::xml_document doc;
  if (!doc.load_file(aPath.c_str())) return false;
  const pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != "options") return false;
  TzOptionsValues found;
  if (const pugi::xml_node port = root.child("comport")) {
    int32_t value = 0;
    if (TryGetAttrInt(port, "indx", value)) found.Indx = value;
    if (TryGetAttrInt(port, "addr", value)) found.Addr = value;
    if (TryGetAttrInt(port, "baudrate", value)) found.BaudRate = value;
    if (TryGetAttrInt(port, "format", value)) found.Format = value;
    if (TryGetAttrInt(port, "timeout", value)) found.Timeout = value;
    std::string endpoint;
    if (TryGetAttrStr(port, "endpoint", endpoint) && !endpoint.empty()) found.Endpoint = endpoint;
  }
  for (const pugi::xml_node net : root.children("netport")) {
    std::string endpoint;
    if (TryGetAttrStr(net, "endpoint", endpoint) && !endpoint.empty()) found.NetworkPorts.push_back(endpoint);
  }
  aValues = found;
  return true;
}

bool SaveOptionsFile(const std::filesystem::path& aPath, const TzOptionsRecord& aRecord,
                     std::string& aError) {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  pugi::xml_node port = doc.append_child("options").append_child("comport");
  port.append_attribute("indx") = aRecord.Indx;
  if (!aRecord.Endpoint.empty()) port.append_attribute("endpoint") = aRecord.Endpoint.c_str();
  port.append_attribute("addr") = aRecord.Addr.c_str();
  port.append_attribute("baudrate") = aRecord.BaudRate;
  port.append_attribute("format") = aRecord.Format;
  port.append_attribute("timeout") = aRecord.Timeout.c_str();
  for (const std::string& endpoint : aRecord.NetworkPorts)
    doc.document_element().append_child("netport").append_attribute("endpoint") = endpoint.c_str();
  std::ostringstream text;
  doc.save(text, "  ", pugi::format_default, pugi::encoding_utf8);

  return WriteFileReplacing(aPath, text.str(), aError);
}

std::filesystem::path OptionsFilePath() {
#ifdef _WIN32
  return ToPath(QCoreApplication::applicationDirPath() + QStringLiteral("/Options.xml"));
#else
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return ToPath(base + QStringLiteral("/rk7140/Options.xml"));
#endif
}
