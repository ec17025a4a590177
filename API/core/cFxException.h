// Fatal errors as objects: built where the error is found, then Raise()d.
// Raise reports the message and ends the process with status -1 through
// FxFatalError; it returns only when the exception hook handles it, and the
// raising code then calls abort().
#pragma once

#include "API/core/cFxString.h"

class cFxException {
 public:
  explicit cFxException(const cFxString& message) : mMessage(message) {}
  virtual ~cFxException();
  virtual void Raise();
  virtual cFxString GetMessage() const;

 protected:
  cFxString mMessage;
};

// Raised by the value accessors of the serialisation metadata.
class cDeltaAccessorException : public cFxException {
 public:
  using cFxException::cFxException;
};

// Raised by the XML parser; its text is "Line %d: " and the message.
class cXmlParseException : public cFxException {
 public:
  cXmlParseException(const cFxString& message, int32_t line)
      : cFxException(message), mLine(line) {}
  cFxString GetMessage() const override;

 private:
  int32_t mLine;
};
