// The write-back of the source runs on threads of its own: copies are made,
// put on the disk in batches and put in place there, yet every file is
// finished, complained about and announced in the run's order, failures
// keep their reasons, and a file read ahead or read again, under any name,
// is read with its new contents; a fatal error finishes what was queued
// before any hook set earlier runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "app/CommitQueue.h"
#include "support/CopyVisitor.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

using test::kFolderInTheWay;

// A copy that marks every text, so a data file that was replaced shows it.
class cMarkingVisitor : public test::cCopyVisitor {
 public:
  using cCopyVisitor::cCopyVisitor;
  void Text(const cXmlText& text) override {
    if (text.IsEmpty()) return PassText(text);
    const cFxWString marked = text.String() + u"+";
    PassText(marked);
  }
};

// A data file's contents, its texts marked as the copy marks them or not.
// Every eighth file is several times the copy's buffers long.
std::string Contents(int i, const std::string& mark) {
  std::string body = "\r\n\t<t>" + std::to_string(i) + mark + "</t>";
  if (i % 8 == 5)
    for (int k = 0; k < 14; ++k) body += body;
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>" + body + "\r\n</r>\r\n";
}

// One file of a run through `queue`: its progress line, then its rewrite
// into its ".temp" sibling.
void Rewrite(cCommitQueue& queue, int position, const std::string& data) {
  const cFxWString dataPath(data.c_str());
  queue.PrintProgressLine(position, 99, dataPath);
  cMarkingVisitor visitor(data + ".temp");
  queue.RewriteDataFile(dataPath, visitor);
}

TEST(CommitQueue, FinishesComplainsAndAnnouncesInTheRunsOrder) {
  test::TempDir dir;
  enum eKind { cReplaced, cCannotCreate, cCannotReplace, cUnreadable };
  // More files than the queue holds, in batches that do not divide it,
  // failures among them; one byte in flight keeps the run's thread waiting
  // for the writer, which is always behind.
  std::vector<eKind> kinds;
  for (int i = 0; i < 26; ++i)
    kinds.push_back(i % 7 == 3 ? cCannotCreate : i % 5 == 4 ? cCannotReplace : i % 11 == 10 ? cUnreadable : cReplaced);
  std::string expectedOut;
  std::string expectedErr;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    cCommitQueue queue(3, 4, 1);
    for (size_t i = 0; i < kinds.size(); ++i) {
      const int n = static_cast<int>(i);
      const std::string stem = dir / ("f" + std::to_string(i));
      // A ".bin" is replaced through its XML twin: a folder in the twin's
      // place stops the replacement.
      const std::string data = stem + (kinds[i] == cCannotReplace ? ".bin" : ".xml");
      if (kinds[i] != cUnreadable) test::WriteFile(data, Contents(n, ""));
      if (kinds[i] == cCannotCreate) fs::create_directories(data + ".temp/x");
      if (kinds[i] == cCannotReplace) {
        fs::create_directories(stem + ".xml/x");
        test::WriteFile(stem + ".xml.temp", "stale");
      }
      Rewrite(queue, n + 1, data);
      expectedOut += "File " + std::to_string(i + 1) + " / 99 : " + data + "\n";
      const std::string reason = std::string("': ") + kFolderInTheWay + "\n";
      if (kinds[i] == cCannotCreate) expectedErr += "glossmill: could not write '" + data + reason;
      if (kinds[i] == cCannotReplace) expectedErr += "glossmill: could not replace '" + data + reason;
    }
  }  // the queue's end finishes the rest
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expectedErr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOut);
  for (size_t i = 0; i < kinds.size(); ++i) {
    SCOPED_TRACE(i);
    const int n = static_cast<int>(i);
    const std::string stem = dir / ("f" + std::to_string(i));
    const std::string data = stem + (kinds[i] == cCannotReplace ? ".bin" : ".xml");
    EXPECT_EQ(test::ReadFile(data), kinds[i] == cReplaced ? Contents(n, "+") : kinds[i] == cUnreadable ? "" : Contents(n, ""));
    // A copy that could not take its place stays beside the data file, in
    // full; any other is gone.
    EXPECT_EQ(test::ReadFile(data + ".temp"), kinds[i] == cCannotReplace ? Contents(n, "+") : "");
    EXPECT_EQ(fs::exists(data + ".temp"), kinds[i] == cCannotReplace || kinds[i] == cCannotCreate);
  }
}

