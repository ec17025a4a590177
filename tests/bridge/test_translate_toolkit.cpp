// The bridge among a translator's own tools: gettext's msgfmt and
// Translate Toolkit's pofilter, pocount, readers, writers and converters
// accept every export of the sample tree, count it as stats does, and carry
// translations through a whole round into the game for each language. Each
// test is skipped, saying why, where the tools are not installed
// (tools/setup-debian.sh installs them).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "GameRounds.h"

namespace {
using namespace bridge_test;

const sFormat& FormatNamed(const std::string& name) {
  for (const sFormat& format : Formats()) {
    if (name == format.name) return format;
  }
  throw std::logic_error("no format " + name);
}

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
    mTree = SampleTree(mDir);
    Extract(mTree, mDir / "s.txt");
    for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
      for (const sFormat& format : Formats()) {
        const std::string name = GetBridgeLanguages()[i].mCode + "." + format.name;
        ASSERT_EQ(0, Bridge({"export", "--to", format.name, "--lang", GetBridgeLanguages()[i].mCode, "s.txt", name},
                            mDir.Path().string()).status);
        mExports.push_back(name);
      }
    }
  }

  std::vector<std::string> ExportsOf(const std::string& format) const {
    std::vector<std::string> files;
    for (const std::string& file : mExports) {
      if (file.substr(file.find('.') + 1) == format) files.push_back(file);
    }
    return files;
  }

  test::TempDir mDir;
  std::string mTree;
  std::vector<std::string> mExports;
};

TEST_F(BridgeAmongTools, MsgfmtChecksEveryPoExport) {
  if (!Installed("msgfmt")) GTEST_SKIP() << "gettext's msgfmt is not installed";
  for (const std::string& po : ExportsOf("po")) {
    const test::ProcessResult checked = test::Run("msgfmt", {"--check", "-o", "/dev/null", po}, mDir.Path().string());
    EXPECT_EQ(0, checked.status) << po << checked.err;
    EXPECT_EQ("", checked.err) << po;
  }
}

TEST_F(BridgeAmongTools, PofilterRunsItsDefaultChecksOnEveryPoExport) {
  const std::string python = PythonWith("translate");
  if (python.empty() || !Installed("pofilter")) GTEST_SKIP() << "Translate Toolkit's pofilter is not installed";
  std::filesystem::create_directory(mDir.Path() / "po");
  for (const std::string& po : ExportsOf("po")) std::filesystem::copy(mDir.Path() / po, mDir.Path() / "po" / po);
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
    // words.
    const std::string code = fields[0].substr(0, fields[0].find('.'));
    EXPECT_TRUE(Holds(stats, "\"code\":\"" + code + "\",\"translated\":" + std::to_string(std::stoul(fields[1])) +
                                 ",\"missing\":" + std::to_string(std::stoul(fields[6])) +
                                 ",\"words\":" + std::to_string(std::stoul(fields[7])) + "}"));
    EXPECT_EQ(0ul, std::stoul(fields[4])) << "no fuzzy strings";
  }
  EXPECT_EQ(mExports.size(), rows) << counted.out;
}

TEST_F(BridgeAmongTools, TranslateToolkitReadsEveryExport) {
  const std::string python = PythonWith("translate");
  if (python.empty()) GTEST_SKIP() << "Translate Toolkit's Python modules are not installed";
  test::tTexts args = {Script("translate_toolkit.py"), "read"};
  args.insert(args.end(), mExports.begin(), mExports.end());
  const test::ProcessResult read = test::Run(python, args, mDir.Path().string());
  ASSERT_EQ(0, read.status) << read.err;
  // What each export should hold: the strings that travel, their English
  // and the language's current text, translated where there is one.
  const cTranslationsFile translations = LoadTranslations(mDir / "s.txt");
  const std::vector<const char*> stranded = FindStringsThatCannotTravel(translations);
  std::string expected;
  for (const std::string& file : mExports) {
    const sBridgeLanguage& language = *FindBridgeLanguage(file.substr(0, 2));
    for (size_t i = 0; i < translations.Entries().size(); ++i) {
      const sTranslationsEntry& entry = translations.Entries()[i];
      if (stranded[i]) continue;
      const std::string target = Utf16ForDisplay(GetCurrentText(entry, language));
      expected += file + "\t" + Utf16ForDisplay(MakeUnitId(entry)) + "\t" +
                  Utf16ForDisplay(GetCurrentText(entry, GetSourceLanguage())) + "\t" + target + "\t" +
                  (target.empty() ? "0" : "1") + "\t0\n";
    }
  }
  EXPECT_EQ(expected, read.out);
}

