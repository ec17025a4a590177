// Type descriptors of the serialised object format, and the records they
// refer to.
//
// A descriptor names a value's type in the format's own vocabulary:
//
//   kind  meaning            name
//   0     no value           "void"
//   1     signed integer     "sInt%d" (size in bits: 8, 16, 32, 64)
//   2     unsigned integer   "sUInt%d"
//   3     floating point     "sFloat%d" (32, 64)
//   4     boolean            "bool"
//   5     core string        "cDeltaString" (a cFxWString)
//   6     class              the class record's name
//   7     enumeration        the enumeration record's name
//   8     pointer            the element type's name followed by "*"
//   9     8-bit character    "sChar8"
//   10    named type         the named-type record's name
//
// Descriptors are static data. Kinds 6, 7 and 8 start with a function that
// answers the referenced record; the registry resolves them once, keeping
// the record and setting the resolved bit of the flags. The registry links
// descriptors and class records into its bucket chains through `mNext`, so
// a descriptor belongs to one registry.
#pragma once

#include <typeinfo>

#include "API/core/FxTypes.h"
#include "API/core/cFxString.h"

namespace kDeltaKind {
enum eKind : uint8_t {
  Void = 0,
  SignedInt = 1,
  UnsignedInt = 2,
  Float = 3,
  Bool = 4,
  String = 5,
  Class = 6,
  Enum = 7,
  Pointer = 8,
  Char8 = 9,
  Named = 10
};
}  // namespace kDeltaKind

namespace kDeltaFlags {
constexpr uint8_t cResolved = 0x80;             // descriptor: resolved by the registry
constexpr uint32_t cClassRegistered = 0x8000;   // class record: linked into a registry
// Class records of objects held by handle in the serialised object model:
// attributes and blob owners.
constexpr uint32_t cClassHandleObject = 0x3000;
}  // namespace kDeltaFlags

struct sDeltaTypeDescriptor;

// A member of a class record.
struct sDeltaMember {
  const char* mName;
  const sDeltaTypeDescriptor* mType;
  uint32_t mOffset;  // bytes from the instance's start
};

// The functions that build, destroy and copy instances of a class in
// caller-supplied storage; null where the class has none.
struct sDeltaClassOperations {
  void (*mConstruct)(void* at);
  void (*mDestruct)(void* at);
  void (*mCopy)(void* to, const void* from);
};

struct sDeltaClassRecord {
  const char* mName;
  void* (*mCreate)();              // a new instance, or null
  const std::type_info* mTypeInfo;  // the class's run-time type information
  uint32_t mFlags;
  uint32_t mSize;                  // bytes of an instance
  sDeltaClassOperations mOperations;
  uint32_t mMemberCount;
  const sDeltaMember* mMembers;
  sDeltaClassRecord* mNext;        // registry bucket chain
};

struct sDeltaEnumEntry {
  const char* mName;
  int32_t mValue;
};

// Enumeration values are held as 32-bit signed integers.
struct sDeltaEnumRecord {
  const char* mName;
  uint32_t mCount;
  const sDeltaEnumEntry* mEntries;
};

struct sDeltaNamedType {
  const char* mName;
};

struct sDeltaTypeDescriptor {
  uint8_t mKind;
  uint8_t mFlags;
  uint32_t mSize;  // kinds 1 to 3: bytes (1, 2, 4 or 8)
  // Until resolved: the function answering the referenced record.
  sDeltaClassRecord* (*mResolveClass)();              // kind 6
  const sDeltaEnumRecord* (*mResolveEnum)();          // kind 7
  sDeltaTypeDescriptor* (*mResolveElement)();         // kind 8
  // Once resolved (kind 10: from the start).
  sDeltaClassRecord* mClass;
  const sDeltaEnumRecord* mEnum;
  sDeltaTypeDescriptor* mElement;
  const sDeltaNamedType* mNamed;
  uint32_t mReserved;
  sDeltaTypeDescriptor* mNext;  // registry bucket chain
};

// Descriptors as constants.
constexpr sDeltaTypeDescriptor FxDeltaType(kDeltaKind::eKind kind, uint32_t size = 0) {
  return {kind, 0, size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr};
}
constexpr sDeltaTypeDescriptor FxDeltaClassType(sDeltaClassRecord* (*resolve)()) {
  return {kDeltaKind::Class, 0, 0, resolve, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr};
}
constexpr sDeltaTypeDescriptor FxDeltaEnumType(const sDeltaEnumRecord* (*resolve)()) {
  return {kDeltaKind::Enum, 0, 0, nullptr, resolve, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr};
}
constexpr sDeltaTypeDescriptor FxDeltaPointerType(sDeltaTypeDescriptor* (*resolve)()) {
  return {kDeltaKind::Pointer, 0, 0, nullptr, nullptr, resolve, nullptr, nullptr, nullptr, nullptr, 0, nullptr};
}
constexpr sDeltaTypeDescriptor FxDeltaNamedType(const sDeltaNamedType* named) {
  return {kDeltaKind::Named, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, named, 0, nullptr};
}

// The referenced records, resolving through the descriptor's function when
// the registry has not done so yet (the descriptor is left unchanged).
const sDeltaClassRecord* FxDeltaClassOf(const sDeltaTypeDescriptor* type);
const sDeltaEnumRecord* FxDeltaEnumOf(const sDeltaTypeDescriptor* type);
const sDeltaTypeDescriptor* FxDeltaElementOf(const sDeltaTypeDescriptor* type);

// The type's name; empty for null, for a kind outside the table and for a
// kind 6, 7, 8 or 10 without its record.
cFxString FxDeltaTypeName(const sDeltaTypeDescriptor* type);
// The same into `out` (always terminated; cut to fit). Answers the length
// the full name has.
uint32_t FxDeltaTypeName(const sDeltaTypeDescriptor* type, char* out, uint32_t capacity);

// Bucket of a name in the registry's 4096-chain tables: h = h * 37 + c over
// the bytes as signed 8-bit values, 32-bit, then h & 0xFFF.
uint32_t FxDeltaNameHash(const char* name);
