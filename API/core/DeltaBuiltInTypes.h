// The built-in type descriptors and class records of the serialised object
// format, and the small classes they describe.
//
// The registry registers the built-ins once, in this order: sUInt32,
// sUInt8, sFloat32, sInt16, cDeltaAttribute, cDeltaString, sInt64, sUInt16,
// sFloat64, cGUID, sInt32, sUInt64, bool, sChar8 (filled in at run time),
// cDeltaBlobOwner, sInt8.
#pragma once

#include "API/core/sDeltaTypeDescriptor.h"

// An attribute of a serialised object, held by its 32-bit index in the
// object's attribute table.
class cDeltaAttribute {
 public:
  uint32_t mIndex = 0;
};

// The owner of a binary blob, held by the 32-bit number of the blob's
// handle cell in the memory manager's pool.
class cDeltaBlobOwner {
 public:
  uint32_t mHandle = 0;
};

extern sDeltaTypeDescriptor gDeltaUInt32Type;
extern sDeltaTypeDescriptor gDeltaUInt8Type;
extern sDeltaTypeDescriptor gDeltaFloat32Type;
extern sDeltaTypeDescriptor gDeltaInt16Type;
extern sDeltaTypeDescriptor gDeltaAttributeType;
extern sDeltaTypeDescriptor gDeltaStringType;
extern sDeltaTypeDescriptor gDeltaInt64Type;
extern sDeltaTypeDescriptor gDeltaUInt16Type;
extern sDeltaTypeDescriptor gDeltaFloat64Type;
extern sDeltaTypeDescriptor gDeltaGuidType;
extern sDeltaTypeDescriptor gDeltaInt32Type;
extern sDeltaTypeDescriptor gDeltaUInt64Type;
extern sDeltaTypeDescriptor gDeltaBoolType;
extern sDeltaTypeDescriptor gDeltaChar8Type;  // kind 0 until the registration fills it in
extern sDeltaTypeDescriptor gDeltaBlobOwnerType;
extern sDeltaTypeDescriptor gDeltaInt8Type;

// The named type of a GUID's text form.
extern const sDeltaNamedType gDeltaDevString;

// The class records, each built on first use (the cGUID record with its
// member table: the text form as a "DevString" and the 16 bytes).
sDeltaClassRecord* FxDeltaAttributeClass();
sDeltaClassRecord* FxDeltaGuidClass();
sDeltaClassRecord* FxDeltaBlobOwnerClass();

// The built-ins in registration order, with sChar8 filled in.
constexpr uint32_t cDeltaBuiltInCount = 16;
sDeltaTypeDescriptor* const* FxDeltaBuiltInTypes();
