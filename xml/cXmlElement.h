// The record of one start tag: local name and attributes, reference-counted.
//
// The document walk builds one per start tag and releases its reference
// after the visitor's StartElement; a visitor that keeps the element (on its
// stack of open elements) holds a reference of its own.
#pragma once

#include <vector>

#include "API/core/cFxString.h"

class cXmlWriter;

class cXmlElementBase {
 public:
  virtual ~cXmlElementBase() = default;
  void AddRef() { ++mRefCount; }
  // Drops one reference; destroys the element at zero.
  void Release() {
    if (--mRefCount == 0) delete this;
  }
  int32_t GetRefCount() const { return mRefCount; }

 protected:
  int32_t mRefCount = 1;
};

class cXmlElement : public cXmlElementBase {
 public:
  explicit cXmlElement(const cFxWString& name);
  ~cXmlElement() override;

  const cFxWString& GetName() const { return mName; }
  // Appends an attribute in document order.
  void AddAttribute(const cFxWString& name, const cFxWString& value,
                    const cFxWString& namespaceUri);
  // The first attribute named `name`, or null when there is none.
  const cFxWString* GetAttribute(const wchar16* name) const;
  // The namespace recorded for a local name: that of the first attribute
  // with the name (later ones with the same local name do not change it).
  const cFxWString* GetAttributeNamespace(const wchar16* name) const;
  uint32_t GetAttributeCount() const { return static_cast<uint32_t>(mAttributes.size()); }
  const cFxWString& GetAttributeName(uint32_t i) const { return mAttributes[i].mName; }
  const cFxWString& GetAttributeValue(uint32_t i) const { return mAttributes[i].mValue; }
  // Writes ` xmlns:d="uri"` (uri recorded for the first attribute's name)
  // when `declareNamespace` and there are attributes, then every attribute
  // in order, prefixed "d" when `usePrefix`.
  void WriteAttributes(cXmlWriter writer, bool declareNamespace, bool usePrefix) const;

 private:
  struct sAttribute {
    cFxWString mName;
    cFxWString mNamespace;
    cFxWString mValue;
  };
  cFxWString mName;
  std::vector<sAttribute> mAttributes;
};
