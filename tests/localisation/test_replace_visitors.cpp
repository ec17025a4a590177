// The replacement visitors walked over real documents: which tags they
// replace, exclude and leave alone, the exact bytes of the strings they
// create, and their output taken as the input of a second run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VisitorTestSupport.h"
#include "localisation/cGameReplaceVisitor.h"
#include "localisation/cSourceReplaceVisitor.h"

namespace {

using visitortest::Doc;
using visitortest::kDeclaration;

typedef std::vector<std::string> tNames;

struct sLists {
  tNames replace, exclude, scope;
};

const char* const kLanguages[] = {"English", "French",  "Italian", "German",
                                  "Spanish", "Russian", "Polish",  "Dutch"};

std::string GameDoc(const std::string& body) {
  return Doc("<r xmlns:d=\"urn:t\" d:version=\"1\">|" + body + "|</r>");
}
std::string SourceDoc(const std::string& body) { return Doc("<r>|" + body + "|</r>"); }

// One line of written output, `depth` TABs deep.
std::string L(int depth, const std::string& text) {
  return std::string(depth, '\t') + text + "\r\n";
}
std::string GameOut(const std::string& body) {
  return kDeclaration + "<r xmlns:d=\"urn:t\" d:version=\"1\">\r\n" + body + "</r>\r\n";
}
std::string SourceOut(const std::string& body) {
  return kDeclaration + "<r>\r\n" + body + "</r>\r\n";
}

// A game-shape plain string, and the tag holding the string created from it.
std::string GamePlain(const std::string& tag, const std::string& text) {
  return "<" + tag + " d:type=\"cDeltaString\">" + text + "</" + tag + ">";
}
std::string GameCreated(int depth, const std::string& tag, const std::string& english) {
  std::string out = L(depth, "<" + tag + ">") + L(depth + 1, "<Localisation-cUserLocalisedString>");
  for (const char* language : kLanguages) {
    const std::string name = language;
    const std::string text = name == "English" ? english : "";
    out += L(depth + 2, "<" + name + " d:type=\"cDeltaString\">" + text + "</" + name + ">");
  }
  return out + L(depth + 2, "<Other/>") + L(depth + 1, "</Localisation-cUserLocalisedString>") +
         L(depth, "</" + tag + ">");
}

// A source-shape plain string as read, as copied, and as replaced.
std::string SourcePlain(const std::string& tag, const std::string& text) {
  return "<Attribute name=\"" + tag + "\">|<cDeltaString>|<Element>|<Value>" + text +
         "</Value>|</Element>|</cDeltaString>|</Attribute>";
}
std::string SourceCopied(int depth, const std::string& tag, const std::string& valueLine) {
  return L(depth, "<Attribute name=\"" + tag + "\">") + L(depth + 1, "<cDeltaString>") +
         L(depth + 2, "<Element>") + L(depth + 3, valueLine) + L(depth + 2, "</Element>") +
         L(depth + 1, "</cDeltaString>") + L(depth, "</Attribute>");
}
std::string SourceString(int depth, const std::string& english) {
  std::string out = L(depth, "<Localisation-cUserLocalisedString>") + L(depth + 1, "<Element>") +
                    L(depth + 2, "<Value>");
  const int d = depth + 3;
  for (const char* language : kLanguages) {
    const std::string name = language;
    out += SourceCopied(d, name, "<Value>" + (name == "English" ? english : "") + "</Value>");
  }
  out += L(d, "<Attribute name=\"Other\">") +
         L(d + 1, "<__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>") +
         L(d + 2, "<Element>") + L(d + 3, "<Value/>") + L(d + 2, "</Element>") +
         L(d + 1, "</__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>") +
         L(d, "</Attribute>");
  return out + L(depth + 2, "</Value>") + L(depth + 1, "</Element>") +
         L(depth, "</Localisation-cUserLocalisedString>");
}
std::string SourceReplaced(int depth, const std::string& tag, const std::string& english) {
  return L(depth, "<Attribute name=\"" + tag + "\">") + SourceString(depth + 1, english) +
         L(depth, "</Attribute>");
}

std::vector<cFxWString> Wide(const tNames& names) {
  std::vector<cFxWString> wide;
  for (const std::string& name : names) wide.emplace_back(name.c_str());
  return wide;
}

// The output of a case: empty for "the document as copied with no lists".
struct sCase {
  const char* name;
  sLists lists;
  std::string input;
  std::string output;
};

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
  const std::string a = GamePlain("Name", "a");
  const std::string b = GamePlain("Name", "b");
  Check<cGameReplaceVisitor>(
      {
          {"a typed plain string becomes the tag, bare, holding a localised string",
           {{"Name"}, {}, {}},
           GameDoc("<Name d:type=\"cDeltaString\" d:id=\"9\">abc</Name>"),
           GameOut(GameCreated(1, "Name", "abc"))},
          {"empty plain strings, both forms, and text with markup characters",
           {{"Name"}, {}, {}},
           GameDoc("<Name d:type=\"cDeltaString\"/>|<Name d:type=\"cDeltaString\"></Name>|" +
                   GamePlain("Name", "a &lt; b\tc") + "|<Other/>"),
           GameOut(GameCreated(1, "Name", "") + GameCreated(1, "Name", "") +
                   GameCreated(1, "Name", "a &lt; b\tc") + L(1, "<Other/>"))},
          {"another type, no type, or a localised string already: copied",
           {{"Name"}, {}, {}},
           GameDoc("<Name d:type=\"cFloat\">1.5</Name>|<Name>plain</Name>|<Name>|<@>|" +
                   GamePlain("English", "x") + "|<Other/>|</@>|</Name>"),
           ""},
          {"a tag in both lists stays",
           {{"Name"}, {"Name"}, {}}, GameDoc(a), ""},
          {"exclusion shields what is inside and ends with its own end tag",
           {{"Name"}, {"E"}, {}},
           GameDoc("<E>|<x/>|" + a + "|</E>|" + b),
           GameOut(L(1, "<E>") + L(2, "<x/>") + L(2, a) + L(1, "</E>") +
                   GameCreated(1, "Name", "b"))},
          {"exclusion ends at the end tag of a nested namesake",
           {{"Name"}, {"E"}, {}},
           GameDoc("<E>|<E/>|" + a + "|</E>"),
           GameOut(L(1, "<E>") + L(2, "<E/>") + GameCreated(2, "Name", "a") + L(1, "</E>"))},
          {"scope limits replacement to inside scope tags",
           {{"Name"}, {}, {"S"}},
           GameDoc(a + "|<S>|<T>|" + b + "|</T>|</S>|" + a),
           GameOut(L(1, a) + L(1, "<S>") + L(2, "<T>") + GameCreated(3, "Name", "b") +
                   L(2, "</T>") + L(1, "</S>") + L(1, a))},
          {"an exclusion outside every scope is none",
           {{"Name"}, {"E"}, {"S"}},
           GameDoc("<E>|<S>|" + a + "|</S>|</E>"),
           GameOut(L(1, "<E>") + L(2, "<S>") + GameCreated(3, "Name", "a") + L(2, "</S>") +
                   L(1, "</E>"))},
          {"the root is never a scope", {{"Name"}, {}, {"r"}}, GameDoc(a), ""},
          {"repeated names count once",
           {{"Name", "Name"}, {"E", "E"}, {"S", "S"}},
           GameDoc("<S>|<E>|" + a + "|</E>|" + b + "|</S>"),
           GameOut(L(1, "<S>") + L(2, "<E>") + L(3, a) + L(2, "</E>") +
                   GameCreated(2, "Name", "b") + L(1, "</S>"))},
          {"no replace list: the pass-through rules alone",
           {{}, {"Name"}, {}},
           GameDoc(a + "|<Plain id=\"7\"></Plain>|<d:nil>x</d:nil>"),
           GameOut(L(1, a) + L(1, "<Plain d:id=\"7\"/>") + L(1, "<d:nil/>"))},
      },
      Same);
}