TEST(CommitQueue, AFileReadAgainUnderAnotherNameIsReadWithItsNewContents) {
  test::TempDir dir;
  fs::create_directories(dir / "sub");
  testing::internal::CaptureStdout();
  cCommitQueue queue(64, 64);
  // Many copies ahead of the one read again, so it is still queued, its
  // batch not yet full.
  for (int i = 0; i < 16; ++i) {
    test::WriteFile(dir / ("f" + std::to_string(i) + ".xml"), Contents(i, ""));
    Rewrite(queue, i + 1, dir / ("f" + std::to_string(i) + ".xml"));
  }
  queue.BeforeReading(cFxWString((dir / "sub/../f15.xml").c_str()));
  EXPECT_EQ(test::ReadFile(dir / "f15.xml"), Contents(15, "+"));
  EXPECT_FALSE(fs::exists(dir / "f15.xml.temp"));
  queue.FinishAll();
  testing::internal::GetCapturedStdout();
}

TEST(CommitQueue, AFileReadAheadOrNamedAgainIsReadWithEveryEarlierCopyInPlace) {
  // Each run names files by number, a name again as "+" (another name of
  // it) or as "-" (a third); -1 is a file that does not exist. File 5 is
  // several hand-overs long.
  struct sRun {
    const char* mName;
    std::vector<int> mFiles;
  };
  std::vector<int> farApart = {0};
  for (int i = 1; i < 40; ++i) farApart.push_back(i);
  farApart.push_back(100);
  const std::vector<sRun> runs = {
      {"again at once", {0, 100, 1, 2}},
      {"three names in a row", {0, 100, 200, 1}},
      {"interleaved", {0, 1, 100, 101, 2, 200, 3}},
      {"a missing file between", {0, -1, 100, 1}},
      {"long file", {5, 105, 205}},
      {"again beyond the files read ahead", farApart},
  };
  // The files read ahead begin with the run's first file, or, as in the
  // source update, which takes its first file itself, with the second.
  struct sSetting {
    uint32_t mBatch, mQueued;
    size_t mBytes;
    size_t mFirstAhead;
  };
  const uint32_t batch = kCommitQueue::cBatchFiles, queued = kCommitQueue::cMaxQueued;
  const size_t bytes = kCommitQueue::cMaxBytesInFlight;
  const sSetting settings[] = {{3, 4, 1, 0}, {3, 4, 1, 1}, {batch, queued, bytes, 0}, {batch, queued, bytes, 1}};
  for (const sSetting& setting : settings) {
    for (const sRun& run : runs) {
      SCOPED_TRACE(std::string(run.mName) + ", batches of " + std::to_string(setting.mBatch) +
                   ", read ahead from file " + std::to_string(setting.mFirstAhead));
      test::TempDir dir;
      fs::create_directories(dir / "sub");
      const auto name = [&dir](int file) {
        const std::string plain = "f" + std::to_string(file % 100) + ".xml";
        return dir / (file < 0 ? "missing.xml" : file < 100 ? plain : file < 200 ? "sub/../" + plain : "./sub/./../" + plain);
      };
      std::vector<std::string> marks(40);
      for (int file : run.mFiles) {
        if (file < 0) continue;
        test::WriteFile(dir / ("f" + std::to_string(file % 100) + ".xml"), Contents(file % 100, ""));
        marks[static_cast<size_t>(file % 100)] += "+";
      }
      std::string expectedOut;
      testing::internal::CaptureStdout();
      {
        cCommitQueue queue(setting.mBatch, setting.mQueued, setting.mBytes);
        size_t upcoming = setting.mFirstAhead;
        queue.ReadAhead([&](cFxWString& path) {
          if (upcoming == run.mFiles.size()) return false;
          path = cFxWString(name(run.mFiles[upcoming++]).c_str());
          return true;
        });
        for (size_t i = 0; i < run.mFiles.size(); ++i) {
          Rewrite(queue, static_cast<int>(i) + 1, name(run.mFiles[i]));
          expectedOut += "File " + std::to_string(i + 1) + " / 99 : " + name(run.mFiles[i]) + "\n";
        }
      }
      EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOut);
      for (size_t file = 0; file < marks.size(); ++file) {
        if (marks[file].empty()) continue;
        SCOPED_TRACE(file);
        const std::string data = dir / ("f" + std::to_string(file) + ".xml");
        const std::string got = test::ReadFile(data);
        EXPECT_TRUE(got == Contents(static_cast<int>(file), marks[file])) << got.substr(0, 60);
        EXPECT_FALSE(fs::exists(data + ".temp"));
      }
    }
  }
}

