// Game runs with GLOSSMILL_JOBS: the built program on a tree of a few
// hundred ".bin" files made by the stand-in serializer, each run compared
// with the same run made one conversion at a time. Standard output, the
// exit status and every file of the tree must come out byte for byte the
// same; only the serializer's own messages may come in another order. The
// stand-in is slowed down so that its calls overlap, and counts how many
// of them are under way at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ContentTree.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

using test::tFiles;
typedef std::vector<std::string> tArgs;

// How long each serializer call of a parallel run lasts, so that calls
// overlap.
#ifdef _WIN32
// Under wine every serializer call is a Windows program of its own, started
// at great cost: fewer files, and calls long enough to outlast the start of
// the next.
constexpr int cBinCount = 30;
constexpr int cOverlapDelayMs = 100;
#else
constexpr int cBinCount = 200;
constexpr int cOverlapDelayMs = 3;
#endif

std::string GameDocument(int number, bool wellFormed = true) {
  const std::string id = std::to_string(number);
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
         "<cContentDocument xmlns:d=\"urn:test\" d:version=\"1.0\">\r\n"
         "<Label d:type=\"cDeltaString\">Label " + id + "</Label>\r\n"
         "<Name>\r\n<Localisation-cUserLocalisedString>\r\n"
         "<English d:type=\"cDeltaString\">Text " + id + "</English>\r\n"
         "<French d:type=\"cDeltaString\">Texte " + id + "</French>\r\n"
         "<Other/>\r\n</Localisation-cUserLocalisedString>\r\n</Name>\r\n" +
         (wellFormed ? "" : "<Broken attribute>\r\n") + "</cContentDocument>\r\n";
}

std::string BinName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "d%d/f%03d.bin", number % 6, number);
  return name;
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// What the stand-in recorded: calls under way now and at most at once.
struct sAlive {
  long running = -1, most = -1;
};

class ParallelRun : public ::testing::Test {
 protected:
  // The content tree, made once: ".bin" files in six directories, plain
  // XML files beside them, a ".BIN" that is read as it is, and the
  // stand-in serializer.
  static void SetUpTestSuite() {
    gTemplate = new test::TempDir;
    const fs::path root = gTemplate->Path();
    fs::copy_file(test::BruxExe(), root / "brux.exe");
    for (int number = 0; number < cBinCount; ++number) {
      const std::string xml = (root / BinName(number)).replace_extension(".xml").string();
      test::WriteFile(xml, GameDocument(number));
      ASSERT_EQ(test::Run(test::BruxExe(), {xml}, root.string()).status, 0);
      fs::remove(xml);
    }
    test::WriteFile((root / "d1/plain.xml").string(), GameDocument(1000));
    test::WriteFile((root / "Upper.BIN").string(), GameDocument(1001));
  }
  static void TearDownTestSuite() {
    delete gTemplate;
    gTemplate = nullptr;
  }

  // A fresh copy of the tree, always at the same place, so progress lines
  // of different runs compare as they are.
  std::string FreshTree() {
    const fs::path tree = mDir.Path() / "tree";
    fs::remove_all(tree);
    fs::copy(gTemplate->Path(), tree, fs::copy_options::recursive);
    return tree.string();
  }

  // Runs glossmill in `tree` with the environment `variables` (NAME=value).
  test::ProcessResult Glossmill(const std::string& tree, const tArgs& variables,
                                const tArgs& args) {
    std::vector<std::unique_ptr<test::ScopedEnvironment>> environment;
    for (const std::string& variable : variables) {
      const size_t equals = variable.find('=');
      environment.push_back(std::make_unique<test::ScopedEnvironment>(variable.substr(0, equals),
                                                                       variable.substr(equals + 1)));
    }
    return test::RunGlossmill(args, tree);
  }

  sAlive Alive() const {
    sAlive alive;
    std::istringstream(test::ReadFile(mAliveFile)) >> alive.running >> alive.most;
    return alive;
  }

  test::TempDir mDir;
  const std::string mAliveFile = mDir / "alive";
  static test::TempDir* gTemplate;
};

test::TempDir* ParallelRun::gTemplate = nullptr;

// The translations file of the update runs: French texts for every third
// ".bin" file, and keys that reach one XML form by different names (the
// ".BIN" spelling, the XML form itself, a way through another directory),
// which must never be worked on at once.
std::string UpdateTranslations() {
  test::tTexts lines;
  auto line = [&](const std::string& key, int number, const std::string& french) {
    const std::string id = std::to_string(number);
    lines.push_back(key + "@Game@Text#" + id + "\tVektrel\t\t\t\tPC\t\"Text " + id + "\"\t\"" +
                    french + "\"\n");
  };
  for (int number = 0; number < cBinCount; number += 3) {
    std::string key = "\\" + BinName(number);
    key[3] = '\\';
    line(key, number, "Neu " + std::to_string(number));
  }
  line("\\d0\\f000.BIN", 0, "Gross");
  line("\\d0\\f000.xml", 0, "Xml");
  line("\\d1\\..\\d0\\f006.bin", 6, "Umweg");
  line("\\d0\\zz\\..\\f006.bin", 6, "Gibt es nicht");
  line("\\d1\\plain.xml", 1000, "Rein");
  line("\\d2\\missing.bin", 2, "Nirgends");
  return test::TranslationsFile(lines);
}

