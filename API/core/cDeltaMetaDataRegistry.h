// The metadata registry of the serialised object format: type descriptors
// and class records, looked up by name.
//
// Descriptors are chained in 4096 buckets by the hash of their type name,
// class records by the hash of their run-time type name. The process-wide
// registry (Get) is a service of the singleton manager, created on first use
// with the built-in descriptors registered once.
//
// Single-threaded.
#pragma once

#include <memory>
#include <vector>

#include "API/core/sDeltaTypeDescriptor.h"
#include "publiclibraries/iInterface.h"

class cFxMemoryHeapOutBandStack;

// The registry's key in the singleton manager and the identifier it answers.
extern const cGUID gDeltaMetaDataRegistryId;  // BF37C8DE-E444-4036-9714-6098D5CC72A0

namespace kDeltaRegistry {
constexpr uint32_t cBucketCount = 4096;
constexpr uint32_t cClassListReserve = 64;
// The descriptors the registry keeps at hand, set as they are registered.
enum eShortcut {
  Void, Int8, Int16, Int32, Int64, UInt8, UInt16, UInt32, UInt64, Float32, Float64, Bool, String, Char8,
  ShortcutCount
};
}  // namespace kDeltaRegistry

class cDeltaMetaDataRegistry final : public iInterfaceProvider, public iInterface {
 public:
  cDeltaMetaDataRegistry();
  ~cDeltaMetaDataRegistry() override;
  cDeltaMetaDataRegistry(const cDeltaMetaDataRegistry&) = delete;
  cDeltaMetaDataRegistry& operator=(const cDeltaMetaDataRegistry&) = delete;

  // The process-wide registry: asked of the singleton manager; when nothing
  // is registered, built in static storage, registered (no creator, order 0,
  // owned) and given the built-in descriptors.
  static cDeltaMetaDataRegistry& Get();

  // This registry for gDeltaMetaDataRegistryId, else what the provider
  // base answers.
  void* QueryInterface(const cGUID& id) override;

  // Resolves `type` and links it into its bucket, answering it, or answers
  // the descriptor already registered under the same name (`type` then
  // stays unlinked).
  const sDeltaTypeDescriptor* RegisterType(sDeltaTypeDescriptor* type);
  const sDeltaTypeDescriptor* FindType(const char* name) const;
  // Links a class record unless one with the same run-time type name is
  // registered, whose fields then overwrite the record's. A record already
  // registered (flag 0x8000) is left alone.
  void RegisterClass(sDeltaClassRecord* record);
  // By run-time type name (typeid(T).name()), or by record name for a
  // record without type information.
  const sDeltaClassRecord* FindClass(const char* typeName) const;
  // Registers the built-in descriptors once.
  void RegisterBuiltInTypes();

  const sDeltaTypeDescriptor* GetShortcut(kDeltaRegistry::eShortcut which) const { return mShortcuts[which]; }
  // Class records in registration order.
  const std::vector<sDeltaClassRecord*>& GetClasses() const { return mClassList; }

  // A registry in the static storage of Get is destroyed there, not freed;
  // one made with new is freed as usual.
  static void* operator new(size_t size);
  static void* operator new(size_t size, void* at) noexcept { return (void)size, at; }
  static void operator delete(void* registry) noexcept;

 private:
  void Resolve(sDeltaTypeDescriptor* type);
  void SetShortcut(const sDeltaTypeDescriptor* type);

  sDeltaTypeDescriptor* mTypes[kDeltaRegistry::cBucketCount];
  sDeltaClassRecord* mClasses[kDeltaRegistry::cBucketCount];
  const sDeltaTypeDescriptor* mShortcuts[kDeltaRegistry::ShortcutCount];
  // The registry's heap, never given memory. Held by pointer, so that this
  // header needs nothing of the heap's own.
  std::unique_ptr<cFxMemoryHeapOutBandStack> mHeap;
  std::vector<sDeltaClassRecord*> mClassList;
  bool mBuiltInsRegistered;
};
