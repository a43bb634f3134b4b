#include "uOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <system_error>

#include "uUtils.h"

namespace {

std::filesystem::path ToPath(const QString& aText) {
  return std::filesystem::path(aText.toStdU16String());
}

std::string PathText(const std::filesystem::path& aPath) {
  const std::u8string text = aPath.u8string();
  return std::string(text.begin(), text.end());
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
  port.append_attribute("addr") = aRecord.Addr.c_str();
  port.append_attribute("baudrate") = aRecord.BaudRate;
  port.append_attribute("format") = aRecord.Format;
  port.append_attribute("timeout") = aRecord.Timeout.c_str();
  std::ostringstream text;
  doc.save(text, "  ", pugi::format_default, pugi::encoding_utf8);

  std::error_code ec;
  const std::filesystem::path folder = aPath.parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      aError = "не удалось создать папку " + PathText(folder) + ": " + ec.message();
      return false;
    }
  }

  std::filesystem::path temp = aPath;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) {
      out << text.str();
      out.flush();
    }
    if (!out) {
      std::filesystem::remove(temp, ec);
      aError = "не удалось записать файл " + PathText(temp);
      return false;
    }
  }
  std::filesystem::rename(temp, aPath, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    aError = "не удалось заменить файл " + PathText(aPath) + ": " + ec.message();
    return false;
  }
  return true;
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
