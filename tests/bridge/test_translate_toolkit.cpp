// The bridge among a translator's own tools: gettext's msgfmt and
// Translate Toolkit's pofilter and pocount accept every export of the
// sample tree and count it as stats does (tools/setup-debian.sh installs
// them). Translate Toolkit's readers, writers and converters carrying a
// language into the game is a round of test_game_rounds.cpp.
#include <gtest/gtest.h>

#include <sstream>

#include "BridgeTestSupport.h"

namespace {
using namespace bridge_test;

// The sample tree extracted, every language exported in every format as
// <code>.<format> (the PO exports in po/); gettext's msgfmt checks each PO
// export, pofilter runs its default checks on them all, and pocount counts
// each export as stats does. The test is skipped at its end, naming the
// tools that are not installed, when any is not.
TEST(BridgeAmongTools, MsgfmtPofilterAndPocountTakeEveryExportAsStatsCountsIt) {
  test::TempDir dir;
  ASSERT_EQ(0, test::RunGlossmill({"-sx", dir / "s.txt"}, SampleTree(dir)).status);
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
      const test::tTexts fields = Args(test::ReplaceAll(row, ",", " "));
      if (fields.size() < 8 || std::find(exports.begin(), exports.end(), fields[0]) == exports.end()) continue;
      ++rows;
      SCOPED_TRACE(row);
      // Translated and untranslated strings, and the untranslated English
      // words; no fuzzy ones.
      EXPECT_TRUE(Holds(stats, "\"code\":\"" + std::filesystem::path(fields[0]).stem().string() + "\",\"translated\":" +
                                   fields[1] + ",\"missing\":" + fields[6] + ",\"words\":" + fields[7] + "}"));
      EXPECT_EQ("0", fields[4]);
    }
    EXPECT_EQ(exports.size(), rows) << counted.out;
  } else {
    missing += " pocount";
  }
  if (!missing.empty()) GTEST_SKIP() << "not installed:" << missing;
}

}  // namespace
