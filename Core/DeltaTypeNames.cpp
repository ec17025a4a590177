// Names of type descriptors and the hash that buckets them.
#include <cstdio>

#include "API/core/sDeltaTypeDescriptor.h"

namespace {

// Pointer chains deeper than this are taken to be cycles and end the name.
constexpr int cMaxPointerDepth = 32;

// Appends to a bounded buffer, counting what would have been written.
struct sNameBuffer {
  char* mOut;
  uint32_t mCapacity;
  uint32_t mLength;
  void Append(const char* text) {
    for (; *text != '\0'; ++text, ++mLength) {
      if (mLength + 1 < mCapacity) mOut[mLength] = *text;
    }
    if (mCapacity > 0) mOut[mLength + 1 < mCapacity ? mLength : mCapacity - 1] = '\0';
  }
};

void AppendName(const sDeltaTypeDescriptor* type, sNameBuffer& out, int depth) {
  if (type == nullptr || depth > cMaxPointerDepth) return;
  char sized[16];
  switch (type->mKind) {
    case kDeltaKind::Void: out.Append("void"); break;
    case kDeltaKind::SignedInt:
      snprintf(sized, sizeof sized, "sInt%u", static_cast<unsigned>(type->mSize * 8));
      out.Append(sized);
      break;
    case kDeltaKind::UnsignedInt:
      snprintf(sized, sizeof sized, "sUInt%u", static_cast<unsigned>(type->mSize * 8));
      out.Append(sized);
      break;
    case kDeltaKind::Float:
      snprintf(sized, sizeof sized, "sFloat%u", static_cast<unsigned>(type->mSize * 8));
      out.Append(sized);
      break;
    case kDeltaKind::Bool: out.Append("bool"); break;
    case kDeltaKind::String: out.Append("cDeltaString"); break;
    case kDeltaKind::Class: {
      const sDeltaClassRecord* record = FxDeltaClassOf(type);
      if (record != nullptr && record->mName != nullptr) out.Append(record->mName);
      break;
    }
    case kDeltaKind::Enum: {
      const sDeltaEnumRecord* record = FxDeltaEnumOf(type);
      if (record != nullptr && record->mName != nullptr) out.Append(record->mName);
      break;
    }
    case kDeltaKind::Pointer: {
      const sDeltaTypeDescriptor* element = FxDeltaElementOf(type);
      if (element == nullptr) break;
      AppendName(element, out, depth + 1);
      out.Append("*");
      break;
    }
    case kDeltaKind::Char8: out.Append("sChar8"); break;
    case kDeltaKind::Named:
      if (type->mNamed != nullptr && type->mNamed->mName != nullptr) out.Append(type->mNamed->mName);
      break;
    default: break;
  }
}

bool Resolved(const sDeltaTypeDescriptor* type) { return (type->mFlags & kDeltaFlags::cResolved) != 0; }

}  // namespace

const sDeltaClassRecord* FxDeltaClassOf(const sDeltaTypeDescriptor* type) {
  if (type == nullptr || type->mKind != kDeltaKind::Class) return nullptr;
  if (Resolved(type)) return type->mClass;
  return type->mResolveClass ? type->mResolveClass() : nullptr;
}

const sDeltaEnumRecord* FxDeltaEnumOf(const sDeltaTypeDescriptor* type) {
  if (type == nullptr || type->mKind != kDeltaKind::Enum) return nullptr;
  if (Resolved(type)) return type->mEnum;
  return type->mResolveEnum ? type->mResolveEnum() : nullptr;
}

const sDeltaTypeDescriptor* FxDeltaElementOf(const sDeltaTypeDescriptor* type) {
  if (type == nullptr || type->mKind != kDeltaKind::Pointer) return nullptr;
  if (Resolved(type)) return type->mElement;
  return type->mResolveElement ? type->mResolveElement() : nullptr;
}

uint32_t FxDeltaTypeName(const sDeltaTypeDescriptor* type, char* out, uint32_t capacity) {
  sNameBuffer buffer = {out, capacity, 0};
  if (capacity > 0) out[0] = '\0';
  AppendName(type, buffer, 0);
  return buffer.mLength;
}

cFxString FxDeltaTypeName(const sDeltaTypeDescriptor* type) {
  char name[256];
  const uint32_t length = FxDeltaTypeName(type, name, sizeof name);
  if (length < sizeof name) return cFxString(name, length);
  cFxString full = cFxString::Allocate(length);
  FxDeltaTypeName(type, full.Data(), length + 1);
  return full;
}

uint32_t FxDeltaNameHash(const char* name) {
  uint32_t h = 0;
  for (; name != nullptr && *name != '\0'; ++name) {
    h = h * 37 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*name)));
  }
  return h & 0xFFF;
}
