// Interface identifiers and the provider base's defaults.
#include "publiclibraries/iInterface.h"

const cGUID gInterfaceProviderId("2B4B0201-0B3E-46b9-A787-1ED25E7E2555");
const cGUID gDeltaObjectFactoryId("2F854B02-3105-47cd-991A-12991317813D");
const cGUID gDeltaAccessorId("2DF0470C-FB4E-4e0c-97FA-093E73436CB1");

void iInterfaceProvider::Initialise() {}
void iInterfaceProvider::Shutdown() {}
iInterfaceProvider::~iInterfaceProvider() {}
uint32_t iInterfaceProvider::GetInterfaceVersion() const { return 0; }

void* iInterfaceProvider::QueryInterface(const cGUID& id) {
  return id == gInterfaceProviderId ? this : nullptr;
}
