// Writing a whole file so that a failed write never damages the file it is
// meant to replace: the data go to a temporary file beside it, which is then
// renamed over the old one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Writes aData byte for byte to aPath + ".tmp" and renames that over aPath.
// Creates aPath's folder when it is missing. On any failure (folder, write,
// full disk, rename) the temporary file is removed, aPath is left as it was,
// and aError gets a message in Russian with the reason; the result is false.
bool WriteFileReplacing(const std::filesystem::path& aPath, std::string_view aData, std::string& aError);
