// The bridge among a translator's own tools: gettext's msgfmt and
// Translate Toolkit's pofilter and pocount accept every export of the
// sample tree and count it as stats does, and Translate Toolkit's readers,
// writers and converters carry translations through a whole round into the
// game for each language. Each test is skipped, saying why, where the tools
// are not installed (tools/setup-debian.sh installs them).
#include <gtest/gtest.h>

#include <sstream>

#include "GameRounds.h"

namespace {
using namespace bridge_test;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(text);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

// The sample tree extracted, and every language exported in every format
// as <code>.<format> (ru.xliff, ru.po, ru.csv).
class BridgeAmongTools : public ::testing::Test {
 protected:
  void SetUp() override {
    Extract(SampleTree(mDir), mDir / "s.txt");
    for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
      for (const sFormat& format : Formats()) {
        const std::string& code = GetBridgeLanguages()[i].mCode;
        mExports.push_back(code + "." + format.name);
        ASSERT_EQ(0, Bridge({"export", "--to", format.name, "--lang", code, "s.txt", mExports.back()},
                            mDir.Path().string()).status);
      }
    }
  }

  test::TempDir mDir;
  std::vector<std::string> mExports;
};

TEST_F(BridgeAmongTools, MsgfmtChecksEveryPoExport) {
  if (!Installed("msgfmt")) GTEST_SKIP() << "gettext's msgfmt is not installed";
  for (const std::string& po : mExports) {
    if (po.substr(3) != "po") continue;
    const test::ProcessResult checked = test::Run("msgfmt", {"--check", "-o", "/dev/null", po}, mDir.Path().string());
    EXPECT_EQ(0, checked.status) << po << checked.err;
    EXPECT_EQ("", checked.err) << po;
  }
}

TEST_F(BridgeAmongTools, PofilterRunsItsDefaultChecksOnEveryPoExport) {
  if (PythonWith("translate").empty() || !Installed("pofilter")) GTEST_SKIP() << "Translate Toolkit's pofilter is not installed";
  std::filesystem::create_directory(mDir.Path() / "po");
  for (const std::string& po : mExports)
    if (po.substr(3) == "po") std::filesystem::copy(mDir.Path() / po, mDir.Path() / "po" / po);
  const test::ProcessResult filtered = test::Run("pofilter", {"po", "findings"}, mDir.Path().string());
  EXPECT_EQ(0, filtered.status) << filtered.err;
  for (const char* trouble : {"rror", "arning", "Traceback"})
    EXPECT_EQ(std::string::npos, filtered.err.find(trouble)) << filtered.err;
  // What it finds are the sample's own translations ("Aller simple pour
  // Münster : 4,50 €" lacks the brackets), read from every file.
  EXPECT_TRUE(Holds(test::ReadFile(mDir / "findings/fr.po"), "# (pofilter) brackets"));
}

TEST_F(BridgeAmongTools, PocountCountsAsStatsDoes) {
  if (PythonWith("translate").empty() || !Installed("pocount")) GTEST_SKIP() << "Translate Toolkit's pocount is not installed";
  test::tTexts args = {"--csv"};
  args.insert(args.end(), mExports.begin(), mExports.end());
  const test::ProcessResult counted = test::Run("pocount", args, mDir.Path().string());
  ASSERT_EQ(0, counted.status) << counted.err;
  const std::string stats = Bridge({"stats", "--json", "s.txt"}, mDir.Path().string()).out;
  size_t rows = 0;
  for (const std::string& row : Split(counted.out, '\n')) {
    const std::vector<std::string> fields = Split(row, ',');
    if (fields.size() < 8 || std::find(mExports.begin(), mExports.end(), fields[0]) == mExports.end()) continue;
    ++rows;
    SCOPED_TRACE(row);
    // Translated and untranslated strings, and the untranslated English
    // words; no fuzzy ones.
    EXPECT_TRUE(Holds(stats, "\"code\":\"" + fields[0].substr(0, 2) + "\",\"translated\":" +
                                 std::to_string(std::stoul(fields[1])) + ",\"missing\":" +
                                 std::to_string(std::stoul(fields[6])) + ",\"words\":" +
                                 std::to_string(std::stoul(fields[7])) + "}"));
    EXPECT_EQ(0ul, std::stoul(fields[4]));
  }
  EXPECT_EQ(mExports.size(), rows) << counted.out;
}

