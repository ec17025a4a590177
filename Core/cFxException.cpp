// Fatal errors as objects: Raise reports the exception's text on channel 0
// and ends the process through FxFatalError.
#include "API/core/cFxException.h"

#include "API/core/FxError.h"

cFxException::~cFxException() {}

void cFxException::Raise() {
  tFxExceptionHook hook = FxGetExceptionHook();
  if (hook != nullptr && hook("0")) return;
  // Errors name the place where exceptions are raised, not their origin.
  FxSetCurrentLocation("API/core/cFxException", 113, 0);
  // The text goes through "%s" so a '%' in it is printed, not interpreted.
  const cFxString text = GetMessage();
  FxErrorPrintf("%s", text.c_str());
  FxFatalError("%s", text.c_str());
}

cFxString cFxException::GetMessage() const { return mMessage; }

cFxString cXmlParseException::GetMessage() const {
  return cFxString::Format("Line %d: %s", mLine, mMessage.c_str());
}
