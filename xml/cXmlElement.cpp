#include "xml/cXmlElement.h"

#include <new>

#include "xml/cXmlWriter.h"

namespace {

// Storage of destroyed elements, ready for the next ones, per thread. A
// visitor holds its open elements, so the number alive at once follows the
// nesting depth; the list keeps as many as a deep document needs and hands
// the rest back. Plain data, so an element released while the thread winds
// down still finds it.
struct sElementStorage {
  static constexpr uint32_t cKept = 64;
  void* mFree[cKept];
  uint32_t mCount;
  bool mClosed;  // the thread is ending: nothing more is kept
};
thread_local sElementStorage gStorage;

// Hands the kept storage back when the thread ends.
struct sElementStorageRelease {
  ~sElementStorageRelease() {
    while (gStorage.mCount != 0) ::operator delete(gStorage.mFree[--gStorage.mCount]);
    gStorage.mClosed = true;
  }
};

void* TakeStorage(size_t bytes) {
  if (gStorage.mCount != 0) return gStorage.mFree[--gStorage.mCount];
  return ::operator new(bytes);
}

void KeepStorage(void* storage) {
  static thread_local sElementStorageRelease release;
  (void)release;
  if (gStorage.mClosed || gStorage.mCount == sElementStorage::cKept) {
    ::operator delete(storage);
  } else {
    gStorage.mFree[gStorage.mCount++] = storage;
  }
}

}  // namespace

void* cXmlElement::operator new(size_t bytes) {
  // A class derived from the element may be larger: it gets storage of
  // its own.
  return bytes == sizeof(cXmlElement) ? TakeStorage(bytes) : ::operator new(bytes);
}

void cXmlElement::operator delete(void* storage, size_t bytes) {
  if (bytes == sizeof(cXmlElement)) {
    KeepStorage(storage);
  } else {
    ::operator delete(storage);
  }
}

void cXmlElementBase::Release() {
  if (--mRefCount == 0) delete this;
}

cXmlElement::cXmlElement(const cFxWString& name) : mName(name) {}

cXmlElement::~cXmlElement() { DestroyAttributes(); }

void cXmlElement::DestroyAttributes() {
  for (uint32_t i = 0; i < mInlineMade; ++i) mInline.mAttributes[i].~sAttribute();
  mInlineMade = 0;
  mMore.clear();
  mAttributeCount = 0;
}

void cXmlElement::Reset(const cFxWString& name) {
  mName = name;
  mMore.clear();
  mAttributeCount = 0;
}

void cXmlElement::AddAttribute(const cFxWString& name, const cFxWString& value,
                               const cFxWString& namespaceUri) {
  if (mAttributeCount < mInlineMade) {
    sAttribute& attribute = mInline.mAttributes[mAttributeCount];
    attribute.mName = name;
    attribute.mNamespace = namespaceUri;
    attribute.mValue = value;
  } else if (mAttributeCount < cInlineAttributes) {
    new (&mInline.mAttributes[mAttributeCount]) sAttribute{name, namespaceUri, value};
    ++mInlineMade;
  } else {
    mMore.push_back(sAttribute{name, namespaceUri, value});
  }
  ++mAttributeCount;
}

const cXmlElement::sAttribute* cXmlElement::Find(const wchar16* name) const {
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    const sAttribute& attribute = At(i);
    if (attribute.mName == name) return &attribute;
  }
  return nullptr;
}

const cFxWString* cXmlElement::GetAttribute(const wchar16* name) const {
  const sAttribute* attribute = Find(name);
  return attribute ? &attribute->mValue : nullptr;
}

const cFxWString* cXmlElement::GetAttributeNamespace(const wchar16* name) const {
  const sAttribute* attribute = Find(name);
  return attribute ? &attribute->mNamespace : nullptr;
}

// The namespace recorded for the first attribute's name is that of the
// first attribute itself.
void cXmlElement::WriteAttributes(cXmlWriter writer, bool declareNamespace, bool usePrefix) const {
  if (declareNamespace && mAttributeCount > 0) writer.NamespaceDeclaration(u"d", At(0).mNamespace.c_str());
  const wchar16* prefix = usePrefix ? u"d" : u"";
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    const sAttribute& attribute = At(i);
    writer.Attribute(attribute.mName, attribute.mValue.c_str(), attribute.mValue.Length(), prefix);
  }
}
