// Runs lose nothing when they cannot finish. Killed part way, as a crash
// would stop them, they leave every data file with its old or its new
// contents in full, and a rerun finishes the job. On a full disk every file
// that cannot be written keeps its old contents and is named on standard
// error, the translations file too; a reader of the progress that goes away
// cuts nothing short. POSIX only: the runs are stopped with SIGKILL, the
// disk is made full with a file size limit, and a pipe's reader leaves, each
// by the shell that starts the program.
#ifndef _WIN32

#include "ContentTree.h"

namespace {

using namespace test;

constexpr int cFiles = 120;
// Every tenth file is larger than the rewrite's 64 KiB buffer, so writing it
// takes several writes a kill can fall between.
constexpr int cLargeEvery = 10;
constexpr int cKills = 56;
// Progress lines wait for their files' copies to be settled, and the last
// ones may come together at the run's end: a kill after one of them can
// come after the run ended on its own.
constexpr int cRequiredKills = 40;

std::string FileName(int i) { return "part" + std::to_string(i % 4) + "/file" + std::to_string(1000 + i) + ".xml"; }
int StringsIn(int i) { return i % cLargeEvery == 0 ? 70 : 2; }
std::string TextOf(int i, int k) { return "Text " + std::to_string(i) + "." + std::to_string(k); }

std::string UpdatableFile(int i) {
  std::vector<tTexts> strings;
  for (int k = 0; k < StringsIn(i); ++k) strings.push_back(SourceString({TextOf(i, k)}));
  return SourceDocument(Join(strings));
}
std::string ReplaceableFile(int i) {
  tTexts body;
  for (int k = 0; k < StringsIn(i) * 8; ++k) body.push_back(GamePlain(k % 2 ? "Name" : "Code", TextOf(i, k)));
  return GameDocument(body);
}
// Translations for every string of every updatable file.
std::string TranslationsOfAll() {
  tTexts lines;
  for (int i = 0; i < cFiles; ++i)
    for (int k = 0; k < StringsIn(i); ++k)
      lines.push_back(
          TranslatedLine(ReplaceAll("\\" + FileName(i), "/", "\\") + "@Source@" + ReplaceAll(TextOf(i, k), " ", "#"),
                         {"", "Texte " + TextOf(i, k), "Testo", "Text"}));
  return TranslationsFile(lines);
}

// The data files of a tree by their relative names.
tFiles DataFiles(const ContentTree& tree) {
  tFiles files = tree.Files();
  for (auto it = files.begin(); it != files.end();) it = fs::path(it->first).extension() == ".xml" ? std::next(it) : files.erase(it);
  return files;
}

// Two trees with every `count`-th file of `makeFile` and the translations:
// `reference` has had the run `args` to its end, `tree` not yet.
struct sTrees {
  ContentTree tree, reference;
  tFiles before, after;
  sTrees(const std::function<std::string(int)>& makeFile, const tTexts& args, int every = 1) {
    for (ContentTree* each : {&tree, &reference}) {
      for (int i = 0; i < cFiles; i += every) each->Write(FileName(i), makeFile(i));
      each->Write("in.txt", TranslationsOfAll());
    }
    before = DataFiles(tree);
    EXPECT_EQ(reference.Glossmill(args).status, 0);
    after = DataFiles(reference);
    for (const auto& [name, bytes] : before) EXPECT_NE(after[name], bytes) << name << " is changed by the run";
  }
};

// Runs the program with `args` through the shell `script`, where "$@" is
// the program and its arguments, and "$0" is `zero`.
ProcessResult Shell(const std::string& script, const std::string& zero, const tTexts& args,
                    const std::string& directory) {
  return Run("sh", Join({{"-c", script, zero, GlossmillExe()}, args}), directory);
}

// The shell first limits every file the program writes to `blocks` of 512
// bytes, as a user's `ulimit -f` does: the signal a write beyond the limit
// raises would end the program, which ignores it, so the write fails with
// EFBIG ("File too large"), as on a full disk, and the program goes on.
ProcessResult RunOnAFullDisk(const tTexts& args, const std::string& directory, int blocks) {
  return Shell("ulimit -f " + std::to_string(blocks) + " && exec \"$@\"", "sh", args, directory);
}

// Kills the run `args` again and again, each time after a later progress
// line: every data file stays old or new, those done before are new. The
// shell reads the program's output through a FIFO while it runs and kills
// it itself, at once; a status of 128 + 9 says the kill ended the run,
// rather than the run having ended on its own.
void KillRepeatedly(const std::function<std::string(int)>& makeFile, const tTexts& args) {
  sTrees trees(makeFile, args);
  const std::string root = trees.tree.Canonical() + "/";
  int killed = 0;
  for (int kill = 0; kill < cKills; ++kill) {
    // Spread over the first nine tenths of the run, so that the run still
    // has files to do when the kill comes.
    const int stopAt = 1 + kill * (cFiles * 9 / 10) / cKills;
    TempDir scratch;
    const ProcessResult result = Shell("mkfifo \"$0/out\" || exit 1; \"$@\" >\"$0/out\" 2>/dev/null & head -n " +
                                           std::to_string(stopAt) + " <\"$0/out\"; kill -9 $!; wait $!",
                                       scratch.Path().string(), args, trees.tree.At(""));
    killed += result.status == 128 + 9;
    tTexts done;
    std::istringstream out(result.out);
    for (std::string line; std::getline(out, line);) done.push_back(line.substr(line.find(root) + root.size()));
    ASSERT_EQ(static_cast<int>(done.size()), stopAt) << "kill " << kill;
    done.pop_back();  // the file being worked on when the kill came

    const tFiles now = DataFiles(trees.tree);
    ASSERT_EQ(now.size(), trees.before.size()) << "a data file went missing at kill " << kill;
    for (const auto& [name, bytes] : now)
      ASSERT_TRUE(bytes == trees.before.at(name) || bytes == trees.after.at(name))
          << name << " is cut short or mixed at kill " << kill << " (" << bytes.size() << " bytes)";
    for (const std::string& name : done) ASSERT_TRUE(now.at(name) == trees.after.at(name)) << name << " not new at kill " << kill;
  }
  EXPECT_GE(killed, cRequiredKills);

  // The temporary files the kills left do not disturb a rerun, which
  // finishes every file and takes every temporary file away.
  EXPECT_EQ(trees.tree.Glossmill(args).err, "");
  ExpectFiles(trees.tree.Files(), trees.reference.Files());
}

TEST(InterruptedRun, SourceUpdateLeavesEveryFileOldOrNew) { KillRepeatedly(UpdatableFile, {"-su", "in.txt"}); }

TEST(InterruptedRun, GameReplacementLeavesEveryFileOldOrNew) { KillRepeatedly(ReplaceableFile, {"-gr", "Name"}); }

TEST(FullDisk, DataFilesThatCannotBeWrittenKeepTheirContentsAndAreNamed) {
  // Writes stop at 117 blocks: the large files' copies cannot be finished,
  // the small ones' can.
  constexpr int cBlocks = 117;
  for (const auto& [makeFile, args] : {std::make_pair(UpdatableFile, tTexts{"-su", "in.txt"}),
                                       std::make_pair(ReplaceableFile, tTexts{"-gr", "Name"})}) {
    SCOPED_TRACE(args[0]);
    sTrees trees(makeFile, args, 5);
    const ProcessResult result = RunOnAFullDisk(args, trees.tree.At(""), cBlocks);
    EXPECT_EQ(result.status, 0);
    std::string expectedErrors;
    tFiles expected = trees.reference.Files();
    for (const auto& [name, bytes] : trees.before) {
      if (trees.after[name].size() <= cBlocks * 512u) continue;
      expected[name] = bytes;
      expectedErrors += "glossmill: could not write '" + trees.tree.Canonical() + "/" + name + "': File too large\n";
    }
    EXPECT_NE(expectedErrors, "");
    EXPECT_EQ(result.err, expectedErrors);
    ExpectFiles(trees.tree.Files(), expected);
  }
}

// Every way the translations file can fail to be written gives one line on
// standard error for the run, naming the file and the reason; standard
// output and the exit status stay as they are. A cut-short file holds the
// complete one's first bytes, nothing else.
TEST(FullDisk, TranslationsFileThatCannotBeWrittenIsSaidOnceOnStandardError) {
  ContentTree tree;
  tree.Write("a.xml", SourceDocument(SourceString({std::string(200, 'a'), "fr"})));
  tree.Write("b.xml", SourceDocument(SourceString({"Second"})));
  tree.Write("c.xml", GameDocument(GameString({"Game text"})));
  fs::create_directory(tree.Path() / "folder.txt");
  // Whether a folder without write permission stops this user (not root).
  fs::create_directory(tree.Path() / "locked");
  fs::permissions(tree.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  // The arguments, the reason, the file size limit in blocks of 512 bytes
  // (0: none).
  std::vector<std::tuple<tTexts, const char*, int>> cases = {
      {{"-sx", "missing/out.txt"}, "No such file or directory", 0}, {{"-sx", "folder.txt"}, "Is a directory", 0},
      {{"-gx", std::string(300, 'n') + ".txt"}, "File name too long", 0}, {{"-sx", "out.txt"}, "File too large", 1},
      {{"-gx", "out.txt"}, "File too large", 1}};
  if (!std::ofstream(tree.At("locked/probe")).is_open()) cases.push_back({{"-sx", "locked/out.txt"}, "Permission denied", 0});
  for (const auto& [args, reason, blocks] : cases) {
    SCOPED_TRACE(args[0] + " " + reason);
    std::string complete;
    if (blocks != 0) {
      ASSERT_EQ("", tree.Glossmill(args).err);
      complete = tree.Read("out.txt");
      ASSERT_GT(complete.size(), blocks * 512u);
    }
    const ProcessResult result = blocks != 0 ? RunOnAFullDisk(args, tree.At(""), blocks) : tree.Glossmill(args);
    ExpectRun(result, 0, tree.Progress({"a.xml", "b.xml", "c.xml"}),
              "glossmill: could not write '" + args[1] + "': " + reason + "\n");
    if (blocks != 0) {
      EXPECT_EQ(complete.substr(0, blocks * 512), tree.Read("out.txt"));
    }
  }
}

TEST(ClosedOutput, AReaderOfTheProgressThatGoesAwayCutsNothingShort) {
  // Progress lines of some 3600 bytes each: far more than a pipe holds once
  // its reader has left after the first byte.
  ContentTree tree;
  std::string deep;
  for (int level = 0; level < 14; ++level) deep += std::string(250, static_cast<char>('a' + level)) + "/";
  for (int i = 0; i < 100; ++i) tree.Write(deep + std::to_string(i) + ".xml", SourceDocument(SourceString({"T"})));
  const ProcessResult result = Shell("{ \"$@\"; echo $? >status; } | head -c 1", "sh", {"-sx", "out.txt"}, tree.At(""));
  EXPECT_EQ(result.out, "F");
  EXPECT_EQ(tree.Read("status"), "0\n");
  EXPECT_EQ(LinesOf(tree.Read("out.txt")).size(), 100u);
}

}  // namespace

#endif