TEST(CommitTempFile, ReplacesOnlyAnExistingTargetByAnExistingCopyAndChangesNothingElse) {
  enum eTarget { cWritable, cReadOnly, cMissing, cFolder };
  struct sRow {
    bool mCopy;  // the temporary file is there
    eTarget mTarget;
    bool mReplaced;
    bool mMissingSaid;  // the reason is the system's words for a missing file
  };
  const sRow rows[] = {{true, cWritable, true, false},   {true, cReadOnly, true, false},
                       {false, cWritable, false, true},  {false, cReadOnly, false, true},
                       {true, cMissing, false, true},    {false, cMissing, false, true},
                       {true, cFolder, false, false},    {false, cFolder, false, true}};
  for (const sRow& row : rows) {
    SCOPED_TRACE(std::to_string(row.mCopy) + " " + std::to_string(row.mTarget));
    test::TempDir dir;
    const std::string target = dir / "a.xml";
    if (row.mCopy) test::WriteFile(target + ".temp", "new");
    if (row.mTarget == cWritable || row.mTarget == cReadOnly) test::WriteFile(target, "old");
    if (row.mTarget == cReadOnly) fs::permissions(target, fs::perms::owner_read);
    if (row.mTarget == cFolder) fs::create_directories(target + "/x");
    const bool readOnlyWritable = FxPlatformAccessReadWrite(test::Utf16(target).c_str()).IsOk();
    std::string reason;
    EXPECT_EQ(CommitTempFile({test::Utf16(target + ".temp"), test::Utf16(target)}, reason), row.mReplaced);
    EXPECT_EQ(reason == "No such file or directory", row.mMissingSaid) << reason;
    EXPECT_EQ(fs::exists(target + ".temp"), row.mCopy && !row.mReplaced);
    if (row.mTarget != cFolder && row.mTarget != cMissing) {
      EXPECT_EQ(test::ReadFile(target), row.mReplaced ? "new" : "old");
    }
    // A replacement that cannot be made leaves a read-only data file so.
    if (row.mTarget == cReadOnly && !row.mReplaced) {
      EXPECT_EQ(FxPlatformAccessReadWrite(test::Utf16(target).c_str()).IsOk(), readOnlyWritable);
    }
  }
}

// The data file a fatal error's earlier hook looks at: the queue's own
// hook has finished it by then.
std::string gFinishedBeforeTheHook;

void ReportWhetherFinished() {
  const bool replaced = test::ReadFile(gFinishedBeforeTheHook) == Contents(3, "+");
  fprintf(stderr, "earlier hook: %s\n", replaced ? "replaced" : "not replaced");
}

