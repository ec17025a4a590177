// The command line as a user meets it (the built program in a temporary
// directory) and the three list builders of the replacement operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "support/Documents.h"
#include "support/TestSupport.h"

namespace {

// The usage text as README.md shows it, in the block under "## Usage".
std::string Usage() {
  const std::string readme = test::ReadFile(test::SourceDir() + "/README.md");
  const size_t start = readme.find("    usage:"), end = readme.find("\n\nSwitches", start);
  return test::ReplaceAll(readme.substr(start, end + 1 - start), "\n    ", "\n").substr(4);
}

struct sRunCase {
  std::vector<std::string> args;
  std::string out;
  bool outputKept;  // whether out.txt (written before the run) is still there
};

TEST(CommandLine, DispatchesBySwitchAndArgumentCount) {
  const std::string kUsage = Usage();
  ASSERT_EQ(kUsage.rfind("usage:\n\tglossmill -sx", 0), 0u);
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
    EXPECT_EQ(test::FileExists(dir / "out.txt") ? test::ReadFile(dir / "out.txt") : "-",
              c.outputKept ? "old" : "-");
  }
}

typedef std::vector<std::u16string> tNames;

tNames Units(const tTagList& list) {
  tNames units;
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
