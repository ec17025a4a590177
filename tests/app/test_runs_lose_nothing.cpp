// Runs that rewrite data files lose nothing when they cannot finish. Killed
// part way, as a crash would stop them, they leave every data file with its
// old or its new contents in full, and a rerun finishes the job. On a full
// disk every file that cannot be written keeps its old contents and is
// named on standard error. POSIX only: the runs are stopped with SIGKILL and
// the disk is made full with a file size limit.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ContentTree.h"
#include "support/ChildProcess.h"

namespace {

using test::Join;
using test::tTexts;

namespace fs = std::filesystem;

typedef std::map<std::string, std::string> tContents;  // absolute path -> bytes

constexpr int cFiles = 120;
// Every tenth file is larger than the rewrite's 64 KiB buffer, so writing it
// takes several writes a kill can fall between.
constexpr int cLargeEvery = 10;
constexpr int cKills = 56;
constexpr int cRequiredKills = 50;

std::string FileName(int i) {
  return "part" + std::to_string(i % 4) + "/file" + std::to_string(1000 + i) + ".xml";
}
int StringsIn(int i) { return i % cLargeEvery == 0 ? 70 : 2; }
std::string TextOf(int i, int k) { return "Text " + std::to_string(i) + "." + std::to_string(k); }

tContents DataFiles(const test::ContentTree& tree) {
  tContents files;
  for (const auto& [name, bytes] : tree.Files())
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0)
      files[fs::canonical(tree.At(name)).string()] = bytes;
  return files;
}

// The path a progress line names.
std::string PathOf(const std::string& progressLine) {
  return progressLine.substr(progressLine.find(" : ") + 3);
}

std::string UpdatableFile(int i) {
  std::vector<tTexts> strings;
  for (int k = 0; k < StringsIn(i); ++k) strings.push_back(test::SourceString({TextOf(i, k)}));
  return test::SourceDocument(Join(strings));
}

// Translations for every string of every updatable file.
std::string TranslationsOfAll() {
  tTexts lines;
  for (int i = 0; i < cFiles; ++i) {
    const std::string key = test::ReplaceAll("\\" + FileName(i), "/", "\\");
    for (int k = 0; k < StringsIn(i); ++k)
      lines.push_back(test::TranslatedLine(
          key + "@Source@" + test::ReplaceAll(TextOf(i, k), " ", "#"),
          {"", "Texte " + std::to_string(i) + "." + std::to_string(k), "Testo", "Text"}));
  }
  return test::TranslationsFile(lines);
}

std::string ReplaceableFile(int i) {
  tTexts body;
  for (int k = 0; k < StringsIn(i) * 8; ++k)
    body.push_back(test::GamePlain(k % 2 ? "Name" : "Code", TextOf(i, k)));
  return test::GameDocument(body);
}

