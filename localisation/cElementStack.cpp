#include "localisation/cElementStack.h"

#include "xml/cXmlElement.h"

cElementStack::~cElementStack() {
  while (!mElements.empty()) Pop();
}

void cElementStack::Push(cXmlElement& element) {
  element.AddRef();
  mElements.push_back(&element);
}

void cElementStack::Pop() {
  if (mElements.empty()) return;
  cXmlElement* top = mElements.back();
  mElements.pop_back();
  top->Release();
}
