// The command line as a user meets it (the built program in a temporary
// directory) and the three list builders of the replacement operations.

#include "ContentTree.h"
#include "app/CommandLine.h"

namespace {

using namespace test;

// The arguments, standard output, and whether out.txt (written before the
// run) is still there. The usage text is the one README.md shows in the
// block under "## Usage".
TEST(CommandLine, DispatchesBySwitchAndArgumentCount) {
  const std::string readme = ReadFile(SourceDir() + "/README.md");
  const size_t start = readme.find("    usage:"), end = readme.find("\n\nSwitches", start);
  const std::string usage = ReplaceAll(readme.substr(start, end + 1 - start), "\n    ", "\n").substr(4);
  ASSERT_EQ(usage.rfind("usage:\n\tglossmill -sx", 0), 0u);
  const std::tuple<std::vector<std::string>, std::string, bool> cases[] = {
      {{}, usage, true}, {{"-gx"}, usage, true}, {{"-sr"}, usage, true},
      // A count of 4 is accepted for the replacement switches only.
      {{"-GX", "out.txt", "b"}, usage, true}, {{"-su", "out.txt", "b"}, usage, true},
      // An unknown switch with one argument: nothing at all.
      {{"-xx", "out.txt"}, "", true}, {{"-gxx", "out.txt"}, "", true}, {{"gx", "out.txt"}, "", true},
      // The switch is matched without case: an extraction in an empty tree
      // deletes the old output and writes nothing.
      {{"-Sx", "out.txt"}, "", false}, {{"-GX", "out.txt"}, "", false},
      {{"-GU", "no/such dir/t.txt"}, "Could not open file 'no/such dir/t.txt'\n", true},
  };
  TempDir dir;
  for (const auto& [args, out, outputKept] : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    WriteFile(dir / "out.txt", "old");
    const ProcessResult result = RunGlossmill(args, dir.Path().string());
    EXPECT_EQ(result.out, ConsoleText(out));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(FileExists(dir / "out.txt") ? ReadFile(dir / "out.txt") : "-", outputKept ? "old" : "-");
  }
}

typedef std::vector<std::u16string> tNames;

// The arguments after "glossmill -sr", then the replace, exclude and scope
// lists. A marker counts only as a whole argument. A word enters as a file
// name does: on Windows a byte above 0x7F widens with sign extension; on
// POSIX UTF-8 gives its text and a byte that is no UTF-8 becomes U+DC00 +
// byte.
TEST(CommandLine, ListBuildersSplitTheArgumentsAtTheMarkers) {
  const std::tuple<std::vector<const char*>, tNames, tNames, tNames> cases[] = {
      {{"a", "b", "!", "x", "y", "@", "p", "!", "z"}, {u"a", u"b"}, {u"x", u"y", u"z"}, {u"p"}},
      {{"a", "!", "b", "!", "c"}, {u"a"}, {u"b", u"c"}, {}},
      {{"@", "p", "q", "!", "r", "@", "s"}, {}, {u"r"}, {u"p", u"q", u"s"}},
      {{"a!b", "@x", "!!"}, {u"a!b", u"@x", u"!!"}, {}, {}},
      {{"!"}, {}, {}, {}},
#ifdef _WIN32
      {{"Stra\xC3\x9F" "e", "!", "\xE9t\xE9"}, {u"Stra\uFFC3\uFF9Fe"}, {u"\uFFE9t\uFFE9"}, {}},
#else
      {{"Stra\xC3\x9F" "e", "!", "\xE9t\xE9"}, {u"Stra\u00DFe"}, {u"\xDCE9t\xDCE9"}, {}},
#endif
  };
  for (const auto& [arguments, replace, exclude, scope] : cases) {
    std::vector<const char*> argv = {"glossmill", "-sr"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    SCOPED_TRACE(::testing::PrintToString(argv));
    const auto list = [&](void (*collect)(int, const char* const*, tTagList&)) {
      tTagList tags;
      collect(static_cast<int>(argv.size()), argv.data(), tags);
      tNames units;
      for (const cFxWString& name : tags) units.emplace_back(name.c_str(), name.Length());
      return units;
    };
    EXPECT_EQ(list(CollectReplaceTags), replace);
    EXPECT_EQ(list(CollectExcludeTags), exclude);
    EXPECT_EQ(list(CollectScopeTags), scope);
  }
}

}  // namespace
