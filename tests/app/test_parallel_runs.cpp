// Game runs with GLOSSMILL_JOBS: the built program on a tree of a few
// hundred ".bin" files made by the stand-in serializer, each run compared
// with the same run made one conversion at a time. Standard output, the
// exit status and every file of the tree must come out byte for byte the
// same; only the serializer's own messages may come in another order. The
// stand-in is slowed down so that its calls overlap, and counts how many
// of them are under way at once.

#include "ContentTree.h"

namespace {

using namespace test;

// Calls long enough to outlast the start of the next one also on a loaded
// machine, so that the runs overlap; slow calls outlast the program's end,
// so any left running would show.
#ifdef _WIN32
// Under wine every serializer call is a Windows program of its own, started
// at great cost: fewer files, longer calls.
constexpr int cBinCount = 30;
constexpr int cOverlapDelayMs = 400;
constexpr int cSlowDelayMs = 1000;
#else
constexpr int cBinCount = 200;
constexpr int cOverlapDelayMs = 20;
constexpr int cSlowDelayMs = 150;
#endif
constexpr int cBadlyFormed = 12;

std::string Document(int number, bool wellFormed = true) {
  const std::string id = std::to_string(number);
  return GameDocument(Join({{GamePlain("Label", "Label " + id), "<Name>"},
                            GameString({"Text " + id, "Texte " + id}), {"</Name>"},
                            wellFormed ? tTexts{} : tTexts{"<Broken attribute>"}}));
}

std::string BinName(int number) {
  return "d" + std::to_string(number % 6) + "/f" + std::to_string(1000 + number).substr(1) + ".bin";
}

tTexts SortedLines(const std::string& text) {
  tTexts lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The content tree, made once: ".bin" files in six directories, plain XML
// files beside them, a ".BIN" that is read as it is, the stand-in
// serializer, and a badly formed ".bin" kept aside.
const ContentTree& Template() {
  static ContentTree tree;
  static const bool made = [] {
    tree.UseSerializer();
    for (int number = 0; number < cBinCount; ++number) tree.WriteBin(BinName(number), Document(number));
    tree.Write("d1/plain.xml", Document(1000));
    tree.Write("Upper.BIN", Document(1001));
    tree.WriteBin("bad.bin", Document(cBadlyFormed, false));
    return true;
  }();
  (void)made;
  return tree;
}

// The translations file of the update runs: French texts for every third
// ".bin" file, and keys that reach one XML form by different names (the
// ".BIN" spelling, the XML form itself, a way through another directory),
// which must never be worked on at once.
std::string UpdateTranslations() {
  tTexts lines;
  const auto line = [&](const std::string& key, int number, const std::string& french) {
    lines.push_back(TranslatedLine(key + "@Game@Text#" + std::to_string(number), {"", french}));
  };
  for (int number = 0; number < cBinCount; number += 3)
    line(ReplaceAll("\\" + BinName(number), "/", "\\"), number, "Neu " + std::to_string(number));
  line("\\d0\\f000.BIN", 0, "Gross");
  line("\\d0\\f000.xml", 0, "Xml");
  line("\\d1\\..\\d0\\f006.bin", 6, "Umweg");
  line("\\d0\\zz\\..\\f006.bin", 6, "Gibt es nicht");
  line("\\d1\\plain.xml", 1000, "Rein");
  line("\\d2\\missing.bin", 2, "Nirgends");
  return TranslationsFile(lines);
}

// A job count that is no positive number is said once, and the run goes on
// one call at a time; which values are valid is the job limit's own test.
TEST(ParallelRun, GivesTheSequentialRunsOutputAndFilesWithAtMostNSerializersAtOnce) {
  TempDir dir;
  const std::string tree = dir / "tree", alive = dir / "alive";
  // A fresh copy of the tree, always at the same place, so progress lines
  // of different runs compare as they are; with the badly formed ".bin" in
  // the place of its well-formed namesake or without it.
  const auto freshTree = [&](bool badlyFormed) {
    fs::remove_all(tree);
    fs::copy(Template().Path(), tree, fs::copy_options::recursive);
    badlyFormed ? fs::rename(tree + "/bad.bin", tree + "/" + BinName(cBadlyFormed)) : (void)fs::remove(tree + "/bad.bin");
    return tree;
  };
  WriteFile(dir / "translations.txt", UpdateTranslations());
  const tTexts extract = {"-gx", "out.txt"}, update = {"-gu", "../translations.txt"}, replace = {"-gr", "Label"};
  const struct {
    const char* name;
    tTexts args;
    const char* failing;  // BRUX_FAIL for both runs: the calls on this file fail
    bool badlyFormed;     // whether a data file is not XML
    int delayMs;          // each serializer call of the parallel run
    std::string jobs = "4";
  } cases[] = {
      {"extract", extract, "f017", false, cOverlapDelayMs},
      {"update", update, "f018", false, cOverlapDelayMs},
      {"replace", replace, "f017", false, cOverlapDelayMs},
      // Slow calls: any left running after the program ended would show.
      {"update ended by a badly formed file", update, "", true, cSlowDelayMs},
      {"extract with an invalid job count", extract, "", false, cOverlapDelayMs, " 4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string failing = std::string("BRUX_FAIL=") + c.failing;
    const ProcessResult sequential = RunGlossmillWith({failing}, c.args, freshTree(c.badlyFormed));
    const tFiles sequentialFiles = FilesBelow(tree);
    ASSERT_EQ(sequential.status, c.badlyFormed ? kFatalExitStatus : 0) << sequential.err;

    fs::remove(alive);
    const ProcessResult parallel = RunGlossmillWith(
        {failing, "GLOSSMILL_JOBS=" + c.jobs, "BRUX_DELAY_MS=" + std::to_string(c.delayMs), "BRUX_ALIVE_FILE=" + alive},
        c.args, freshTree(c.badlyFormed));
    const bool valid = c.jobs == "4";
    EXPECT_EQ(parallel.status, sequential.status);
    EXPECT_EQ(parallel.out, sequential.out);
    EXPECT_EQ(SortedLines(parallel.err),
              SortedLines(sequential.err + (valid ? "" : "glossmill: GLOSSMILL_JOBS must be a positive number, not \"" +
                                                             c.jobs + "\"; running one serializer at a time\n")));

    // Every file as after the sequential run. An update ended by a fatal
    // error may leave the XML forms of files it had converted ahead.
    tFiles parallelFiles = FilesBelow(tree);
    for (auto it = parallelFiles.begin(); c.badlyFormed && it != parallelFiles.end();)
      it = sequentialFiles.count(it->first) || fs::path(it->first).extension() != ".xml" ? std::next(it)
                                                                                        : parallelFiles.erase(it);
    ExpectFiles(parallelFiles, sequentialFiles);

    // Nothing left running when the program has ended, also after a fatal
    // error; never more than four at once, and indeed more than one.
    const auto [running, most] = SerializerCalls(alive);
    EXPECT_EQ(running, 0);
    EXPECT_LE(most, valid ? 4 : 1);
    EXPECT_GE(most, valid ? 2 : 1);
  }
}

}  // namespace
