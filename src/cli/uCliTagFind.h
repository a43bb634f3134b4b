// Finding a tag of the template by what the user typed: its ID ("60070"),
// or its name, case-insensitive (Latin and Cyrillic letters alike), where a
// prefix that only one name starts with is enough.
#pragma once

#include <string>
#include <string_view>

#include "uGlobals.h"

// The tag, or nullptr with aWhy saying what was wrong ("no tag ...",
// "ambiguous ...: N names start so: ID "name"; ..." listing the candidates).
TzTag* FindTag(const TzDevice& aDevice, std::string_view aWhat, std::string& aWhy);

// aText in lower case: ASCII and Cyrillic (including Ё) letters.
std::string FoldCase(std::string_view aText);
