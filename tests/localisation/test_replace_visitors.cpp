// The replacement visitors walked over real documents: which tags they
// replace, exclude and leave alone, the exact bytes of the strings they
// create, and their output taken as the input of a second run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VisitorTestSupport.h"
#include "localisation/cGameReplaceVisitor.h"
#include "localisation/cSourceReplaceVisitor.h"
#include "support/Documents.h"

namespace {

using test::GamePlain;
using test::Join;
using test::SourcePlain;
using test::tTexts;
using visitortest::Doc;

typedef std::vector<std::string> tNames;

struct sLists { tNames replace, exclude, scope; };

// Documents in the writer's layout, one tag per line; what a visitor reads
// and what it writes alike, since layout never reaches a visitor.
std::string Game(const tTexts& body) {
  return test::Document(Join({{"<r xmlns:d=\"urn:t\" d:version=\"1\">"}, body, {"</r>"}}));
}
std::string Source(const tTexts& body) { return test::Document(Join({{"<r>"}, body, {"</r>"}})); }

// `body` inside an element or a source "Attribute".
tTexts In(const std::string& tag, const tTexts& body) {
  return Join({{"<" + tag + ">"}, body, {"</" + tag.substr(0, tag.find(' ')) + ">"}});
}
tTexts InAttribute(const std::string& name, const tTexts& body) { return In("Attribute name=\"" + name + "\"", body); }
const std::string kLocalised = "Localisation-cUserLocalisedString";

// The tag holding the string a replacement creates from a plain one.
tTexts GameCreated(const std::string& tag, const std::string& english) { return In(tag, test::GameString({english})); }
tTexts SourceReplaced(const std::string& tag, const std::string& english) {
  return InAttribute(tag, test::SourceString({english}));
}

// A source plain string's inner part holding `value`.
tTexts DeltaString(const std::string& value) {
  return {"<cDeltaString>", "<Element>", value, "</Element>", "</cDeltaString>"};
}

std::vector<cFxWString> Wide(const tNames& names) {
  std::vector<cFxWString> wide;
  for (const std::string& name : names) wide.emplace_back(name.c_str());
  return wide;
}

// The output of a case: empty for "the document as copied with no lists".
struct sCase { const char* name; sLists lists; std::string input, output; };

class ReplaceVisitors : public ::testing::Test {
 protected:
  // Walks `document` with a fresh visitor given `lists`; the bytes it wrote.
  template <class tVisitor>
  std::string Replace(const std::string& document, const sLists& lists) {
    const std::string output = mDir / "in.xml.temp";
    test::WriteFile(output, std::string(3000, 'x'));  // a stale one is replaced
    tVisitor visitor;
    visitor.SetReplaceTags(Wide(lists.replace));
    visitor.SetExcludeTags(Wide(lists.exclude));
    visitor.SetScopeTags(Wide(lists.scope));
    visitor.SetFilePath(cFxWString(output.c_str()));
    visitortest::WalkFile(document, mDir / "in.xml", visitor);
    return test::ReadFile(output);
  }

  // Each case, then its output run again with the same lists: what a second
  // run changes is only `again` applied to the first run's output.
  template <class tVisitor>
  void Check(const std::vector<sCase>& cases, std::string (*again)(std::string)) {
    for (const sCase& c : cases) {
      SCOPED_TRACE(c.name);
      const std::string first = Replace<tVisitor>(c.input, c.lists);
      EXPECT_EQ(first, c.output.empty() ? Replace<tVisitor>(c.input, sLists{}) : c.output);
      EXPECT_EQ(Replace<tVisitor>(first, c.lists), again(first));
    }
  }