TEST(CommitQueueDeathTest, AFatalErrorFinishesTheQueueThenRunsTheHookSetBeforeIt) {
  test::TempDir dir;
  gFinishedBeforeTheHook = dir / "f3.xml";
  test::WriteFile(gFinishedBeforeTheHook, Contents(3, ""));
  const auto run = [&] {
    FxSetPreExitHook(ReportWhetherFinished);
    cCommitQueue queue(64, 64);
    Rewrite(queue, 1, gFinishedBeforeTheHook);
    FxFatalError("%s", "stopped");
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(test::kFatalExitStatus), "^earlier hook: replaced\nERROR: stopped\n");
}

// A copy that changes only the texts it knows: "a" to one as long, "aa" to
// one a byte shorter, "z" to one a byte longer.
class cChangingVisitor : public test::cCopyVisitor {
 public:
  using cCopyVisitor::cCopyVisitor;
  void Text(const cXmlText& text) override {
    const cFxWString& string = text.String();
    if (string == u"a") return PassText(cFxWString(u"b"));
    if (string == u"aa") return PassText(cFxWString(u"a"));
    if (string == u"z") return PassText(cFxWString(u"zz"));
    PassText(text);
  }
};

// A data file with the texts `texts`, as a copy writes it when `tail` is
// the line break after the root.
std::string Document(const std::vector<std::string>& texts, const std::string& tail = "\r\n") {
  std::string body;
  for (const std::string& text : texts) body += "\r\n\t<t>" + text + "</t>";
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>" + body + "\r\n</r>" + tail;
}

// `count` texts "x" with `text` at `at` among them: long files, several
// hand-overs to the writer.
std::vector<std::string> Texts(size_t count, size_t at, const std::string& text) {
  std::vector<std::string> texts(count, "x");
  texts[at] = text;
  return texts;
}

bool IdentityOf(const std::string& path, uint64_t& volume, uint64_t& file) {
  const std::u16string units = test::Utf16(path);
  return FxPlatformGetDirectoryIdentity(units.c_str(), &volume, &file).IsOk();
}

// Whether a copy is always compared with its data file: on Windows only
// once the run's thread has closed the data file, which it reads with
// nobody else allowed to open it, so a copy the same as its data file may
// be made there or not.
#ifdef _WIN32
constexpr bool kCopiesCompared = false;
#else
constexpr bool kCopiesCompared = true;
#endif

