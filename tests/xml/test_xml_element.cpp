// The start-tag record: attribute lookup, and records kept apart while
// their storage is reused.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "XmlTestSupport.h"
#include "xml/cXmlElement.h"

namespace {

// Elements are only ever destroyed through Release.
struct sElementDeleter {
  void operator()(cXmlElement* element) const { element->Release(); }
};
using tElementPtr = std::unique_ptr<cXmlElement, sElementDeleter>;

std::string Show(const cFxWString* text) { return text ? xmltest::Show(*text) : "(none)"; }

// The first of two attributes with one name wins, value and namespace, also
// past the attributes held inside the element; present but empty differs
// from absent; names compare exactly; order is kept.
TEST(XmlElement, AttributesByName) {
  tElementPtr element(new cXmlElement(cFxWString(u"cDeltaString")));
  element->AddAttribute(cFxWString(u"type"), cFxWString(u"first"), cFxWString(u"u"));
  element->AddAttribute(cFxWString(u"id"), cFxWString(), cFxWString());
  for (int i = 0; i < 70; ++i) element->AddAttribute(cFxWString::FromInt(i), cFxWString::FromInt(i * 10), cFxWString());
  element->AddAttribute(cFxWString(u"type"), cFxWString(u"second"), cFxWString(u"v"));
  ASSERT_EQ(element->GetAttributeCount(), 73u);
  EXPECT_EQ(Show(element->GetAttribute(u"type")) + " " + Show(element->GetAttributeNamespace(u"type")), "first u");
  EXPECT_EQ(Show(element->GetAttribute(u"id")), "");
  EXPECT_EQ(Show(element->GetAttribute(u"Type")) + Show(element->GetAttribute(u"typ")), "(none)(none)");
  EXPECT_EQ(Show(element->GetAttribute(u"69")), "690");
  for (uint32_t i = 0; i < 70; ++i) EXPECT_EQ(element->GetAttributeName(i + 2), cFxWString::FromInt(i));
  EXPECT_EQ(element->GetAttributeValue(72), u"second");
}

// More records alive at once than are kept for reuse, released in any
// order: each keeps its own name and attributes, and a reused one starts
// empty.
TEST(XmlElement, RecordsStayApartWhenStorageIsReused) {
  for (int seed : {0, 100000}) {
    for (int round = 0; round < 3; ++round) {
      std::vector<tElementPtr> alive;
      for (int i = 0; i < 150; ++i) {
        tElementPtr element(new cXmlElement(cFxWString::FromInt(seed + i)));
        ASSERT_EQ(element->GetAttributeCount(), 0u);
        for (int k = 0; k < i % 7; ++k)
          element->AddAttribute(cFxWString::FromInt(k), cFxWString::FromInt(seed + i * 10 + k), cFxWString());
        alive.push_back(std::move(element));
        // Every third one goes at once, so freed storage is taken again
        // while others are still held.
        if (i % 3 == 0) alive.erase(alive.begin() + (i * 7) % static_cast<int>(alive.size()));
      }
      for (const tElementPtr& element : alive) {
        const int i = static_cast<int>(cFxWString::ToInt(element->GetName().c_str(), nullptr)) - seed;
        ASSERT_EQ(element->GetAttributeCount(), static_cast<uint32_t>(i % 7));
        for (uint32_t k = 0; k < element->GetAttributeCount(); ++k)
          ASSERT_EQ(element->GetAttributeValue(k), cFxWString::FromInt(seed + i * 10 + k));
      }
    }
  }
}

}  // namespace
