// The bridge among a translator's own tools: gettext's msgfmt and
// Translate Toolkit's pofilter and pocount accept every export of the
// sample tree and count it as stats does, and Translate Toolkit's readers,
// writers and converters carry translations through a whole round into the
// game for each language. A test is skipped, saying why, where its tools
// are not installed (tools/setup-debian.sh installs them).
#include <gtest/gtest.h>

#include <sstream>

#include "GameRounds.h"

namespace {
using namespace bridge_test;

// The sample tree extracted, every language exported in every format as
// <code>.<format> (the PO exports in po/); gettext's msgfmt checks each PO
// export, pofilter runs its default checks on them all, and pocount counts
// each export as stats does. The test is skipped at its end, naming the
// tools that are not installed, when any is not.
TEST(BridgeAmongTools, MsgfmtPofilterAndPocountTakeEveryExportAsStatsCountsIt) {
  test::TempDir dir;
  Extract(SampleTree(dir), dir / "s.txt");
  std::filesystem::create_directory(dir.Path() / "po");
  std::vector<std::string> exports;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    for (const sFormat& format : Formats()) {
      const std::string& code = GetBridgeLanguages()[i].mCode;
      exports.push_back((format.name == std::string("po") ? "po/" : "") + code + "." + format.name);
      ASSERT_EQ(0, Export(dir, format.name, code, "s.txt", exports.back()).status);
    }
  }
  std::string missing;
  if (!Installed("msgfmt")) missing += " msgfmt";
  for (const std::string& po : exports) {
    if (!missing.empty() || std::filesystem::path(po).extension() != ".po") continue;
    const test::ProcessResult checked = test::Run("msgfmt", {"--check", "-o", "/dev/null", po}, dir.Path().string());
    EXPECT_EQ(0, checked.status) << po << checked.err;
    EXPECT_EQ("", checked.err) << po;
  }
  const bool toolkit = !PythonWith("translate").empty();
  if (toolkit && Installed("pofilter")) {
    const test::ProcessResult filtered = test::Run("pofilter", {"po", "findings"}, dir.Path().string());
    EXPECT_EQ(0, filtered.status) << filtered.err;
    for (const char* trouble : {"rror", "arning", "Traceback"})
      EXPECT_EQ(std::string::npos, filtered.err.find(trouble)) << filtered.err;
    // What it finds are the sample's own translations ("Aller simple pour
    // Münster : 4,50 €" lacks the brackets), read from every file.
    EXPECT_TRUE(Holds(test::ReadFile(dir / "findings/fr.po"), "# (pofilter) brackets"));
  } else {
    missing += " pofilter";
  }
  if (toolkit && Installed("pocount")) {
    test::tTexts args = {"--csv"};
    args.insert(args.end(), exports.begin(), exports.end());
    const test::ProcessResult counted = test::Run("pocount", args, dir.Path().string());
    ASSERT_EQ(0, counted.status) << counted.err;
    const std::string stats = Bridge({"stats", "--json", "s.txt"}, dir).out;
    size_t rows = 0;
    std::istringstream lines(counted.out);
    for (std::string row; std::getline(lines, row);) {
      std::vector<std::string> fields;
      std::istringstream in(row);
      for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
      if (fields.size() < 8 || std::find(exports.begin(), exports.end(), fields[0]) == exports.end()) continue;
      ++rows;
      SCOPED_TRACE(row);
      // Translated and untranslated strings, and the untranslated English
      // words; no fuzzy ones.
      EXPECT_TRUE(Holds(stats, "\"code\":\"" + std::filesystem::path(fields[0]).stem().string() + "\",\"translated\":" +
                                   std::to_string(std::stoul(fields[1])) + ",\"missing\":" +
                                   std::to_string(std::stoul(fields[6])) + ",\"words\":" +
                                   std::to_string(std::stoul(fields[7])) + "}"));
      EXPECT_EQ(0ul, std::stoul(fields[4]));
    }
    EXPECT_EQ(exports.size(), rows) << counted.out;
  } else {
    missing += " pocount";
  }
  if (!missing.empty()) GTEST_SKIP() << "not installed:" << missing;
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
  const tStrings control = ControlRound(dir, SampleTree(dir, "control"));
  for (const sFormat& format : Formats())
    ASSERT_EQ(0, Export(dir, format.name, language.mCode, "s.txt", std::string("export.") + format.name).status);
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
    const test::ProcessResult imported = Import(dir, language.mCode, "round.txt", round.file);
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
