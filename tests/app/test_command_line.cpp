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

class CommandLineRun : public ::testing::Test {
 protected:
  test::ProcessResult Glossmill(const std::vector<std::string>& args) {
    return test::RunGlossmill(args, mDir.Path().string());
  }
  test::TempDir mDir;
};

TEST_F(CommandLineRun, TooFewOrTooManyArgumentsPrintUsage) {
  const std::vector<std::vector<std::string>> commandLines = {
      {}, {"-gx"}, {"-sr"}, {"-GX", "a", "b"}, {"-su", "a", "b"}, {"-xx", "a", "b"}};
  for (const auto& args : commandLines) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const test::ProcessResult result = Glossmill(args);
    EXPECT_EQ(result.out, kUsage);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
  }
}

TEST_F(CommandLineRun, UnknownSwitchWithOneArgumentDoesNothing) {
  test::WriteFile(mDir / "out.txt", "old");
  for (const char* option : {"-xx", "-gxx", "gx", "-"}) {
    SCOPED_TRACE(option);
    const test::ProcessResult result = Glossmill({option, "out.txt"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
  }
  EXPECT_EQ(test::ReadFile(mDir / "out.txt"), "old");
}

TEST_F(CommandLineRun, SwitchIsMatchedWithoutCase) {
  // An extraction in an empty tree deletes the old output and writes nothing.
  for (const char* option : {"-SX", "-Sx", "-GX"}) {
    SCOPED_TRACE(option);
    test::WriteFile(mDir / "out.txt", "old");
    const test::ProcessResult result = Glossmill({option, "out.txt"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(test::FileExists(mDir / "out.txt"));
  }
}

TEST_F(CommandLineRun, MissingTranslationsFileIsReportedByItsTypedName) {
  for (const char* option : {"-su", "-gu", "-GU"}) {
    SCOPED_TRACE(option);
    const test::ProcessResult result = Glossmill({option, "missing.txt"});
    EXPECT_EQ(result.out, "Could not open file 'missing.txt'\n");
    EXPECT_EQ(result.status, 0);
  }
  const test::ProcessResult nested = Glossmill({"-su", "no/such dir/t.txt"});
  EXPECT_EQ(nested.out, "Could not open file 'no/such dir/t.txt'\n");
}

// ---- the list builders -------------------------------------------------------

struct sLists {
  tTagList mReplace, mExclude, mScope;
};

sLists Collect(std::vector<const char*> arguments) {
  std::vector<const char*> argv = {"glossmill", "-sr"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const int argc = static_cast<int>(argv.size());
  sLists lists;
  CollectReplaceTags(argc, argv.data(), lists.mReplace);
  CollectExcludeTags(argc, argv.data(), lists.mExclude);
  CollectScopeTags(argc, argv.data(), lists.mScope);
  return lists;
}

std::vector<std::u16string> Units(const tTagList& list) {
  std::vector<std::u16string> units;
  for (const cFxWString& name : list) units.emplace_back(name.c_str(), name.Length());
  return units;
}

typedef std::vector<std::u16string> tNames;

TEST(CommandLineLists, MarkersSwitchBetweenTheLists) {
  const sLists lists = Collect({"a", "b", "!", "x", "y", "@", "p", "!", "z"});
  EXPECT_EQ(Units(lists.mReplace), (tNames{u"a", u"b"}));
  EXPECT_EQ(Units(lists.mExclude), (tNames{u"x", u"y", u"z"}));
  EXPECT_EQ(Units(lists.mScope), (tNames{u"p"}));
}

TEST(CommandLineLists, RepeatedExcludeMarkerKeepsCollecting) {
  const sLists lists = Collect({"a", "!", "b", "!", "c"});
  EXPECT_EQ(Units(lists.mReplace), (tNames{u"a"}));
  EXPECT_EQ(Units(lists.mExclude), (tNames{u"b", u"c"}));
  EXPECT_EQ(Units(lists.mScope), tNames{});
}

TEST(CommandLineLists, ScopeFirstLeavesReplaceListEmpty) {
  const sLists lists = Collect({"@", "p", "q", "!", "r", "@", "s"});
  EXPECT_EQ(Units(lists.mReplace), tNames{});
  EXPECT_EQ(Units(lists.mExclude), (tNames{u"r"}));
  EXPECT_EQ(Units(lists.mScope), (tNames{u"p", u"q", u"s"}));
}

TEST(CommandLineLists, MarkerCountsOnlyAsAWholeArgument) {
  const sLists lists = Collect({"a!b", "@x", "!!"});
  EXPECT_EQ(Units(lists.mReplace), (tNames{u"a!b", u"@x", u"!!"}));
  EXPECT_EQ(Units(lists.mExclude), tNames{});
  EXPECT_EQ(Units(lists.mScope), tNames{});
}

TEST(CommandLineLists, LoneMarkerGivesThreeEmptyLists) {
  const sLists lists = Collect({"!"});
  EXPECT_EQ(Units(lists.mReplace), tNames{});
  EXPECT_EQ(Units(lists.mExclude), tNames{});
  EXPECT_EQ(Units(lists.mScope), tNames{});
}

TEST(CommandLineLists, NamesAreWidenedByteByByte) {
  // Bytes above 0x7F widen with sign extension, so they leave again unchanged.
  const sLists lists = Collect({"Stra\xC3\x9F" "e", "!", "\xE9t\xE9"});
  EXPECT_EQ(Units(lists.mReplace), (tNames{u"Stra\uFFC3\uFF9Fe"}));
  EXPECT_EQ(Units(lists.mExclude), (tNames{u"\uFFE9t\uFFE9"}));
}

}  // namespace
