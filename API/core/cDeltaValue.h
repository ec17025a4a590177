// A typed value of the serialised object format and its conversion to text.
//
// The holder keeps the descriptor, the value's address and 8 bytes of
// inline storage that start zeroed. Values of up to 8 bytes are copied in
// widened to 64 bits: signed integers and enumerations sign-extended,
// unsigned integers, booleans and characters zero-extended, 32-bit floats
// as doubles. A cDeltaString value (a cFxWString) is held as its text.
//
// ToText by kind: integers in decimal, floats with "%g", a boolean's byte
// in decimal, a string as itself (shared), an enumeration as the name of
// the entry with its value (else the decimal value), a character with
// "%c". Any other kind raises cDeltaAccessorException with the text
// "Conversion from <type name> to failed."; the process then ends with
// status -1.
#pragma once

#include "API/core/cFxString.h"
#include "API/core/sDeltaTypeDescriptor.h"

class cDeltaValue {
 public:
  // `value` points to a value of `type` (for kind 5: a cFxWString); it is
  // read here and not kept beyond ToText.
  cDeltaValue(const sDeltaTypeDescriptor* type, const void* value);

  cFxWString ToText() const;

 private:
  [[noreturn]] void ConversionFailed() const;

  const sDeltaTypeDescriptor* mType;
  const void* mValue;
  union {
    int64_t mSigned;
    uint64_t mUnsigned;
    double mFloat;
    uint8_t mBytes[8];
  } mStorage;
  cFxWString mText;
};

inline cFxWString FxDeltaValueToText(const sDeltaTypeDescriptor* type, const void* value) {
  return cDeltaValue(type, value).ToText();
}