  test::TempDir mDir;
};

std::string Same(std::string output) { return output; }

// Read again, a source "<Value/>" has an empty text, and every text is
// written: it comes back with start and end tag.
std::string SourceEmptyFormsOpened(std::string output) {
  for (size_t at; (at = output.find("<Value/>")) != std::string::npos;)
    output.replace(at, 8, "<Value></Value>");
  return output;
}

TEST_F(ReplaceVisitors, Game) {
  const std::string a = GamePlain("Name", "a"), b = GamePlain("Name", "b");
  const sLists name{{"Name"}, {}, {}};
  Check<cGameReplaceVisitor>({
      {"a typed plain string becomes the tag, bare, holding a localised string", name,
       Game({"<Name d:type=\"cDeltaString\" d:id=\"9\">abc</Name>"}), Game(GameCreated("Name", "abc"))},
      {"empty plain strings, both forms, and text with markup characters", name,
       Game({"<Name d:type=\"cDeltaString\"/>", "<Name d:type=\"cDeltaString\"></Name>", GamePlain("Name", "a &lt; b\tc"),
             "<Other/>"}),
       Game(Join({GameCreated("Name", ""), GameCreated("Name", ""), GameCreated("Name", "a &lt; b\tc"), {"<Other/>"}}))},
      {"another type, no type, or a localised string already: copied", name,
       Game(Join({{"<Name d:type=\"cFloat\">1.5</Name>", "<Name>plain</Name>"}, In("Name", test::GameString({"x"}))})), ""},
      {"a tag in both lists stays", {{"Name"}, {"Name"}, {}}, Game({a}), ""},
      {"exclusion shields what is inside and ends with its own end tag", {{"Name"}, {"E"}, {}},
       Game({"<E>", "<x/>", a, "</E>", b}), Game(Join({{"<E>", "<x/>", a, "</E>"}, GameCreated("Name", "b")}))},
      {"exclusion ends at the end tag of a nested namesake", {{"Name"}, {"E"}, {}}, Game({"<E>", "<E/>", a, "</E>"}),
       Game(In("E", Join({{"<E/>"}, GameCreated("Name", "a")})))},
      {"scope limits replacement to inside scope tags", {{"Name"}, {}, {"S"}}, Game({a, "<S>", "<T>", b, "</T>", "</S>", a}),
       Game(Join({{a}, In("S", In("T", GameCreated("Name", "b"))), {a}}))},
      {"an exclusion outside every scope is none", {{"Name"}, {"E"}, {"S"}}, Game({"<E>", "<S>", a, "</S>", "</E>"}),
       Game(In("E", In("S", GameCreated("Name", "a"))))},
      {"the root is never a scope", {{"Name"}, {}, {"r"}}, Game({a}), ""},
      {"repeated names count once", {{"Name", "Name"}, {"E", "E"}, {"S", "S"}}, Game({"<S>", "<E>", a, "</E>", b, "</S>"}),
       Game(In("S", Join({{"<E>", a, "</E>"}, GameCreated("Name", "b")})))},
      {"no replace list: the pass-through rules alone", {{}, {"Name"}, {}},
       Game({a, "<Plain id=\"7\"></Plain>", "<d:nil>x</d:nil>"}), Game({a, "<Plain d:id=\"7\"/>", "<d:nil/>"})},
  }, Same);
}

TEST_F(ReplaceVisitors, Source) {
  const tTexts a = SourcePlain("Name", "a"), b = SourcePlain("Name", "b");
  const sLists name{{"Name"}, {}, {}};
  Check<cSourceReplaceVisitor>({
      {"the cDeltaString of a listed Attribute becomes a localised string", name,
       Source(Join({SourcePlain("Name", "abc"), SourcePlain("Note", "x")})),
       Source(Join({SourceReplaced("Name", "abc"), SourcePlain("Note", "x")}))},
      {"an empty value, and elements before the cDeltaString passed in turn", name,
       Source(Join({InAttribute("Name", DeltaString("<Value/>")),
                    InAttribute("Name", In("Wrap", DeltaString("<Value>x &amp; y</Value>")))})),
       Source(Join({SourceReplaced("Name", ""), InAttribute("Name", In("Wrap", test::SourceString({"x &amp; y"})))}))},
      {"a target holding a localised string already is copied", name,
       Source(InAttribute("Name", In(kLocalised, In("Element", In("Value", SourcePlain("English", "abc")))))), ""},
      {"a tag in both lists stays", {{"Name"}, {"Name"}, {}}, Source(a), ""},
      {"an excluded element shields what is inside", {{"Name"}, {"Blocked"}, {}}, Source(Join({In("Blocked", a), b})),
       Source(Join({In("Blocked", a), SourceReplaced("Name", "b")}))},
      {"an exclusion by an Attribute ends at the first Attribute end tag in it", {{"Name"}, {"E"}, {}},
       Source(InAttribute("E", In("Group", Join({SourcePlain("Note", "x"), a})))),
       Source(InAttribute("E", In("Group", Join({SourcePlain("Note", "x"), SourceReplaced("Name", "a")}))))},
      {"scope by an Attribute's name", {{"Name"}, {}, {"S"}}, Source(Join({a, InAttribute("S", b)})),
       Source(Join({a, InAttribute("S", SourceReplaced("Name", "b"))}))},
      {"the root can be the scope", {{"Name"}, {}, {"r"}}, Source(a), Source(SourceReplaced("Name", "a"))},
      {"an exclusion outside every scope is none", {{"Name"}, {"E"}, {"S"}}, Source(In("E", In("S", a))),
       Source(In("E", In("S", SourceReplaced("Name", "a"))))},
      {"each text the replaced part receives becomes a localised string", name,
       Doc("<r>|<Attribute name=\"Name\">|<cDeltaString><Element><Value>abc</Value></Element>|</cDeltaString>|</Attribute>|</r>"),
       Source(InAttribute("Name", Join({test::SourceString({""}), test::SourceString({""}), test::SourceString({"abc"}),
                                        test::SourceString({""})})))},
      {"no replace list: the pass-through rules alone, no namespace", {{}, {}, {}},
       test::Document(Join({{"<r xmlns:d=\"urn:t\" d:id=\"1\">", "<Value/>"}, a, {"</r>"}})),
       test::Document(Join({{"<r id=\"1\">", "<Value></Value>"}, a, {"</r>"}}))},
  }, SourceEmptyFormsOpened);
}

// A plain string whose text begins with CR never reaches the visitor: its
// target is copied as if it were none, and the next target is replaced.
TEST_F(ReplaceVisitors, TargetWithoutTextIsCopied) {
  const sLists lists{{"Name"}, {}, {}};
  EXPECT_EQ(Replace<cGameReplaceVisitor>(Game({"<Name d:type=\"cDeltaString\" d:id=\"9\">\r\nabc</Name>",
                                               "<Name d:type=\"cDeltaString\">", "<x>", "</x>", "</Name>",
                                               GamePlain("Name", "b")}), lists),
            Game(Join({{"<Name d:type=\"cDeltaString\" d:id=\"9\"/>"}, In("Name d:type=\"cDeltaString\"", {"<x/>"}),
                       GameCreated("Name", "b")})));
  EXPECT_EQ(Replace<cSourceReplaceVisitor>(
                Source(Join({InAttribute("Name", DeltaString("<Value>\r\nabc</Value>")), SourcePlain("Name", "b")})), lists),
            Source(Join({InAttribute("Name", DeltaString("<Value/>")), SourceReplaced("Name", "b")})));
}

}  // namespace
