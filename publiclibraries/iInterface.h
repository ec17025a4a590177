// The two bases of a service found through the singleton manager.
//
// A service derives from iInterfaceProvider, which gives it a virtual
// destructor (the manager destroys the instances it owns) and identifier
// queries, and from iInterface, which marks the interface it publishes.
// QueryInterface answers the object as the interface named by the
// identifier, or null; the caller casts the answer to the interface it
// asked for.
#pragma once

#include "API/core/FxTypes.h"
#include "API/core/cGUID.h"

// The identifier that every provider answers in queries.
extern const cGUID gInterfaceProviderId;  // 2B4B0201-0B3E-46b9-A787-1ED25E7E2555
// Interfaces of the serialised object model that services built on the core
// library publish: the object factory and the value accessors. This program
// defines them and asks for neither.
extern const cGUID gDeltaObjectFactoryId;  // 2F854B02-3105-47cd-991A-12991317813D
extern const cGUID gDeltaAccessorId;       // 2DF0470C-FB4E-4e0c-97FA-093E73436CB1

class iInterface {
 protected:
  ~iInterface() = default;
};

class iInterfaceProvider {
 public:
  // Called by owners that set services up and tear them down in steps;
  // nothing needs either by default.
  virtual void Initialise();
  virtual void Shutdown();
  virtual ~iInterfaceProvider();
  // Revision of the published interface; 0 for the first.
  virtual uint32_t GetInterfaceVersion() const;
  // This provider for gInterfaceProviderId, else null.
  virtual void* QueryInterface(const cGUID& id);
};
