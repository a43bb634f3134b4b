// The POSIX stand-in of the driver's settings record and termios, both ways.
// Kept apart from the backend so the mapping (parity, stop bits, speeds) can
// be checked without a device: a pseudo-terminal refuses parity.
#pragma once

#ifndef _WIN32

#include <termios.h>

#include <cstdint>

#include "uLineSettings.h"

// The termios speed constant of aBaud; false for a speed termios lacks.
bool BaudToSpeed(uint32_t aBaud, speed_t& aSpeed);
// The bit rate of a termios speed constant; 0 for an unknown one.
uint32_t SpeedToBaud(speed_t aSpeed);

// Lays the record over aTio in raw mode (no echo, no line editing, no
// character translation, reads return what is there). False, aTio
// unchanged, when the record asks for what termios cannot do: an unknown
// speed, a byte size outside 5..8, parity above 4 (or mark/space without
// CMSPAR), one and a half stop bits or a stop-bit code above 2.
// Flags: parity check -> INPCK, CTS flow or RTS handshake -> CRTSCTS,
// OutX -> IXON, InX -> IXOFF; XonChar/XoffChar -> VSTART/VSTOP when not 0.
// The other flags and characters have no termios counterpart.
bool DcbToTermios(const TzPlatformDCB& aDCB, termios& aTio);

// A binary line: no software flow control, no line editing, no echo, no
// signals, no character translation, eight data bits, the receiver on,
// modem lines ignored, reads that return what is there (VMIN = VTIME = 0).
// Speed, parity, stop bits and hardware handshake are left as they are.
void MakeRawLine(termios& aTio);

// The record the driver's termios describes (binary mode, DTR on, RTS on or
// handshake, the limits and the error, end and event characters 0).
TzPlatformDCB TermiosToDcb(const termios& aTio);

#endif