// Writes `makeFile(i)` for every file into both trees, runs `args` to its
// end in `reference` to learn the new contents, then kills the same run in
// `tree` again and again, each time after a later progress line.
void KillRepeatedly(const std::function<std::string(int)>& makeFile,
                    const std::vector<std::string>& args, const std::string& extraName = "",
                    const std::string& extraBytes = "") {
  test::ContentTree tree, reference;
  for (int i = 0; i < cFiles; ++i) {
    tree.Write(FileName(i), makeFile(i));
    reference.Write(FileName(i), makeFile(i));
  }
  if (!extraName.empty()) {
    tree.Write(extraName, extraBytes);
    reference.Write(extraName, extraBytes);
  }
  const tContents before = DataFiles(tree);
  ASSERT_EQ(reference.Glossmill(args).status, 0);
  tContents after;
  for (const auto& [path, bytes] : DataFiles(reference))
    after[fs::canonical(tree.Path()).string() + path.substr(fs::canonical(reference.Path()).string().size())] = bytes;
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [path, bytes] : before) ASSERT_NE(after[path], bytes) << path << " is changed by the run";

  int killed = 0;
  for (int kill = 0; kill < cKills; ++kill) {
    // Spread over the first nine tenths of the run, so that the run still
    // has files to do when the kill comes.
    const int stopAt = 1 + kill * (cFiles * 9 / 10) / cKills;
    test::ChildProcess run(test::GlossmillExe(), args, tree.At(""));
    std::vector<std::string> done;
    std::string line;
    for (int seen = 0; seen < stopAt && run.ReadLine(line); ++seen) done.push_back(line);
    ASSERT_EQ(static_cast<int>(done.size()), stopAt) << "kill " << kill;
    done.pop_back();  // the file being worked on when the kill came
    killed += run.Kill();

    const tContents now = DataFiles(tree);
    ASSERT_EQ(now.size(), before.size()) << "a data file went missing at kill " << kill;
    for (const auto& [path, bytes] : now)
      ASSERT_TRUE(bytes == before.at(path) || bytes == after.at(path))
          << path << " is cut short or mixed at kill " << kill << " (" << bytes.size() << " of "
          << before.at(path).size() << " or " << after.at(path).size() << " bytes)";
    for (const std::string& progress : done)
      ASSERT_EQ(now.at(PathOf(progress)), after.at(PathOf(progress))) << "kill " << kill;
  }
  EXPECT_GE(killed, cRequiredKills);

  // The temporary files the kills left do not disturb a rerun, which
  // finishes every file and takes every temporary file away.
  const test::ProcessResult rerun = tree.Glossmill(args);
  EXPECT_EQ(rerun.status, 0);
  EXPECT_EQ(rerun.err, "");
  EXPECT_EQ(DataFiles(tree), after);
  for (const auto& [name, bytes] : tree.Files())
    EXPECT_EQ(name.find(".temp"), std::string::npos) << name;
}

TEST(InterruptedRun, SourceUpdateLeavesEveryFileOldOrNew) {
  KillRepeatedly(UpdatableFile, {"-su", "in.txt"}, "in.txt", TranslationsOfAll());
}

TEST(InterruptedRun, GameReplacementLeavesEveryFileOldOrNew) {
  KillRepeatedly(ReplaceableFile, {"-gr", "Name"});
}

TEST(FullDisk, FilesThatCannotBeWrittenKeepTheirContentsAndAreNamed) {
  // Writes stop at 60000 bytes: the large files' copies cannot be finished,
  // the small ones' can.
  constexpr uint64_t cLimit = 60000;
  const struct {
    std::function<std::string(int)> makeFile;
    std::vector<std::string> args;
  } runs[] = {
      {UpdatableFile, {"-su", "in.txt"}},
      {ReplaceableFile, {"-gr", "Name"}},
  };
  for (const auto& run : runs) {
    test::ContentTree tree, reference;
    for (test::ContentTree* each : {&tree, &reference}) {
      for (int i = 0; i < cFiles; i += 5) each->Write(FileName(i), run.makeFile(i));
      each->Write("in.txt", TranslationsOfAll());
    }
    const tContents before = DataFiles(tree);
    ASSERT_EQ(reference.Glossmill(run.args).status, 0);
    const tContents after = DataFiles(reference);

    const test::ProcessResult result =
        test::RunGlossmillWithFileSizeLimit(run.args, tree.At(""), cLimit);
    EXPECT_EQ(result.status, 0) << run.args[0];
    std::string expectedErrors;
    for (const auto& [path, bytes] : DataFiles(tree)) {
      const std::string& old = before.at(path);
      const std::string& changed =
          after.at(fs::canonical(reference.Path()).string() +
                   path.substr(fs::canonical(tree.Path()).string().size()));
      ASSERT_NE(changed, old);
      if (changed.size() > cLimit) {
        EXPECT_EQ(bytes, old) << path;
        expectedErrors += "glossmill: could not write '" + path + "': File too large\n";
      } else {
        EXPECT_EQ(bytes, changed) << path;
      }
    }
    EXPECT_NE(expectedErrors, "");
    EXPECT_EQ(result.err, expectedErrors) << run.args[0];
    for (const auto& [name, bytes] : tree.Files())
      EXPECT_EQ(name.find(".temp"), std::string::npos) << name;
  }
}

}  // namespace

#endif
