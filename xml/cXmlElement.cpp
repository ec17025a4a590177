#include "xml/cXmlElement.h"

#include <new>

#include "xml/cXmlWriter.h"

namespace {

// Released elements' storage, linked through its first word. Bounded, so
// a visitor that once held many elements does not pin their memory for
// ever; the walk itself needs only as many as elements are open at once.
struct sFreeBlock {
  sFreeBlock* mNext;
};
sFreeBlock* gFreeElements = nullptr;
uint32_t gFreeElementCount = 0;
// Under AddressSanitizer nothing is kept, so an element used after its
// last Release is reported instead of silently reused.
#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t cMaxFreeElements = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr uint32_t cMaxFreeElements = 0;
#else
constexpr uint32_t cMaxFreeElements = 256;
#endif
#else
constexpr uint32_t cMaxFreeElements = 256;
#endif

}  // namespace

// Out of line: the deleting destructor picks the storage's owner, which
// only the element's own code needs to see.
void cXmlElementBase::Release() {
  if (--mRefCount == 0) delete this;
}

void* cXmlElement::operator new(size_t size) {
  if (size == sizeof(cXmlElement) && gFreeElements != nullptr) {
    sFreeBlock* block = gFreeElements;
    gFreeElements = block->mNext;
    --gFreeElementCount;
    return block;
  }
  return ::operator new(size);
}

void cXmlElement::operator delete(void* storage, size_t size) {
  if (storage == nullptr) return;
  if (size == sizeof(cXmlElement) && gFreeElementCount < cMaxFreeElements) {
    sFreeBlock* block = static_cast<sFreeBlock*>(storage);
    block->mNext = gFreeElements;
    gFreeElements = block;
    ++gFreeElementCount;
    return;
  }
  ::operator delete(storage);
}

cXmlElement::cXmlElement(const cFxWString& name) : mName(name) {}

cXmlElement::~cXmlElement() = default;

void cXmlElement::AddAttribute(const cFxWString& name, const cFxWString& value,
                               const cFxWString& namespaceUri) {
  sAttribute* attribute;
  if (mAttributeCount < cInlineAttributes) {
    attribute = &mInline[mAttributeCount];
  } else {
    mMore.emplace_back();
    attribute = &mMore.back();
  }
  attribute->mName = name;
  attribute->mValue = value;
  attribute->mNamespace = namespaceUri;
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

void cXmlElement::WriteAttributes(cXmlWriter writer, bool declareNamespace, bool usePrefix) const {
  if (declareNamespace && mAttributeCount > 0) {
    const cFxWString* uri = GetAttributeNamespace(At(0).mName.c_str());
    writer.NamespaceDeclaration(u"d", uri ? uri->c_str() : u"");
  }
  const wchar16* prefix = usePrefix ? u"d" : u"";
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    const sAttribute& attribute = At(i);
    writer.Attribute(attribute.mName.c_str(), attribute.mValue.c_str(), prefix);
  }
}
