#include "xml/WalkDocument.h"

#include <vector>

#include "xml/cElementVisitor.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"

namespace {

// The walk's elements, one per depth of the open elements. The element of
// a start tag serves the next start tag at its depth once no visitor holds
// it (a visitor that keeps an element lets go of it at its end tag at the
// latest), so the walk makes an element per depth reached rather than per
// start tag, and a sibling with the same name and attributes as the one
// before it changes no reference count.
class cElementsByDepth {
 public:
  cElementsByDepth() = default;
  ~cElementsByDepth() {
    for (cXmlElement* element : mElements) {
      if (element) element->Release();
    }
  }
  cElementsByDepth(const cElementsByDepth&) = delete;
  cElementsByDepth& operator=(const cElementsByDepth&) = delete;

  // The element for a start tag at `depth` (1 for the root).
  cXmlElement& Take(int32_t depth, const cFxWString& name) {
    const size_t index = depth > 0 ? static_cast<size_t>(depth - 1) : 0;
    if (index >= mElements.size()) mElements.resize(index + 1, nullptr);
    cXmlElement*& element = mElements[index];
    if (element && element->GetRefCount() != 1) {
      // A visitor still holds the last one: it keeps it, the walk starts
      // another.
      element->Release();
      element = nullptr;
    }
    if (element) {
      element->Reset(name);
    } else {
      element = new cXmlElement(name);
    }
    return *element;
  }

 private:
  std::vector<cXmlElement*> mElements;
};

void StartElement(const cXmlParser& parser, cElementVisitor& visitor, cElementsByDepth& elements,
                  bool withAttributes) {
  cXmlElement& element = elements.Take(parser.GetDepth(), parser.GetName());
  const uint32_t count = withAttributes ? parser.GetAttributeCount() : 0;
  for (uint32_t i = 0; i < count; ++i) {
    element.AddAttribute(parser.GetAttributeName(i), parser.GetAttributeValue(i),
                         parser.GetAttributeNamespace(i));
  }
  visitor.StartElement(element);
}

}  // namespace

bool WalkDocument(cXmlParser& parser, cElementVisitor& visitor) {
  cElementsByDepth elements;
  const bool withAttributes = visitor.WantsAttributes();
  parser.SetAttributeValuesWanted(withAttributes);
  visitor.StartDocument();
  for (;;) {
    switch (parser.GetNodeType()) {
      case eDocumentEnd:
        visitor.EndDocument();
        return true;
      case eNone:
        visitor.EndDocument();
        return false;
      case eElementStart:
        StartElement(parser, visitor, elements, withAttributes);
        break;
      case eElementEnd:
        visitor.EndElement(parser.GetName());
        break;
      case eText:
        // A text that starts with CR is the line break and indentation
        // between the tags of a CR LF file: the writer lays that out itself.
        if (!parser.TextStartsWith(u'\r') && visitor.WantsText()) visitor.Text(cXmlText(parser));
        break;
      case eDocumentStart:
      case eDeclaration:
        break;
    }
    parser.Read();
  }
}
