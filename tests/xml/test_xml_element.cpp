// The start-tag record: attribute lookup, writing attributes back, and
// reference counting with recycled storage.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "XmlTestSupport.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlWriter.h"

namespace {

// Elements are only ever destroyed through Release.
struct sElementDeleter {
  void operator()(cXmlElement* element) const { element->Release(); }
};
using tElementPtr = std::unique_ptr<cXmlElement, sElementDeleter>;

tElementPtr MakeElement(const char16_t* name) { return tElementPtr(new cXmlElement(cFxWString(name))); }

std::string Value(const cFxWString* text) {
  return text ? xmltest::Utf8(xmltest::Wide(*text)) : "(null)";
}

TEST(XmlElement, AttributesByName) {
  tElementPtr element = MakeElement(u"cDeltaString");
  element->AddAttribute(cFxWString(u"type"), cFxWString(u"first"), cFxWString(u"u"));
  element->AddAttribute(cFxWString(u"id"), cFxWString(), cFxWString());
  element->AddAttribute(cFxWString(u"type"), cFxWString(u"second"), cFxWString(u"v"));

  EXPECT_EQ(element->GetName(), u"cDeltaString");
  ASSERT_EQ(element->GetAttributeCount(), 3u);
  // The first of two attributes with one name wins, value and namespace.
  EXPECT_EQ(Value(element->GetAttribute(u"type")), "first");
  EXPECT_EQ(Value(element->GetAttributeNamespace(u"type")), "u");
  // Present but empty differs from absent.
  EXPECT_EQ(Value(element->GetAttribute(u"id")), "");
  EXPECT_EQ(element->GetAttribute(u"name"), nullptr);
  EXPECT_EQ(element->GetAttribute(u"Type"), nullptr);
  EXPECT_EQ(element->GetAttribute(u"typ"), nullptr);
  EXPECT_EQ(element->GetAttributeNamespace(u"name"), nullptr);
  EXPECT_EQ(element->GetAttributeValue(2), u"second");
}

TEST(XmlElement, ManyAttributesKeepTheirOrder) {
  tElementPtr element = MakeElement(u"e");
  for (int i = 0; i < 70; ++i) {
    element->AddAttribute(cFxWString::FromInt(i), cFxWString::FromInt(i * 10), cFxWString());
  }
  ASSERT_EQ(element->GetAttributeCount(), 70u);
  for (uint32_t i = 0; i < 70; ++i) {
    EXPECT_EQ(element->GetAttributeName(i), cFxWString::FromInt(i));
    EXPECT_EQ(element->GetAttributeValue(i), cFxWString::FromInt(i * 10));
  }
  EXPECT_EQ(Value(element->GetAttribute(u"69")), "690");
}

// WriteAttributes into the start tag just opened on a writer.
class XmlElementWrite : public ::testing::Test {
 protected:
  std::string Written(const cXmlElement& element, bool declareNamespace, bool usePrefix) {
    std::string out;
    {
      cFxFile file;
      xmltest::AttachSink(file, out, 128);
      cXmlWriter writer;
      writer.Begin(file);
      writer.StartElement(element.GetName().c_str(), u"");
      element.WriteAttributes(writer, declareNamespace, usePrefix);
      writer.EndElement(element.GetName().c_str(), u"");
    }
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
    return out.compare(0, declaration.size(), declaration) == 0 ? out.substr(declaration.size()) : out;
  }
};

TEST_F(XmlElementWrite, DeclarationUsesTheFirstAttributesNamespace) {
  tElementPtr element = MakeElement(u"r");
  element->AddAttribute(cFxWString(u"version"), cFxWString(u"1"), cFxWString(u"http://x/"));
  element->AddAttribute(cFxWString(u"id"), cFxWString(u"a<b"), cFxWString(u"http://other/"));
  EXPECT_EQ(Written(*element, true, true),
            "<r xmlns:d=\"http://x/\" d:version=\"1\" d:id=\"a&lt;b\"/>\r\n");
  EXPECT_EQ(Written(*element, false, true), "<r d:version=\"1\" d:id=\"a&lt;b\"/>\r\n");
  EXPECT_EQ(Written(*element, false, false), "<r version=\"1\" id=\"a&lt;b\"/>\r\n");
  EXPECT_EQ(Written(*element, true, false),
            "<r xmlns:d=\"http://x/\" version=\"1\" id=\"a&lt;b\"/>\r\n");
}

TEST_F(XmlElementWrite, NoAttributesNoDeclaration) {
  tElementPtr element = MakeElement(u"Other");
  EXPECT_EQ(Written(*element, true, true), "<Other/>\r\n");
}

TEST(XmlElementLifetime, ReferencesKeepTheElement) {
  cXmlElement* element = new cXmlElement(cFxWString(u"kept"));
  element->AddAttribute(cFxWString(u"a"), cFxWString(u"1"), cFxWString());
  EXPECT_EQ(element->GetRefCount(), 1);
  element->AddRef();
  element->Release();
  EXPECT_EQ(element->GetRefCount(), 1);
  EXPECT_EQ(element->GetName(), u"kept");
  EXPECT_EQ(Value(element->GetAttribute(u"a")), "1");
  element->Release();
}

// Storage given back by one element and taken by the next carries nothing
// over: no attributes, no name, a count of one.
TEST(XmlElementLifetime, RecycledElementsStartEmpty) {
  for (int round = 0; round < 3; ++round) {
    cXmlElement* first = new cXmlElement(cFxWString(u"first"));
    for (int i = 0; i < 6; ++i) first->AddAttribute(cFxWString::FromInt(i), cFxWString(u"v"), cFxWString());
    first->Release();
    cXmlElement* second = new cXmlElement(cFxWString(u"second"));
    EXPECT_EQ(second->GetRefCount(), 1);
    EXPECT_EQ(second->GetAttributeCount(), 0u);
    EXPECT_EQ(second->GetAttribute(u"0"), nullptr);
    EXPECT_EQ(second->GetName(), u"second");
    second->Release();
  }
}

}  // namespace
