// The metadata registry: bucket chains of descriptors and class records,
// resolution of descriptors, and the process-wide instance.
#include "API/core/cDeltaMetaDataRegistry.h"

#include <cstring>
#include <new>

#include "API/core/DeltaBuiltInTypes.h"
#include "Core/cFxMemoryHeapOutBandStack.h"
#include "publiclibraries/cSingletonManager.h"

const cGUID gDeltaMetaDataRegistryId("BF37C8DE-E444-4036-9714-6098D5CC72A0");

namespace {

alignas(cDeltaMetaDataRegistry) unsigned char gRegistryStorage[sizeof(cDeltaMetaDataRegistry)];

constexpr uint32_t cNameSize = 256;

const char* RunTimeName(const sDeltaClassRecord* record) {
  return record->mTypeInfo != nullptr ? record->mTypeInfo->name() : (record->mName ? record->mName : "");
}

}  // namespace

cDeltaMetaDataRegistry::cDeltaMetaDataRegistry()
    : mTypes{},
      mClasses{},
      mShortcuts{},
      mHeap(new cFxMemoryHeapOutBandStack("Delta metadata")),
      mBuiltInsRegistered(false) {
  mClassList.reserve(kDeltaRegistry::cClassListReserve);
}

cDeltaMetaDataRegistry::~cDeltaMetaDataRegistry() {}

void* cDeltaMetaDataRegistry::operator new(size_t size) { return ::operator new(size); }

void cDeltaMetaDataRegistry::operator delete(void* registry) noexcept {
  if (registry != gRegistryStorage) ::operator delete(registry);
}

cDeltaMetaDataRegistry& cDeltaMetaDataRegistry::Get() {
  cSingletonManager& manager = tSingletonManager::Instance();
  iInterfaceProvider* found = manager.GetInstance(gDeltaMetaDataRegistryId);
  cDeltaMetaDataRegistry* registry =
      found ? static_cast<cDeltaMetaDataRegistry*>(found->QueryInterface(gDeltaMetaDataRegistryId)) : nullptr;
  if (registry == nullptr) {
    registry = new (gRegistryStorage) cDeltaMetaDataRegistry();
    manager.Register(gDeltaMetaDataRegistryId, nullptr, registry, 0, true);
  }
  registry->RegisterBuiltInTypes();
  return *registry;
}

void* cDeltaMetaDataRegistry::QueryInterface(const cGUID& id) {
  if (id == gDeltaMetaDataRegistryId) return this;
  return iInterfaceProvider::QueryInterface(id);
}

void cDeltaMetaDataRegistry::Resolve(sDeltaTypeDescriptor* type) {
  if (type->mFlags & kDeltaFlags::cResolved) return;
  // Marked first, so a pointer chain that leads back here ends.
  type->mFlags |= kDeltaFlags::cResolved;
  switch (type->mKind) {
    case kDeltaKind::Class:
      type->mClass = type->mResolveClass ? type->mResolveClass() : nullptr;
      if (type->mClass != nullptr) RegisterClass(type->mClass);
      break;
    case kDeltaKind::Enum:
      type->mEnum = type->mResolveEnum ? type->mResolveEnum() : nullptr;
      break;
    case kDeltaKind::Pointer:
      type->mElement = type->mResolveElement ? type->mResolveElement() : nullptr;
      if (type->mElement != nullptr) Resolve(type->mElement);
      break;
    default:
      break;
  }
}

void cDeltaMetaDataRegistry::SetShortcut(const sDeltaTypeDescriptor* type) {
  using namespace kDeltaRegistry;
  const uint32_t size = type->mSize;
  const int sized = size == 1 ? 0 : size == 2 ? 1 : size == 4 ? 2 : size == 8 ? 3 : -1;
  int which = -1;
  switch (type->mKind) {
    case kDeltaKind::Void: which = Void; break;
    case kDeltaKind::SignedInt: which = sized < 0 ? -1 : Int8 + sized; break;
    case kDeltaKind::UnsignedInt: which = sized < 0 ? -1 : UInt8 + sized; break;
    case kDeltaKind::Float: which = size == 4 ? Float32 : size == 8 ? Float64 : -1; break;
    case kDeltaKind::Bool: which = Bool; break;
    case kDeltaKind::String: which = String; break;
    case kDeltaKind::Char8: which = Char8; break;
    default: break;
  }
  if (which >= 0) mShortcuts[which] = type;
}

const sDeltaTypeDescriptor* cDeltaMetaDataRegistry::RegisterType(sDeltaTypeDescriptor* type) {
  if (type == nullptr) return nullptr;
  Resolve(type);
  char name[cNameSize];
  FxDeltaTypeName(type, name, sizeof name);
  const uint32_t bucket = FxDeltaNameHash(name);
  char other[cNameSize];
  for (sDeltaTypeDescriptor* known = mTypes[bucket]; known != nullptr; known = known->mNext) {
    if (known == type) return known;
    FxDeltaTypeName(known, other, sizeof other);
    if (strcmp(name, other) == 0) return known;
  }
  type->mNext = mTypes[bucket];
  mTypes[bucket] = type;
  SetShortcut(type);
  return type;
}

const sDeltaTypeDescriptor* cDeltaMetaDataRegistry::FindType(const char* name) const {
  if (name == nullptr) return nullptr;
  char other[cNameSize];
  for (const sDeltaTypeDescriptor* known = mTypes[FxDeltaNameHash(name)]; known != nullptr;
       known = known->mNext) {
    FxDeltaTypeName(known, other, sizeof other);
    if (strcmp(name, other) == 0) return known;
  }
  return nullptr;
}

void cDeltaMetaDataRegistry::RegisterClass(sDeltaClassRecord* record) {
  if (record == nullptr || (record->mFlags & kDeltaFlags::cClassRegistered)) return;
  record->mFlags |= kDeltaFlags::cClassRegistered;
  const char* name = RunTimeName(record);
  const uint32_t bucket = FxDeltaNameHash(name);
  for (sDeltaClassRecord* known = mClasses[bucket]; known != nullptr; known = known->mNext) {
    if (strcmp(name, RunTimeName(known)) == 0) {
      *record = *known;
      return;
    }
  }
  record->mNext = mClasses[bucket];
  mClasses[bucket] = record;
  mClassList.push_back(record);
}

const sDeltaClassRecord* cDeltaMetaDataRegistry::FindClass(const char* typeName) const {
  if (typeName == nullptr) return nullptr;
  for (const sDeltaClassRecord* known = mClasses[FxDeltaNameHash(typeName)]; known != nullptr;
       known = known->mNext) {
    if (strcmp(typeName, RunTimeName(known)) == 0) return known;
  }
  return nullptr;
}

void cDeltaMetaDataRegistry::RegisterBuiltInTypes() {
  if (mBuiltInsRegistered) return;
  mBuiltInsRegistered = true;
  sDeltaTypeDescriptor* const* types = FxDeltaBuiltInTypes();
  for (uint32_t i = 0; i < cDeltaBuiltInCount; ++i) RegisterType(types[i]);
}
