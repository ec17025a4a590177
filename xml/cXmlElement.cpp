#include "xml/cXmlElement.h"

#include "xml/cXmlWriter.h"

void cXmlElementBase::Release() {
  if (--mRefCount == 0) delete this;
}

cXmlElement::cXmlElement(const cFxWString& name) : mName(name) {}

cXmlElement::~cXmlElement() = default;

void cXmlElement::Reset(const cFxWString& name) {
  mName = name;
  for (uint32_t i = 0; i < mAttributeCount && i < cInlineAttributes; ++i) mInline[i] = sAttribute();
  mMore.clear();
  mAttributeCount = 0;
}

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

// The namespace recorded for the first attribute's name is that of the
// first attribute itself.
void cXmlElement::WriteAttributes(cXmlWriter writer, bool declareNamespace, bool usePrefix) const {
  if (declareNamespace && mAttributeCount > 0) writer.NamespaceDeclaration(u"d", At(0).mNamespace.c_str());
  const wchar16* prefix = usePrefix ? u"d" : u"";
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    const sAttribute& attribute = At(i);
    writer.Attribute(attribute.mName.c_str(), attribute.mValue.c_str(), prefix);
  }
}