// A round into the game through Translate Toolkit: its tool fills each
// export in its own reader and writer (so it reads every unit's name and
// English), and its converters turn the PO into XLIFF 1.1 and CSV, the
// XLIFF and the CSV into PO.
class BridgeThroughTranslateToolkit : public ::testing::TestWithParam<size_t> {};

TEST_P(BridgeThroughTranslateToolkit, CarriesALanguageIntoTheGame) {
  const std::string python = PythonWith("translate");
  if (python.empty()) GTEST_SKIP() << "Translate Toolkit's Python modules are not installed";
  for (const char* converter : {"po2xliff", "xliff2po", "csv2po", "po2csv"})
    if (!Installed(converter)) GTEST_SKIP() << "Translate Toolkit's " << converter << " is not installed";
  const sBridgeLanguage& language = GetBridgeLanguages()[GetParam()];
  test::TempDir dir;
  const std::string cwd = dir.Path().string();
  const tStrings original = StringsOf(SampleTree(dir), dir / "s.txt");
  const std::vector<std::u16string> stranded = Stranded(dir / "s.txt");
  const tStrings control = ControlRound(dir);
  for (const sFormat& format : Formats())
    ASSERT_EQ(0, Bridge({"export", "--to", format.name, "--lang", language.mCode, "s.txt",
                         std::string("export.") + format.name}, cwd).status);
  const test::ProcessResult filled = test::Run(python, {Script("translate_toolkit.py"), language.mCode, "export.xliff",
                                                        "filled.xlf", "export.po", "filled.po", "export.csv", "filled.csv"}, cwd);
  ASSERT_EQ(0, filled.status) << filled.err;
  const struct {
    const char *converter, *from, *file;  // `file` is imported
  } rounds[] = {{nullptr, nullptr, "filled.xlf"}, {nullptr, nullptr, "filled.po"}, {nullptr, nullptr, "filled.csv"},
                {"po2xliff", "filled.po", "from-po.xlf"}, {"xliff2po", "filled.xlf", "from-xliff.po"},
                {"csv2po", "filled.csv", "from-csv.po"}, {"po2csv", "filled.po", "from-po.csv"}};
  for (const auto& round : rounds) {
    SCOPED_TRACE(round.file);
    if (round.converter) {
      const test::ProcessResult converted = test::Run(round.converter, {round.from, round.file}, cwd);
      ASSERT_EQ(0, converted.status) << converted.err;
    }
    const std::string tree = SampleTree(dir, std::string("tree-") + round.file);
    std::filesystem::copy_file(dir / "s.txt", dir / "round.txt", std::filesystem::copy_options::overwrite_existing);
    const test::ProcessResult imported = Bridge({"import", "--lang", language.mCode, "round.txt", round.file}, cwd);
    EXPECT_EQ(0, imported.status) << imported.err;
    ASSERT_EQ(0, test::RunGlossmill({"-su", dir / "round.txt"}, tree).status);
    ExpectRoundMade(original, control, StringsOf(tree, dir / "check.txt"), {&language}, stranded);
    // The next export, in the format of the file imported.
    for (const sFormat& format : Formats())
      if (std::filesystem::path(format.file).extension() == std::filesystem::path(round.file).extension())
        ExpectExportShowsNewTexts(dir, tree, format, language, original.size() - stranded.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, BridgeThroughTranslateToolkit, ::testing::Range<size_t>(1, cBridgeLanguageCount),
                         [](const ::testing::TestParamInfo<size_t>& language) {
                           return GetBridgeLanguages()[language.param].mName;
                         });

}  // namespace
