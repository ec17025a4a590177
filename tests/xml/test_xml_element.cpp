// The start-tag record: attribute lookup and writing attributes back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

std::string Show(const cFxWString* text) { return text ? xmltest::Show(*text) : "(none)"; }

// The first of two attributes with one name wins, value and namespace, also
// past the attributes held inside the element; present but empty differs
// from absent; names compare exactly; order is kept.
TEST(XmlElement, AttributesByName) {
  tElementPtr element = MakeElement(u"cDeltaString");
  element->AddAttribute(cFxWString(u"type"), cFxWString(u"first"), cFxWString(u"u"));
  element->AddAttribute(cFxWString(u"id"), cFxWString(), cFxWString());
  for (int i = 0; i < 70; ++i) {
    element->AddAttribute(cFxWString::FromInt(i), cFxWString::FromInt(i * 10), cFxWString());
  }
  element->AddAttribute(cFxWString(u"type"), cFxWString(u"second"), cFxWString(u"v"));
  ASSERT_EQ(element->GetAttributeCount(), 73u);
  EXPECT_EQ(Show(element->GetAttribute(u"type")), "first");
  EXPECT_EQ(Show(element->GetAttributeNamespace(u"type")), "u");
  EXPECT_EQ(Show(element->GetAttribute(u"id")), "");
  EXPECT_EQ(Show(element->GetAttribute(u"Type")), "(none)");
  EXPECT_EQ(Show(element->GetAttribute(u"typ")), "(none)");
  EXPECT_EQ(Show(element->GetAttribute(u"69")), "690");
  for (uint32_t i = 0; i < 70; ++i) EXPECT_EQ(element->GetAttributeName(i + 2), cFxWString::FromInt(i));
  EXPECT_EQ(element->GetAttributeValue(72), u"second");
}

// WriteAttributes into the start tag just opened: the declaration carries
// the first attribute's namespace, and none is written without attributes.
TEST(XmlElement, WriteAttributes) {
  tElementPtr element = MakeElement(u"r");
  element->AddAttribute(cFxWString(u"version"), cFxWString(u"1"), cFxWString(u"http://x/"));
  element->AddAttribute(cFxWString(u"id"), cFxWString(u"a<b"), cFxWString(u"http://other/"));
  const auto written = [](const cXmlElement& e, bool declareNamespace, bool usePrefix) {
    const std::string bytes = xmltest::WriteDocument([&](cXmlWriter& writer) {
      writer.StartElement(u"r", u"");
      e.WriteAttributes(writer, declareNamespace, usePrefix);
      writer.EndElement(u"r", u"");
    });
    return bytes.substr(bytes.find('\n') + 1);
  };
  EXPECT_EQ(written(*element, true, true), "<r xmlns:d=\"http://x/\" d:version=\"1\" d:id=\"a&lt;b\"/>\r\n");
  EXPECT_EQ(written(*element, true, false), "<r xmlns:d=\"http://x/\" version=\"1\" id=\"a&lt;b\"/>\r\n");
  EXPECT_EQ(written(*element, false, true), "<r d:version=\"1\" d:id=\"a&lt;b\"/>\r\n");
  EXPECT_EQ(written(*element, false, false), "<r version=\"1\" id=\"a&lt;b\"/>\r\n");
  EXPECT_EQ(written(*MakeElement(u"r"), true, true), "<r/>\r\n");
}

// Records live on after their storage is reused for others: more alive at
// once than are kept for reuse, released in any order, each record keeps
// its own name and attributes, and a reused one starts empty.
TEST(XmlElement, RecordsStayApartWhenStorageIsReused) {
  const auto churn = [](int seed) {
    bool intact = true;
    for (int round = 0; round < 3; ++round) {
      std::vector<tElementPtr> alive;
      for (int i = 0; i < 150; ++i) {
        tElementPtr element(new cXmlElement(cFxWString::FromInt(seed + i)));
        intact = intact && element->GetAttributeCount() == 0;
        for (int k = 0; k < i % 7; ++k) {
          element->AddAttribute(cFxWString::FromInt(k), cFxWString::FromInt(seed + i * 10 + k), cFxWString());
        }
        alive.push_back(std::move(element));
        // Every third one goes at once, so freed storage is taken again
        // while others are still held.
        if (i % 3 == 0) alive.erase(alive.begin() + (i * 7) % static_cast<int>(alive.size()));
      }
      for (const tElementPtr& element : alive) {
        const int i = static_cast<int>(cFxWString::ToInt(element->GetName().c_str(), nullptr)) - seed;
        intact = intact && element->GetAttributeCount() == static_cast<uint32_t>(i % 7);
        for (uint32_t k = 0; k < element->GetAttributeCount(); ++k) {
          intact = intact && element->GetAttributeValue(k) == cFxWString::FromInt(seed + i * 10 + k);
        }
      }
    }
    return intact;
  };
  EXPECT_TRUE(churn(0));
  EXPECT_TRUE(churn(100000));
}

}  // namespace
