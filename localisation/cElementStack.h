// The stack of open elements that every visitor keeps, innermost last.
//
// The stack holds one reference to each element on it: Push adds a
// reference, Pop releases it, and whatever is still open when the stack goes
// away (a document cut short) is released then. Visitors push at the end of
// StartElement and pop at the start of EndElement, so during StartElement the
// top is the parent of the element being started, during Text the element
// holding the text, and after the pop in EndElement the parent of the
// element being ended.
#pragma once

#include <cstdint>
#include <vector>

class cXmlElement;

class cElementStack {
 public:
  cElementStack() = default;
  ~cElementStack();
  cElementStack(const cElementStack&) = delete;
  cElementStack& operator=(const cElementStack&) = delete;

  // Adds a reference to `element` and makes it the top.
  void Push(cXmlElement& element);
  // Releases the top element and removes it; an empty stack stays empty.
  void Pop();

  bool IsEmpty() const { return mElements.empty(); }
  uint32_t Size() const { return static_cast<uint32_t>(mElements.size()); }
  // The open element at position `index`, counted from the outermost (0);
  // index < Size().
  cXmlElement& At(uint32_t index) const { return *mElements[index]; }
  // The innermost open element, or null when the stack is empty.
  cXmlElement* Top() const { return mElements.empty() ? nullptr : mElements.back(); }

 private:
  std::vector<cXmlElement*> mElements;
};