// A link planted in a copy's place is removed as itself, never written
// through, whether the copy is made or found the same as its data file.
TEST(CommitQueue, ACopyTheSameAsItsDataFileIsNeverMadeAndAnyOtherTakesItsPlace) {
  test::TempDir dir, outside;
  enum eSetting { cUsual, cReadOnly, cStaleCopy, cFolderInTheWay, cLinkOut, cDanglingLink };
  struct sRow {
    const char* mName;
    std::string mData;
    std::string mCopy;  // what the data file holds after the run
    eSetting mSetting;
    bool mKept;  // the data file itself stays: never replaced
  };
  const std::vector<std::string> plain = {"x", "y", "x"};
  const size_t many = 9000;  // about 100 KB: more than one hand-over
  std::vector<sRow> rows = {
      {"same, long", Document(Texts(many, 0, "y")), Document(Texts(many, 0, "y")), cUsual, true},
      {"first text", Document({"a", "x"}), Document({"b", "x"}), cUsual, false},
      {"last text", Document({"x", "a"}), Document({"x", "b"}), cUsual, false},
      {"a byte shorter", Document({"x", "aa", "x"}), Document({"x", "a", "x"}), cUsual, false},
      {"a byte longer", Document({"x", "z", "x"}), Document({"x", "zz", "x"}), cUsual, false},
      {"data file ends early", Document(plain, ""), Document(plain), cUsual, false},
      {"data file goes on", Document(plain, "\r\n\r\n"), Document(plain), cUsual, false},
      {"after the first hand-over", Document(Texts(many, 7000, "a")), Document(Texts(many, 7000, "b")), cUsual, false},
      {"last text, long", Document(Texts(many, many - 1, "z")), Document(Texts(many, many - 1, "zz")), cUsual, false},
      {"long data file goes on", Document(Texts(many, 0, "y"), "\r\n\r\n"), Document(Texts(many, 0, "y")), cUsual,
       false},
      // Whatever is unusual is done as for a changed copy.
      {"same, read-only", Document(plain), Document(plain), cReadOnly, true},
      {"same, stale copy beside it", Document(plain), Document(plain), cStaleCopy, false},
      {"same, folder in the copy's place", Document(plain), Document(plain), cFolderInTheWay, true},
  };
#ifndef _WIN32
  rows.insert(rows.end(), {{"first text, link out in the copy's place", Document({"a", "x"}), Document({"b", "x"}),
                            cLinkOut, false},
                           {"same, link out in the copy's place", Document(plain), Document(plain), cLinkOut, false},
                           {"same, dangling link in the copy's place", Document(plain), Document(plain),
                            cDanglingLink, true}});
#endif
  // Last, so the writer stops right after it.
  rows.push_back({"same", Document(plain), Document(plain), cUsual, true});
  std::string expectedErr;
  std::vector<uint64_t> volumes(rows.size()), files(rows.size());
  // A privileged user may write a read-only file: it is compared then.
  bool readOnlyWritable = false;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    // One byte in flight: the run's thread waits for the writer at every
    // hand-over.
    cCommitQueue queue(3, 4, 1);
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::string data = dir / ("f" + std::to_string(i) + ".xml");
      test::WriteFile(data, rows[i].mData);
      if (rows[i].mSetting == cReadOnly) {
        fs::permissions(data, fs::perms::owner_read);
        readOnlyWritable = FxPlatformAccessReadWrite(test::Utf16(data).c_str()).IsOk();
      }
      if (rows[i].mSetting == cStaleCopy) test::WriteFile(data + ".temp", "stale");
      const std::string target = outside / std::to_string(i);
      if (rows[i].mSetting == cLinkOut) test::WriteFile(target, "outside");
      if (rows[i].mSetting == cLinkOut || rows[i].mSetting == cDanglingLink) fs::create_symlink(target, data + ".temp");
      if (rows[i].mSetting == cFolderInTheWay) {
        fs::create_directories(data + ".temp/x");
        expectedErr += "glossmill: could not write '" + data + "': " + kFolderInTheWay + "\n";
      }
      ASSERT_TRUE(IdentityOf(data, volumes[i], files[i]));
      queue.PrintProgressLine(static_cast<int>(i) + 1, 99, cFxWString(data.c_str()));
      cChangingVisitor visitor(data + ".temp");
      queue.RewriteDataFile(cFxWString(data.c_str()), visitor);
    }
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expectedErr);
  // What the links led to is as it was: "outside", or nothing.
  test::tFiles outsideExpected;
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].mSetting == cLinkOut) outsideExpected[std::to_string(i)] = "outside";
  EXPECT_EQ(test::FilesBelow(outside.Path()), outsideExpected);
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].mName);
    const std::string data = dir / ("f" + std::to_string(i) + ".xml");
    EXPECT_EQ(test::ReadFile(data), rows[i].mCopy);
    EXPECT_EQ(fs::exists(fs::symlink_status(data + ".temp")), rows[i].mSetting == cFolderInTheWay);
    uint64_t volume = 0, file = 0;
    ASSERT_TRUE(IdentityOf(data, volume, file));
    const bool compared = rows[i].mSetting != cReadOnly || readOnlyWritable;
    const bool kept = rows[i].mSetting == cFolderInTheWay || (compared && rows[i].mKept);
    if (kCopiesCompared || !kept || rows[i].mSetting == cFolderInTheWay) {
      EXPECT_EQ(volume == volumes[i] && file == files[i], kept);
    }
  }
}

}  // namespace
