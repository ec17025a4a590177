// Holds the one instance of a process-wide object.
//
// Instance() creates the object on first access through the creation
// policy and schedules DestroySingleton to run at process exit through the
// lifetime policy. After DestroySingleton the next access brings the
// object back: the destroyed flag is cleared and the object is created
// again. Destroying a dead singleton is reported as an assertion and
// otherwise ignored.
//
//   typedef tSingletonHolder<cSingletonManager, CreateUsingStaticMemberFunction,
//                            DefaultLifetime> tSingletonManager;
//   tSingletonManager::Instance().Register(...);
//
// Single-threaded.
#pragma once

#include <cstdlib>

#include "API/core/FxAssert.h"

// Creation through T's own static member function `T* CreateInstance()`,
// which builds the object in static storage and arranges its destruction
// at process exit.
struct CreateUsingStaticMemberFunction {
  template <class T>
  static T* Create() {
    return T::CreateInstance();
  }
};

// Destruction at process exit, after everything registered later.
struct DefaultLifetime {
  static void ScheduleDestruction(void (*destroy)()) { atexit(destroy); }
};

template <class T, class CreationPolicy, class LifetimePolicy>
class tSingletonHolder {
 public:
  struct StaticData {
    static inline T* mInstance = nullptr;
    static inline bool mDestroyed = false;
  };

  static T& Instance() {
    if (StaticData::mInstance == nullptr) MakeInstance();
    return *StaticData::mInstance;
  }

  static void DestroySingleton() {
    FX_ASSERT(!StaticData::mDestroyed, "Attempting to destroy dead singleton");
    StaticData::mInstance = nullptr;
    StaticData::mDestroyed = true;
  }

 private:
  static void MakeInstance() {
    // A singleton asked for after its destruction comes back.
    if (StaticData::mDestroyed) StaticData::mDestroyed = false;
    StaticData::mInstance = CreationPolicy::template Create<T>();
    LifetimePolicy::ScheduleDestruction(&DestroySingleton);
  }
};
