// Request frames built from a tag: the reads and writes the panel queues.
// Both use the tag's device address (the low byte of DevAddr) and report
// false, leaving aFrame untouched, when the tag has no device or the request
// cannot be built.
#pragma once

#include "uGlobals.h"
#include "uStringBytes.h"

// Read of the tag: its ReadCmd (1..4), Reg and SegSize.
bool BuildTagReadFrame(const TzTag& aTag, TStringBytes& aFrame);

// Write of aValue to the tag: its WriteCmd (5 coil, 6 or 16 register),
// ValType (0..5 for registers), OrderMas and Reg. aWritten gets the value as
// the frame carries it: 1 or 0 for a coil, the truncated value reduced to the
// type's width for integers, the value rounded to single precision for a
// 32-bit float, the value itself for a 64-bit float.
bool BuildTagWriteFrame(const TzTag& aTag, double aValue, TStringBytes& aFrame, double& aWritten);
