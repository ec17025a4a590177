// The pass-through rules of the rewriting visitors, checked with a visitor
// that copies every node unchanged.
#include <gtest/gtest.h>

#include <string>

#include "VisitorTestSupport.h"
#include "support/CopyVisitor.h"
#include "xml/cXmlElement.h"

namespace {

using namespace std::string_literals;

using test::cCopyVisitor;

using visitortest::kDeclaration;

// Copies `xml` through a copying visitor; answers why the output is not
// complete, "" when it is.
std::string Copy(const std::string& xml, eFlavour flavour, bool declareNamespace,
                 const std::string& input, const std::string& output) {
  cCopyVisitor visitor(flavour, declareNamespace, output);
  visitortest::WalkFile(kDeclaration + xml, input, visitor);
  EXPECT_EQ(visitor.IsOutputComplete(), visitor.GetOutputFailure().IsEmpty());
  return visitor.IsOutputComplete() ? "" : visitor.GetOutputFailure().c_str();
}

TEST(RewritingVisitor, PassThroughFollowsTheFlavourRules) {
  // The output after the declaration.
  const struct { const char* name; eFlavour flavour; bool declareNamespace; std::string input, output; } cases[] = {
      // Typed elements keep start and end tag even when empty, untyped empty
      // ones their empty form, "nil" never receives text; "nil", "blob" and
      // every attribute carry the prefix.
      {"game", eFlavour::Game, true,
       "<r xmlns:d=\"urn:t\" d:version=\"1\">\r\n\t<English d:type=\"cDeltaString\">a &amp; b</English>"
       "<German d:type=\"cDeltaString\"/><Other></Other><Plain id=\"7\">text</Plain>"
       "<d:nil>ignored</d:nil><d:blob d:size=\"2\">0a0b</d:blob></r>",
       "<r xmlns:d=\"urn:t\" d:version=\"1\">\r\n\t<English d:type=\"cDeltaString\">a &amp; b</English>\r\n"
       "\t<German d:type=\"cDeltaString\"></German>\r\n\t<Other/>\r\n\t<Plain d:id=\"7\">text</Plain>\r\n"
       "\t<d:nil/>\r\n\t<d:blob d:size=\"2\">0a0b</d:blob>\r\n</r>\r\n"},
      // A root without attributes declares nothing, and the flag is spent.
      {"game: namespace only on the first start tag", eFlavour::Game, true,
       "<r xmlns:d=\"urn:t\"><c d:type=\"x\">v</c></r>", "<r>\r\n\t<c d:type=\"x\">v</c>\r\n</r>\r\n"},
      // Every text is written, the empty one too: <Value/> gets both tags.
      {"source: every text, no prefix", eFlavour::Source, true,
       "<r xmlns:d=\"urn:t\" d:id=\"1\" n=\"2\">\r\n\t<Value/>\r\n\t<Value>x &lt; y</Value>\r\n</r>\r\n",
       "<r xmlns:d=\"urn:t\" id=\"1\" n=\"2\">\r\n\t<Value></Value>\r\n\t<Value>x &lt; y</Value>\r\n</r>\r\n"},
      // A NUL from an entity is written back, not taken for the end.
      {"NUL in a value and a text", eFlavour::Game, false,
       "<r a=\"x&0;y\"><c>p&0;q</c></r>", "<r d:a=\"x\0y\">\r\n\t<c>p\0q</c>\r\n</r>\r\n"s},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(dir / "out.xml", std::string(500, 'x'));  // replaced, not overwritten in place
    EXPECT_EQ("", Copy(c.input, c.flavour, c.declareNamespace, dir / "in.xml", dir / "out.xml"));
    EXPECT_EQ(test::ReadFile(dir / "out.xml"), kDeclaration + c.output);
  }

  // An output that cannot be opened gets nothing, and the driver learns why.
  const std::string failure = Copy("<r xmlns:d=\"urn:t\" d:v=\"1\"><a>t</a><d:nil/></r>",
                                   eFlavour::Game, true, dir / "in.xml", dir / "missing/out.xml");
  EXPECT_FALSE(test::FileExists(dir / "missing"));
#ifdef _WIN32
  EXPECT_NE("", failure);
#else
  EXPECT_EQ("No such file or directory", failure);
#endif
}

}  // namespace
