#include "uFileReplace.h"

#include <cerrno>
#include <fstream>
#include <system_error>

namespace {

std::string PathText(const std::filesystem::path& aPath) {
  const std::u8string text = aPath.u8string();
  return std::string(text.begin(), text.end());
}

// The system's reason for the last failed stream operation, when it left one.
std::string Reason(int aErrno) {
  return aErrno != 0 ? ": " + std::generic_category().message(aErrno) : std::string();
}

}  // namespace

bool WriteFileReplacing(const std::filesystem::path& aPath, std::string_view aData, std::string& aError) {
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
  errno = 0;
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (out) out.write(aData.data(), static_cast<std::streamsize>(aData.size()));
  if (out) out.flush();
  // A full disk may only show when the last buffer is written out on close.
  if (out.is_open()) out.close();
  if (!out) {
    const int error = errno;
    std::filesystem::remove(temp, ec);
    aError = "не удалось записать файл " + PathText(temp) + Reason(error);
    return false;
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
