// Interface identifiers: text form and comparison through the platform
// layer, the log form through cLog's number formats.
#include "API/core/cGUID.h"

#include <cstring>

#include "API/core/cLog.h"
#include "Core/platform/FxPlatform.h"

cGUID::cGUID(const char* text) : cGUID() {
  uint8_t bytes[16];
  FxPlatformGuidFromString(text, bytes);  // all zero when the text does not parse
  memcpy(this, bytes, sizeof bytes);
}

bool cGUID::operator==(const cGUID& other) const {
  return FxPlatformGuidEqual(reinterpret_cast<const uint8_t*>(this),
                             reinterpret_cast<const uint8_t*>(&other));
}

cFxString cGUID::ToString() const {
  return FxPlatformGuidToString(reinterpret_cast<const uint8_t*>(this));
}

cLog& operator<<(cLog& log, const cGUID& id) {
  log << "{" << &cLog::hex << static_cast<unsigned int>(id.mData1) << "-"
      << static_cast<unsigned short>(id.mData2) << "-" << static_cast<unsigned short>(id.mData3) << "-";
  for (uint8_t byte : id.mData4) log << static_cast<unsigned char>(byte);
  return log << &cLog::dec << "}";
}