// A round into the game through Translate Toolkit: its tool fills each
// export in its own reader and writer, and its converters turn the PO into
// XLIFF 1.1 and CSV, the XLIFF and the CSV into PO.
class BridgeThroughTranslateToolkit : public ::testing::TestWithParam<size_t> {};

TEST_P(BridgeThroughTranslateToolkit, CarriesALanguageIntoTheGame) {
  const std::string python = PythonWith("translate");
  if (python.empty()) GTEST_SKIP() << "Translate Toolkit's Python modules are not installed";
  for (const char* converter : {"po2xliff", "xliff2po", "csv2po", "po2csv"})
    if (!Installed(converter)) GTEST_SKIP() << "Translate Toolkit's " << converter << " is not installed";
  const sBridgeLanguage& language = GetBridgeLanguages()[GetParam()];
  test::TempDir dir;
  const std::string master = SampleTree(dir);
  const tStrings original = StringsOf(master, dir / "original.txt");
  Extract(master, dir / "s.txt");
  const std::vector<std::u16string> stranded = Stranded(dir / "s.txt");
  cControlTree control(dir);
  for (const sFormat& format : Formats()) {
    ASSERT_EQ(0, Bridge({"export", "--to", format.name, "--lang", language.mCode, "s.txt",
                         std::string("export.") + format.name}, dir.Path().string()).status);
  }
  const test::ProcessResult filled =
      test::Run(python, {Script("translate_toolkit.py"), "fill", language.mCode, "export.xliff", "filled.xlf",
                         "export.po", "filled.po", "export.csv", "filled.csv"}, dir.Path().string());
  ASSERT_EQ(0, filled.status) << filled.err;
  const struct {
    const char* converter;
    const char* from;
    const char* file;  // imported
  } rounds[] = {{nullptr, nullptr, "filled.xlf"},       {nullptr, nullptr, "filled.po"},
                {nullptr, nullptr, "filled.csv"},       {"po2xliff", "filled.po", "from-po.xlf"},
                {"xliff2po", "filled.xlf", "from-xliff.po"}, {"csv2po", "filled.csv", "from-csv.po"},
                {"po2csv", "filled.po", "from-po.csv"}};
  for (const auto& round : rounds) {
    SCOPED_TRACE(round.file);
    if (round.converter) {
      const test::ProcessResult converted = test::Run(round.converter, {round.from, round.file}, dir.Path().string());
      ASSERT_EQ(0, converted.status) << converted.err;
    }
    const std::string tree = dir / (std::string("tree-") + round.file);
    std::filesystem::copy(test::SourceDir() + "/sample/source", tree, std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(dir / "s.txt", dir / "round.txt", std::filesystem::copy_options::overwrite_existing);
    const test::ProcessResult imported =
        Bridge({"import", "--lang", language.mCode, "round.txt", round.file}, dir.Path().string());
    EXPECT_EQ(0, imported.status) << imported.err;
    ASSERT_EQ(0, test::RunGlossmill({"-su", dir / "round.txt"}, tree).status);
    ExpectRoundMade(original, control.After(1), StringsOf(tree, dir / "check.txt"), {&language}, stranded);
    const std::string extension = std::filesystem::path(round.file).extension().string();
    ExpectExportShowsNewTexts(dir, tree, FormatNamed(extension == ".xlf" ? "xliff" : extension.substr(1)), language,
                              original.size() - stranded.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, BridgeThroughTranslateToolkit, ::testing::Range<size_t>(1, cBridgeLanguageCount),
                         [](const ::testing::TestParamInfo<size_t>& language) {
                           return GetBridgeLanguages()[language.param].mName;
                         });

}  // namespace
