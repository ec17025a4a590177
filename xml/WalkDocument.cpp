#include "xml/WalkDocument.h"

#include "localisation/cElementVisitor.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"

namespace {

// The walk's reference to the element of the start tag being passed on.
// An element no visitor kept is not freed but reset for the next start tag,
// which spares an allocation per element.
class cElementSlot {
 public:
  cElementSlot() = default;
  ~cElementSlot() {
    if (mElement) mElement->Release();
  }
  cElementSlot(const cElementSlot&) = delete;
  cElementSlot& operator=(const cElementSlot&) = delete;

  cXmlElement& Take(const cFxWString& name) {
    if (mElement) {
      mElement->Reset(name);
    } else {
      mElement = new cXmlElement(name);
    }
    return *mElement;
  }
  // After the visitor's StartElement: the walk lets go of an element that
  // a visitor kept.
  void LetGo() {
    if (mElement->GetRefCount() == 1) return;
    mElement->Release();
    mElement = nullptr;
  }

 private:
  cXmlElement* mElement = nullptr;
};

void StartElement(const cXmlParser& parser, cElementVisitor& visitor, cElementSlot& slot) {
  cXmlElement& element = slot.Take(parser.GetName());
  const uint32_t count = parser.GetAttributeCount();
  for (uint32_t i = 0; i < count; ++i) {
    element.AddAttribute(parser.GetAttributeName(i), parser.GetAttributeValue(i),
                         parser.GetAttributeNamespace(i));
  }
  visitor.StartElement(element);
  slot.LetGo();
}

}  // namespace

bool WalkDocument(cXmlParser& parser, cElementVisitor& visitor) {
  cElementSlot slot;
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
        StartElement(parser, visitor, slot);
        break;
      case eElementEnd:
        visitor.EndElement(parser.GetName());
        break;
      case eText:
        // A text that starts with CR is the line break and indentation
        // between the tags of a CR LF file: the writer lays that out itself.
        if (!parser.TextStartsWith(u'\r')) visitor.Text(parser.GetText());
        break;
      case eDocumentStart:
      case eDeclaration:
        break;
    }
    parser.Read();
  }
}
