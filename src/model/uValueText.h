// The text of a tag's value as the panel shows it.
//
// General floating-point form with at most 15 significant digits: fixed
// notation for ordinary magnitudes, an exponent ("1E+20", "1.5E-07") only
// for very large or very small ones; "INF" and "-INF" for infinities. The
// decimal separator is the user's locale's:
//   - the panel sets it once at start-up from its UI locale with
//     SetDecimalSeparator (a Russian locale gives ",", so 12.5 reads "12,5");
//   - until a separator is set, the C library's current LC_NUMERIC decimal
//     point is used (std::localeconv), which is "." unless the program took
//     the environment's locale with std::setlocale(LC_ALL, "").
// The number itself is formatted independently of the C locale, so exactly
// one separator is ever substituted.
#pragma once

#include <string>
#include <string_view>

// The process-wide decimal separator (any short UTF-8 text).
void SetDecimalSeparator(std::string_view aSeparator);
// Back to the C library's current decimal point.
void ResetDecimalSeparator();
// The separator in use now.
std::string DecimalSeparator();

// aValue in the general form above; empty for a NaN.
std::string FloatToText(double aValue);