TEST_F(ReplaceVisitors, Source) {
  const std::string a = SourcePlain("Name", "a");
  const std::string b = SourcePlain("Name", "b");
  Check<cSourceReplaceVisitor>(
      {
          {"the cDeltaString of a listed Attribute becomes a localised string",
           {{"Name"}, {}, {}},
           SourceDoc(SourcePlain("Name", "abc") + "|" + SourcePlain("Note", "x")),
           SourceOut(SourceReplaced(1, "Name", "abc") +
                     SourceCopied(1, "Note", "<Value>x</Value>"))},
          {"an empty value, and elements before the cDeltaString passed in turn",
           {{"Name"}, {}, {}},
           SourceDoc("<Attribute name=\"Name\">|<cDeltaString>|<Element>|<Value/>|</Element>|"
                     "</cDeltaString>|</Attribute>|<Attribute name=\"Name\">|<Wrap>|"
                     "<cDeltaString>|<Element>|<Value>x &amp; y</Value>|</Element>|</cDeltaString>|"
                     "</Wrap>|</Attribute>"),
           SourceOut(SourceReplaced(1, "Name", "") + L(1, "<Attribute name=\"Name\">") +
                     L(2, "<Wrap>") + SourceString(3, "x &amp; y") + L(2, "</Wrap>") +
                     L(1, "</Attribute>"))},
          {"a target holding a localised string already is copied",
           {{"Name"}, {}, {}},
           SourceDoc("<Attribute name=\"Name\">|<@>|<Element>|<Value>|" +
                     SourcePlain("English", "abc") + "|</Value>|</Element>|</@>|</Attribute>"),
           ""},
          {"a tag in both lists stays", {{"Name"}, {"Name"}, {}}, SourceDoc(a), ""},
          {"an excluded element shields what is inside",
           {{"Name"}, {"Blocked"}, {}},
           SourceDoc("<Blocked>|" + a + "|</Blocked>|" + b),
           SourceOut(L(1, "<Blocked>") + SourceCopied(2, "Name", "<Value>a</Value>") +
                     L(1, "</Blocked>") + SourceReplaced(1, "Name", "b"))},
          {"an exclusion by an Attribute ends at the first Attribute end tag in it",
           {{"Name"}, {"E"}, {}},
           SourceDoc("<Attribute name=\"E\">|<Group>|" + SourcePlain("Note", "x") + "|" + a +
                     "|</Group>|</Attribute>"),
           SourceOut(L(1, "<Attribute name=\"E\">") + L(2, "<Group>") +
                     SourceCopied(3, "Note", "<Value>x</Value>") + SourceReplaced(3, "Name", "a") +
                     L(2, "</Group>") + L(1, "</Attribute>"))},
          {"scope by an Attribute's name",
           {{"Name"}, {}, {"S"}},
           SourceDoc(a + "|<Attribute name=\"S\">|" + b + "|</Attribute>"),
           SourceOut(SourceCopied(1, "Name", "<Value>a</Value>") +
                     L(1, "<Attribute name=\"S\">") + SourceReplaced(2, "Name", "b") +
                     L(1, "</Attribute>"))},
          {"the root can be the scope",
           {{"Name"}, {}, {"r"}},
           SourceDoc(a),
           SourceOut(SourceReplaced(1, "Name", "a"))},
          {"an exclusion outside every scope is none",
           {{"Name"}, {"E"}, {"S"}},
           SourceDoc("<E>|<S>|" + a + "|</S>|</E>"),
           SourceOut(L(1, "<E>") + L(2, "<S>") + SourceReplaced(3, "Name", "a") + L(2, "</S>") +
                     L(1, "</E>"))},
          {"each text the replaced part receives becomes a localised string",
           {{"Name"}, {}, {}},
           SourceDoc("<Attribute name=\"Name\">|<cDeltaString><Element><Value>abc</Value>"
                     "</Element>|</cDeltaString>|</Attribute>"),
           SourceOut(L(1, "<Attribute name=\"Name\">") + SourceString(2, "") +
                     SourceString(2, "") + SourceString(2, "abc") + SourceString(2, "") +
                     L(1, "</Attribute>"))},
          {"no replace list: the pass-through rules alone, no namespace",
           {{}, {}, {}},
           Doc("<r xmlns:d=\"urn:t\" d:id=\"1\">|<Value/>|" + a + "|</r>"),
           kDeclaration + "<r id=\"1\">\r\n" + L(1, "<Value></Value>") +
               SourceCopied(1, "Name", "<Value>a</Value>") + "</r>\r\n"},
      },
      SourceEmptyFormsOpened);
}

// A plain string whose text begins with CR never reaches the visitor: its
// target is copied as if it were none, and the next target is replaced.
TEST_F(ReplaceVisitors, TargetWithoutTextIsCopied) {
  const sLists lists{{"Name"}, {}, {}};
  EXPECT_EQ(Replace<cGameReplaceVisitor>(
                GameDoc("<Name d:type=\"cDeltaString\" d:id=\"9\">|abc</Name>|"
                        "<Name d:type=\"cDeltaString\">|<x>|</x>|</Name>|" +
                        GamePlain("Name", "b")),
                lists),
            GameOut(L(1, "<Name d:type=\"cDeltaString\" d:id=\"9\"/>") +
                    L(1, "<Name d:type=\"cDeltaString\">") + L(2, "<x/>") + L(1, "</Name>") +
                    GameCreated(1, "Name", "b")));
  EXPECT_EQ(Replace<cSourceReplaceVisitor>(
                SourceDoc(SourcePlain("Name", "|abc") + "|" + SourcePlain("Name", "b")), lists),
            SourceOut(SourceCopied(1, "Name", "<Value/>") + SourceReplaced(1, "Name", "b")));
}

}  // namespace
