// The record of one start tag: local name and attributes, reference-counted.
//
// The document walk builds one per start tag and releases its reference
// after the visitor's StartElement; a visitor that keeps the element (on its
// stack of open elements) holds a reference of its own.
//
// Elements are created with new and destroyed only through Release. The
// first few attributes live inside the element, the walk keeps one element
// per depth and reuses it for the next start tag at that depth once no
// visitor holds it, and the storage of a destroyed element is kept for the
// next one (a few dozen per thread at most), so a walk whose visitor keeps
// every open element on a stack allocates nothing per element.
#pragma once

#include <vector>

#include "API/core/cFxString.h"

class cXmlWriter;

class cXmlElementBase {
 public:
  virtual ~cXmlElementBase() = default;
  void AddRef() { ++mRefCount; }
  // Drops one reference; destroys the element at zero.
  void Release();
  int32_t GetRefCount() const { return mRefCount; }

 protected:
  int32_t mRefCount = 1;
};

class cXmlElement : public cXmlElementBase {
 public:
  explicit cXmlElement(const cFxWString& name);
  ~cXmlElement() override;
  cXmlElement(const cXmlElement&) = delete;
  cXmlElement& operator=(const cXmlElement&) = delete;
  static void* operator new(size_t bytes);
  static void operator delete(void* storage, size_t bytes);

  const cFxWString& GetName() const { return mName; }
  // Makes the element the record of another start tag: `name`, no
  // attributes. Only for an element nobody else holds. The strings of the
  // old attributes stay held until their places are taken again, so a
  // sibling with the same attributes costs no reference counting.
  void Reset(const cFxWString& name);
  // Appends an attribute in document order.
  void AddAttribute(const cFxWString& name, const cFxWString& value,
                    const cFxWString& namespaceUri);
  // The first attribute named `name`, or null when there is none.
  const cFxWString* GetAttribute(const wchar16* name) const;
  // The namespace recorded for a local name: that of the first attribute
  // with the name (later ones with the same local name do not change it).
  // Null when no attribute has the name.
  const cFxWString* GetAttributeNamespace(const wchar16* name) const;
  uint32_t GetAttributeCount() const { return mAttributeCount; }
  const cFxWString& GetAttributeName(uint32_t i) const { return At(i).mName; }
  const cFxWString& GetAttributeValue(uint32_t i) const { return At(i).mValue; }
  // Writes ` xmlns:d="uri"` (uri recorded for the first attribute's name)
  // when `declareNamespace` and there are attributes, then every attribute
  // in order, prefixed "d" when `usePrefix`; values by their length, so a
  // NUL in a value is written too.
  void WriteAttributes(cXmlWriter writer, bool declareNamespace, bool usePrefix) const;

 private:
  struct sAttribute {
    cFxWString mName;
    cFxWString mNamespace;
    cFxWString mValue;
  };
  static constexpr uint32_t cInlineAttributes = 4;

  const sAttribute& At(uint32_t i) const {
    return i < cInlineAttributes ? mInline.mAttributes[i] : mMore[i - cInlineAttributes];
  }
  const sAttribute* Find(const wchar16* name) const;
  void DestroyAttributes();

  // The first attributes, constructed only as they are first added, so an
  // element with few attributes costs no more than those to make and to
  // destroy.
  union uInlineAttributes {
    uInlineAttributes() {}
    ~uInlineAttributes() {}
    sAttribute mAttributes[cInlineAttributes];
  };

  cFxWString mName;
  uint32_t mAttributeCount = 0;
  // Inline attributes constructed so far (>= those in use).
  uint32_t mInlineMade = 0;
  uInlineAttributes mInline;
  std::vector<sAttribute> mMore;  // attributes beyond the inline ones
};
