// Time on a real serial line, for answers that keep a real line's pace.
#pragma once

#include <cstddef>
#include <cstdint>

// Bits of one character in a format code (4..7): start bit, 8 data bits,
// parity bit if any, stop bits: 10 for 8N1, 11 for 8O1, 8E1 and 8N2.
int SimBitsPerChar(int aFormatCode);

// Microseconds from the master's first request byte to the last answer
// byte on a real line: the request's bytes, the 3.5-character silence that
// ends the request, and the answer's bytes, at aBaudRate in aFormatCode.
int64_t SimWireMicros(size_t aRequestBytes, size_t aAnswerBytes, int aBaudRate, int aFormatCode);
