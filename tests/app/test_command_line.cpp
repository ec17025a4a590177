// The command line as a user meets it (the built program in a temporary
// directory) and the three list builders of the replacement operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "support/TestSupport.h"

namespace {

const std::string kUsage =
    "usage:\n"
    "\tglossmill -sx <outfile.txt>\n"
    "\tglossmill -su <infile.txt>\n"
    "to e[x]tract to/[u]pdate a tab-delimited Vektrel translations file from\n"
    "[s]ource XML.\n"
    "\n"
    "\tglossmill -sr string1 [string2] [...] [! [tagToExlude1] [...]]\n"
    "[s]ource [r]eplacement, changes strings to user localised entries.\n"
    "\n"
    "\tglossmill -gx <outfile.txt>\n"
    "\tglossmill -gu <infile.txt>\n"
    "to e[x]tract to/[u]pdate a tab-delimited Vektrel translations file from\n"
    "[g]ame XML/Bin files.\n"
    "\n"
    "\tglossmill -gr string1 [string2] [...] [! [tagToExlude1] [...]]\n"
    "[g]ame [r]eplacement, changes strings to user localised entries.\n";

struct sRunCase {
  std::vector<std::string> args;
  std::string out;
  bool outputKept;  // whether out.txt (written before the run) is still there
};

TEST(CommandLine, DispatchesBySwitchAndArgumentCount) {
  const sRunCase cases[] = {
      {{}, kUsage, true},
      {{"-gx"}, kUsage, true},
      {{"-sr"}, kUsage, true},
      // A count of 4 is accepted for the replacement switches only.
      {{"-GX", "out.txt", "b"}, kUsage, true},
      {{"-su", "out.txt", "b"}, kUsage, true},
      // An unknown switch with one argument: nothing at all.
      {{"-xx", "out.txt"}, "", true},
      {{"-gxx", "out.txt"}, "", true},
      {{"gx", "out.txt"}, "", true},
      // The switch is matched without case: an extraction in an empty tree
      // deletes the old output and writes nothing.
      {{"-Sx", "out.txt"}, "", false},
      {{"-GX", "out.txt"}, "", false},
      {{"-GU", "no/such dir/t.txt"}, "Could not open file 'no/such dir/t.txt'\n", true},
  };
  test::TempDir dir;
  for (const sRunCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    test::WriteFile(dir / "out.txt", "old");
    const test::ProcessResult result = test::RunGlossmill(c.args, dir.Path().string());
    EXPECT_EQ(result.out, test::ConsoleText(c.out));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    const std::string output = dir / "out.txt";
    EXPECT_EQ(test::FileExists(output) ? test::ReadFile(output) : "(deleted)",
              c.outputKept ? "old" : "(deleted)");
  }
}

typedef std::vector<std::u16string> tNames;

std::vector<std::u16string> Units(const tTagList& list) {
  std::vector<std::u16string> units;
  for (const cFxWString& name : list) units.emplace_back(name.c_str(), name.Length());
  return units;
}

struct sListCase {
  std::vector<const char*> arguments;  // after "glossmill -sr"
  tNames replace, exclude, scope;
};

TEST(CommandLine, ListBuildersSplitTheArgumentsAtTheMarkers) {
  const sListCase cases[] = {
      {{"a", "b", "!", "x", "y", "@", "p", "!", "z"}, {u"a", u"b"}, {u"x", u"y", u"z"}, {u"p"}},
      {{"a", "!", "b", "!", "c"}, {u"a"}, {u"b", u"c"}, {}},
      {{"@", "p", "q", "!", "r", "@", "s"}, {}, {u"r"}, {u"p", u"q", u"s"}},
      // A marker counts only as a whole argument.
      {{"a!b", "@x", "!!"}, {u"a!b", u"@x", u"!!"}, {}, {}},
      {{"!"}, {}, {}, {}},
      // A word enters as a file name does: on Windows a byte above 0x7F
      // widens with sign extension; on POSIX UTF-8 gives its text and a byte
      // that is no UTF-8 becomes U+DC00 + byte.
#ifdef _WIN32
      {{"Stra\xC3\x9F" "e", "!", "\xE9t\xE9"}, {u"Stra\uFFC3\uFF9Fe"}, {u"\uFFE9t\uFFE9"}, {}},
#else
      {{"Stra\xC3\x9F" "e", "!", "\xE9t\xE9"}, {u"Stra\u00DFe"}, {u"\xDCE9t\xDCE9"}, {}},
#endif
  };
  for (const sListCase& c : cases) {
    std::vector<const char*> argv = {"glossmill", "-sr"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    SCOPED_TRACE(::testing::PrintToString(argv));
    const int argc = static_cast<int>(argv.size());
    tTagList replace, exclude, scope;
    CollectReplaceTags(argc, argv.data(), replace);
    CollectExcludeTags(argc, argv.data(), exclude);
    CollectScopeTags(argc, argv.data(), scope);
    EXPECT_EQ(Units(replace), c.replace);
    EXPECT_EQ(Units(exclude), c.exclude);
    EXPECT_EQ(Units(scope), c.scope);
  }
}

}  // namespace
