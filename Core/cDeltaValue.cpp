// Typed values: widening into the holder's storage and conversion to text.
#include "API/core/cDeltaValue.h"

#include <cstdlib>
#include <cstring>

#include "API/core/cFxException.h"

namespace {

int64_t ReadSigned(const void* value, uint32_t size) {
  switch (size) {
    case 1: { int8_t v; memcpy(&v, value, 1); return v; }
    case 2: { int16_t v; memcpy(&v, value, 2); return v; }
    case 4: { int32_t v; memcpy(&v, value, 4); return v; }
    default: { int64_t v; memcpy(&v, value, 8); return v; }
  }
}

uint64_t ReadUnsigned(const void* value, uint32_t size) {
  switch (size) {
    case 1: { uint8_t v; memcpy(&v, value, 1); return v; }
    case 2: { uint16_t v; memcpy(&v, value, 2); return v; }
    case 4: { uint32_t v; memcpy(&v, value, 4); return v; }
    default: { uint64_t v; memcpy(&v, value, 8); return v; }
  }
}

bool HasSize(uint32_t size) { return size == 1 || size == 2 || size == 4 || size == 8; }

}  // namespace

cDeltaValue::cDeltaValue(const sDeltaTypeDescriptor* type, const void* value)
    : mType(type), mValue(value), mStorage{} {
  if (type == nullptr || value == nullptr) return;
  switch (type->mKind) {
    case kDeltaKind::SignedInt:
      if (HasSize(type->mSize)) mStorage.mSigned = ReadSigned(value, type->mSize);
      break;
    case kDeltaKind::UnsignedInt:
      if (HasSize(type->mSize)) mStorage.mUnsigned = ReadUnsigned(value, type->mSize);
      break;
    case kDeltaKind::Float:
      if (type->mSize == 4) {
        float v;
        memcpy(&v, value, 4);
        mStorage.mFloat = v;
      } else if (type->mSize == 8) {
        memcpy(&mStorage.mFloat, value, 8);
      }
      break;
    case kDeltaKind::Bool:
    case kDeltaKind::Char8:
      mStorage.mUnsigned = ReadUnsigned(value, 1);
      break;
    case kDeltaKind::Enum:
      mStorage.mSigned = ReadSigned(value, 4);
      break;
    case kDeltaKind::String:
      mText = *static_cast<const cFxWString*>(value);
      break;
    default:
      break;
  }
}

cFxWString cDeltaValue::ToText() const {
  const uint8_t kind = mType ? mType->mKind : 0xFF;
  switch (kind) {
    case kDeltaKind::SignedInt:
      if (HasSize(mType->mSize)) return cFxWString::FromInt(mStorage.mSigned);
      break;
    case kDeltaKind::UnsignedInt:
      if (HasSize(mType->mSize)) return cFxWString::FromUInt(mStorage.mUnsigned);
      break;
    case kDeltaKind::Float:
      if (mType->mSize == 4 || mType->mSize == 8) return cFxWString::FromDouble(mStorage.mFloat);
      break;
    case kDeltaKind::Bool:
      return cFxWString::FromUInt(mStorage.mUnsigned);
    case kDeltaKind::String:
      return mText;
    case kDeltaKind::Enum: {
      const sDeltaEnumRecord* record = FxDeltaEnumOf(mType);
      for (uint32_t i = 0; record != nullptr && i < record->mCount; ++i) {
        if (record->mEntries[i].mValue == mStorage.mSigned) return cFxWString(record->mEntries[i].mName);
      }
      return cFxWString::FromInt(mStorage.mSigned);
    }
    case kDeltaKind::Char8:
      // Bytes widen by sign extension, as everywhere narrow text turns wide.
      return cFxWString::FromChar(static_cast<wchar16>(static_cast<int8_t>(static_cast<uint8_t>(mStorage.mUnsigned))));
    default:
      break;
  }
  ConversionFailed();
}

void cDeltaValue::ConversionFailed() const {
  cDeltaAccessorException exception(
      cFxString::Format("Conversion from %s to failed.", FxDeltaTypeName(mType).c_str()));
  exception.Raise();
  // Raise returns only when the exception hook took the exception.
  abort();
}
