#include "xml/WalkDocument.h"

#include "localisation/cElementVisitor.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"

namespace {

// Holds the walk's own reference to the element it built for one start tag.
class cElementReference {
 public:
  explicit cElementReference(cXmlElement* element) : mElement(element) {}
  ~cElementReference() { mElement->Release(); }
  cElementReference(const cElementReference&) = delete;
  cElementReference& operator=(const cElementReference&) = delete;
  cXmlElement& operator*() const { return *mElement; }

 private:
  cXmlElement* mElement;
};

void StartElement(const cXmlParser& parser, cElementVisitor& visitor) {
  cElementReference element(new cXmlElement(parser.GetName()));
  const uint32_t count = parser.GetAttributeCount();
  for (uint32_t i = 0; i < count; ++i) {
    (*element).AddAttribute(parser.GetAttributeName(i), parser.GetAttributeValue(i),
                            parser.GetAttributeNamespace(i));
  }
  visitor.StartElement(*element);
}

}  // namespace

bool WalkDocument(cXmlParser& parser, cElementVisitor& visitor) {
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
        StartElement(parser, visitor);
        break;
      case eElementEnd:
        visitor.EndElement(parser.GetName());
        break;
      case eText: {
        // A text that starts with CR is the line break and indentation
        // between the tags of a CR LF file: the writer lays that out itself.
        const cFxWString& text = parser.GetText();
        if (text.c_str()[0] != u'\r') visitor.Text(text);
        break;
      }
      case eDocumentStart:
      case eDeclaration:
        break;
    }
    parser.Read();
  }
}
