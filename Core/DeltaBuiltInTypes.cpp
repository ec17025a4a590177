// The built-in descriptors and the class records of cDeltaAttribute, cGUID
// and cDeltaBlobOwner.
#include "API/core/DeltaBuiltInTypes.h"

#include <new>

#include "API/core/cGUID.h"

sDeltaTypeDescriptor gDeltaUInt32Type = FxDeltaType(kDeltaKind::UnsignedInt, 4);
sDeltaTypeDescriptor gDeltaUInt8Type = FxDeltaType(kDeltaKind::UnsignedInt, 1);
sDeltaTypeDescriptor gDeltaFloat32Type = FxDeltaType(kDeltaKind::Float, 4);
sDeltaTypeDescriptor gDeltaInt16Type = FxDeltaType(kDeltaKind::SignedInt, 2);
sDeltaTypeDescriptor gDeltaAttributeType = FxDeltaClassType(FxDeltaAttributeClass);
sDeltaTypeDescriptor gDeltaStringType = FxDeltaType(kDeltaKind::String);
sDeltaTypeDescriptor gDeltaInt64Type = FxDeltaType(kDeltaKind::SignedInt, 8);
sDeltaTypeDescriptor gDeltaUInt16Type = FxDeltaType(kDeltaKind::UnsignedInt, 2);
sDeltaTypeDescriptor gDeltaFloat64Type = FxDeltaType(kDeltaKind::Float, 8);
sDeltaTypeDescriptor gDeltaGuidType = FxDeltaClassType(FxDeltaGuidClass);
sDeltaTypeDescriptor gDeltaInt32Type = FxDeltaType(kDeltaKind::SignedInt, 4);
sDeltaTypeDescriptor gDeltaUInt64Type = FxDeltaType(kDeltaKind::UnsignedInt, 8);
sDeltaTypeDescriptor gDeltaBoolType = FxDeltaType(kDeltaKind::Bool);
sDeltaTypeDescriptor gDeltaChar8Type = FxDeltaType(kDeltaKind::Void);
sDeltaTypeDescriptor gDeltaBlobOwnerType = FxDeltaClassType(FxDeltaBlobOwnerClass);
sDeltaTypeDescriptor gDeltaInt8Type = FxDeltaType(kDeltaKind::SignedInt, 1);

const sDeltaNamedType gDeltaDevString = {"DevString"};

namespace {

template <class T>
void* Create() {
  return new (std::nothrow) T();
}
template <class T>
void Construct(void* at) {
  new (at) T();
}
template <class T>
void Destruct(void* at) {
  static_cast<T*>(at)->~T();
}
template <class T>
void Copy(void* to, const void* from) {
  *static_cast<T*>(to) = *static_cast<const T*>(from);
}
template <class T>
constexpr sDeltaClassOperations Operations() {
  return {Construct<T>, Destruct<T>, Copy<T>};
}

static_assert(sizeof(cDeltaAttribute) == 4 && sizeof(cDeltaBlobOwner) == 4,
              "handle objects are one 32-bit word on every build");

sDeltaTypeDescriptor gDevStringType = FxDeltaNamedType(&gDeltaDevString);

}  // namespace

sDeltaClassRecord* FxDeltaAttributeClass() {
  static sDeltaClassRecord record = {"cDeltaAttribute", Create<cDeltaAttribute>, &typeid(cDeltaAttribute),
                                     kDeltaFlags::cClassHandleObject, sizeof(cDeltaAttribute),
                                     Operations<cDeltaAttribute>(), 0, nullptr, nullptr};
  return &record;
}

sDeltaClassRecord* FxDeltaBlobOwnerClass() {
  static sDeltaClassRecord record = {"cDeltaBlobOwner", Create<cDeltaBlobOwner>, &typeid(cDeltaBlobOwner),
                                     kDeltaFlags::cClassHandleObject, sizeof(cDeltaBlobOwner),
                                     Operations<cDeltaBlobOwner>(), 0, nullptr, nullptr};
  return &record;
}

sDeltaClassRecord* FxDeltaGuidClass() {
  // The text form that XML data files hold, and the 16 bytes of the binary
  // form, both starting at the GUID's first byte.
  static const sDeltaMember members[2] = {{"Text", &gDevStringType, 0}, {"Bytes", &gDeltaUInt8Type, 0}};
  static sDeltaClassRecord record = {"cGUID", Create<cGUID>, &typeid(cGUID), 0, sizeof(cGUID),
                                     Operations<cGUID>(), 2, members, nullptr};
  return &record;
}

sDeltaTypeDescriptor* const* FxDeltaBuiltInTypes() {
  // The one descriptor with no constant form of its own.
  gDeltaChar8Type.mKind = kDeltaKind::Char8;
  static sDeltaTypeDescriptor* const types[cDeltaBuiltInCount] = {
      &gDeltaUInt32Type, &gDeltaUInt8Type,  &gDeltaFloat32Type, &gDeltaInt16Type,
      &gDeltaAttributeType, &gDeltaStringType, &gDeltaInt64Type, &gDeltaUInt16Type,
      &gDeltaFloat64Type, &gDeltaGuidType,  &gDeltaInt32Type,   &gDeltaUInt64Type,
      &gDeltaBoolType,   &gDeltaChar8Type,  &gDeltaBlobOwnerType, &gDeltaInt8Type};
  return types;
}
