// A 16-byte interface identifier in the standard GUID layout: a 32-bit and
// two 16-bit fields in the machine's byte order, then eight bytes.
//
// Built from the text form "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx"; text that
// does not parse gives the all-zero GUID. Parsing, formatting and comparison
// go through the platform layer, so both builds agree on every identifier.
#pragma once

#include "API/core/FxTypes.h"
#include "API/core/cFxString.h"

class cLog;

class cGUID {
 public:
  cGUID() : mData1(0), mData2(0), mData3(0), mData4{} {}
  explicit cGUID(const char* text);

  bool operator==(const cGUID& other) const;
  bool operator!=(const cGUID& other) const { return !(*this == other); }
  bool IsZero() const { return *this == cGUID(); }
  // The text form with lower-case hex digits.
  cFxString ToString() const;

  uint32_t mData1;
  uint16_t mData2;
  uint16_t mData3;
  uint8_t mData4[8];
};

static_assert(sizeof(cGUID) == 16, "a GUID is 16 bytes");

// The log form: "{", the three fields as "%08x", "%04x", "%04x" joined by
// "-", "-", the eight bytes as "%02x" each without separators, "}". The log
// is left in decimal mode.
cLog& operator<<(cLog& log, const cGUID& id);