TEST_F(ParallelRun, GivesTheSequentialRunsOutputAndFilesWithAtMostNSerializersAtOnce) {
  test::WriteFile(mDir / "translations.txt", UpdateTranslations());
  const tArgs extract = {"-gx", "out.txt"}, update = {"-gu", "../translations.txt"},
              replace = {"-gr", "Label"};
  const struct {
    const char* name;
    tArgs args;
    const char* failing;  // BRUX_FAIL for both runs: the calls on this file fail
    int badlyFormed;      // the data file that is not XML, or -1
    int delayMs;          // each serializer call of the parallel run
  } cases[] = {
      {"extract", extract, "f017", -1, cOverlapDelayMs},
      {"update", update, "f018", -1, cOverlapDelayMs},
      {"replace", replace, "f017", -1, cOverlapDelayMs},
      // Slow calls: any left running after the program ended would show.
      {"update ended by a badly formed file", update, "", 12, 150},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tArgs failing = {std::string("BRUX_FAIL=") + c.failing};
    auto prepare = [&] {
      const std::string tree = FreshTree();
      if (c.badlyFormed >= 0) {
        const std::string xml = tree + "/bad.xml";
        test::WriteFile(xml, GameDocument(c.badlyFormed, false));
        EXPECT_EQ(test::Run(test::BruxExe(), {xml}, tree).status, 0);
        fs::rename(tree + "/bad.bin", tree + "/" + BinName(c.badlyFormed));
        fs::remove(xml);
      }
      return tree;
    };

    const test::ProcessResult sequential = Glossmill(prepare(), failing, c.args);
    const tFiles sequentialFiles = test::FilesBelow(mDir.Path() / "tree");
    ASSERT_EQ(sequential.status, c.badlyFormed >= 0 ? test::kFatalExitStatus : 0) << sequential.err;

    fs::remove(mAliveFile);
    const test::ProcessResult parallel =
        Glossmill(prepare(),
                  {failing[0], "GLOSSMILL_JOBS=4", "BRUX_DELAY_MS=" + std::to_string(c.delayMs),
                   "BRUX_ALIVE_FILE=" + mAliveFile},
                  c.args);
    const sAlive alive = Alive();
    EXPECT_EQ(parallel.status, sequential.status);
    EXPECT_EQ(parallel.out, sequential.out);
    EXPECT_EQ(SortedLines(parallel.err), SortedLines(sequential.err));

    // Every file as after the sequential run. An update ended by a fatal
    // error may leave the XML forms of files it had converted ahead.
    tFiles parallelFiles = test::FilesBelow(mDir.Path() / "tree");
    for (const auto& file : sequentialFiles) {
      EXPECT_TRUE(parallelFiles.count(file.first) && parallelFiles[file.first] == file.second)
          << file.first;
      parallelFiles.erase(file.first);
    }
    for (const auto& extra : parallelFiles)
      EXPECT_TRUE(c.args == update && c.badlyFormed >= 0 &&
                  fs::path(extra.first).extension() == ".xml")
          << "only in the parallel run: " << extra.first;

    // Nothing left running when the program has ended, also after a fatal
    // error; never more than four at once, and indeed more than one.
    EXPECT_EQ(alive.running, 0);
    EXPECT_LE(alive.most, 4);
    EXPECT_GE(alive.most, 2);
  }
}

TEST_F(ParallelRun, InvalidJobCountIsSaidOnceAndTheRunGoesOnOneCallAtATime) {
  // A few files of the tree are enough here.
  const std::string tree = mDir / "small";
  fs::create_directories(tree + "/d0");
  fs::copy_file(gTemplate->Path() / "brux.exe", tree + "/brux.exe");
  for (int number : {0, 6, 12}) fs::copy_file(gTemplate->Path() / BinName(number), tree + "/" + BinName(number));
  const test::ProcessResult sequential = Glossmill(tree, {}, {"-gx", "out.txt"});
  ASSERT_EQ(sequential.status, 0);
  for (const std::string value : {"0", "-2", "+2", " 4", "4 ", "four", "4x", "0x10"}) {
    fs::remove(mAliveFile);
    const test::ProcessResult result = Glossmill(
        tree, {"GLOSSMILL_JOBS=" + value, "BRUX_ALIVE_FILE=" + mAliveFile}, {"-gx", "out.txt"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, sequential.out);
    EXPECT_EQ(result.err, "glossmill: GLOSSMILL_JOBS must be a positive number, not \"" + value +
                              "\"; running one serializer at a time\n");
    EXPECT_EQ(Alive().most, 1) << value;
  }
}

}  // namespace
