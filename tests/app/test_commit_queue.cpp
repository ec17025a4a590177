// The write-back of the source runs on threads of its own: copies are made,
// put on the disk in batches and put in place there, yet every file is
// finished, complained about and announced in the run's order, failures
// keep their reasons, and a file read ahead or read again, under any name,
// is read with its new contents; a fatal error finishes what was queued
// before any hook set earlier runs.

#include "ContentTree.h"
#include "Core/platform/FxPlatform.h"
#include "app/CommitQueue.h"
#include "support/CopyVisitor.h"

namespace {

using namespace test;

// A copy that changes only the texts it knows: "a" to one as long, "aa" to
// one a byte shorter, "z" to one a byte longer; with `mark` every other
// text gets a "+", so a data file that was replaced shows it.
class cChangingVisitor : public cCopyVisitor {
 public:
  cChangingVisitor(const std::string& output, bool mark) : cCopyVisitor(output), mMark(mark) {}
  void Text(const cXmlText& text) override {
    const cFxWString& string = text.String();
    if (string == u"a") return PassText(cFxWString(u"b"));
    if (string == u"aa") return PassText(cFxWString(u"a"));
    if (string == u"z") return PassText(cFxWString(u"zz"));
    if (!mMark || text.IsEmpty()) return PassText(text);
    PassText(string + u"+");
  }

 private:
  bool mMark;
};

// A data file with the texts `texts`, as a copy writes it when `tail` is
// the line break after the root.
std::string Document(const std::vector<std::string>& texts, const std::string& tail = "\r\n") {
  std::string body;
  for (const std::string& text : texts) body += "\r\n\t<t>" + text + "</t>";
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>" + body + "\r\n</r>" + tail;
}

// File `i`'s contents, its text marked as the marking copy marks it or not.
// Every eighth file is several times the copy's buffers long.
std::string Contents(int i, const std::string& mark) {
  return Document(std::vector<std::string>(i % 8 == 5 ? 1 << 14 : 1, std::to_string(i) + mark));
}

// One file of a run through `queue`: its progress line, then its rewrite
// into its ".temp" sibling.
void Rewrite(cCommitQueue& queue, int position, const std::string& data, bool mark = true) {
  queue.PrintProgressLine(position, 99, cFxWString(data.c_str()));
  cChangingVisitor visitor(data + ".temp", mark);
  queue.RewriteDataFile(cFxWString(data.c_str()), visitor);
}
std::string ProgressLine(size_t position, const std::string& data) {
  return "File " + std::to_string(position) + " / 99 : " + data + "\n";
}

TEST(CommitQueue, FinishesComplainsAndAnnouncesInTheRunsOrder) {
  TempDir dir;
  enum eKind { cReplaced, cCannotCreate, cCannotReplace, cUnreadable };
  // More files than the queue holds, in batches that do not divide it,
  // failures among them; one byte in flight keeps the run's thread waiting
  // for the writer, which is always behind. A ".bin" is replaced through its
  // XML twin: a folder in the twin's place stops the replacement.
  std::vector<eKind> kinds;
  for (int i = 0; i < 26; ++i)
    kinds.push_back(i % 7 == 3 ? cCannotCreate : i % 5 == 4 ? cCannotReplace : i % 11 == 10 ? cUnreadable : cReplaced);
  const auto data = [&](size_t i) { return dir / ("f" + std::to_string(i) + (kinds[i] == cCannotReplace ? ".bin" : ".xml")); };
  std::string expectedOut, expectedErr;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    cCommitQueue queue(3, 4, 1);
    for (size_t i = 0; i < kinds.size(); ++i) {
      if (kinds[i] != cUnreadable) WriteFile(data(i), Contents(static_cast<int>(i), ""));
      if (kinds[i] == cCannotCreate) fs::create_directories(data(i) + ".temp/x");
      if (kinds[i] == cCannotReplace) fs::create_directories(dir / ("f" + std::to_string(i) + ".xml/x"));
      if (kinds[i] == cCannotReplace) WriteFile(dir / ("f" + std::to_string(i) + ".xml.temp"), "stale");
      Rewrite(queue, static_cast<int>(i) + 1, data(i));
      expectedOut += ProgressLine(i + 1, data(i));
      const char* what = kinds[i] == cCannotCreate ? "write" : kinds[i] == cCannotReplace ? "replace" : nullptr;
      if (what) expectedErr += std::string("glossmill: could not ") + what + " '" + data(i) + "': " + kFolderInTheWay + "\n";
    }
  }  // the queue's end finishes the rest
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expectedErr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOut);
  for (size_t i = 0; i < kinds.size(); ++i) {
    SCOPED_TRACE(i);
    const int n = static_cast<int>(i);
    EXPECT_EQ(ReadFile(data(i)), kinds[i] == cReplaced ? Contents(n, "+") : kinds[i] == cUnreadable ? "" : Contents(n, ""));
    // A copy that could not take its place stays beside the data file, in
    // full; any other is gone.
    EXPECT_EQ(ReadFile(data(i) + ".temp"), kinds[i] == cCannotReplace ? Contents(n, "+") : "");
    EXPECT_EQ(fs::exists(data(i) + ".temp"), kinds[i] == cCannotReplace || kinds[i] == cCannotCreate);
  }
}

// Each run names files by number, a name again as "+" (another name of it)
// or as "-" (a third); -1 is a file that does not exist. File 5 is several
// hand-overs long. The files read ahead begin with the run's first file,
// or, as in the source update, which takes its first file itself, with the
// second; a file read again while its copy is still queued, its batch not
// yet full, is read with that copy in place.
TEST(CommitQueue, AFileReadAheadOrNamedAgainIsReadWithEveryEarlierCopyInPlace) {
  std::vector<int> farApart = {0};
  for (int i = 1; i < 40; ++i) farApart.push_back(i);
  farApart.push_back(100);
  const std::pair<const char*, std::vector<int>> runs[] = {
      {"again at once", {0, 100, 1, 2}},   {"three names in a row", {0, 100, 200, 1}},
      {"interleaved", {0, 1, 100, 101, 2, 200, 3}}, {"a missing file between", {0, -1, 100, 1}},
      {"long file", {5, 105, 205}},        {"again beyond the files read ahead", farApart},
  };
  const uint32_t batch = kCommitQueue::cBatchFiles, queued = kCommitQueue::cMaxQueued;
  const size_t bytes = kCommitQueue::cMaxBytesInFlight;
  const std::tuple<uint32_t, uint32_t, size_t, size_t> settings[] = {
      {3, 4, 1, 0}, {3, 4, 1, 1}, {batch, queued, bytes, 0}, {batch, queued, bytes, 1}};
  for (const auto& [batchFiles, maxQueued, maxBytes, firstAhead] : settings) {
    for (const auto& run : runs) {
      const std::vector<int>& files = run.second;
      SCOPED_TRACE(std::string(run.first) + ", batches of " + std::to_string(batchFiles) + ", read ahead from file " +
                   std::to_string(firstAhead));
      TempDir dir;
      fs::create_directories(dir / "sub");
      const auto name = [&dir](int file) {
        const std::string plain = "f" + std::to_string(file % 100) + ".xml";
        return dir / (file < 0 ? "missing.xml" : file < 100 ? plain : file < 200 ? "sub/../" + plain : "./sub/./../" + plain);
      };
      std::vector<std::string> marks(40);
      for (int file : files) {
        if (file < 0) continue;
        WriteFile(dir / ("f" + std::to_string(file % 100) + ".xml"), Contents(file % 100, ""));
        marks[static_cast<size_t>(file % 100)] += "+";
      }
      std::string expectedOut;
      testing::internal::CaptureStdout();
      {
        cCommitQueue queue(batchFiles, maxQueued, maxBytes);
        size_t upcoming = firstAhead;
        queue.ReadAhead([&](cFxWString& path) {
          if (upcoming == files.size()) return false;
          path = cFxWString(name(files[upcoming++]).c_str());
          return true;
        });
        for (size_t i = 0; i < files.size(); ++i) {
          Rewrite(queue, static_cast<int>(i) + 1, name(files[i]));
          expectedOut += ProgressLine(i + 1, name(files[i]));
        }
      }
      EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOut);
      for (size_t file = 0; file < marks.size(); ++file) {
        if (marks[file].empty()) continue;
        const std::string data = dir / ("f" + std::to_string(file) + ".xml");
        EXPECT_TRUE(ReadFile(data) == Contents(static_cast<int>(file), marks[file]))
            << data << " is not " << marks[file];
        EXPECT_FALSE(fs::exists(data + ".temp")) << data;
      }
    }
  }
}

TEST(CommitTempFile, ReplacesOnlyAnExistingTargetByAnExistingCopyAndChangesNothingElse) {
  enum eTarget { cWritable, cReadOnly, cMissing, cFolder };
  // The temporary file is there, the target, whether it is replaced, and
  // whether the reason is the system's words for a missing file.
  const std::tuple<bool, eTarget, bool, bool> rows[] = {
      {true, cWritable, true, false}, {true, cReadOnly, true, false}, {false, cWritable, false, true},
      {false, cReadOnly, false, true}, {true, cMissing, false, true}, {false, cMissing, false, true},
      {true, cFolder, false, false},  {false, cFolder, false, true}};
  for (const auto& [copy, target, replaced, missingSaid] : rows) {
    SCOPED_TRACE(std::to_string(copy) + " " + std::to_string(target));
    TempDir dir;
    const std::string path = dir / "a.xml";
    if (copy) WriteFile(path + ".temp", "new");
    if (target == cWritable || target == cReadOnly) WriteFile(path, "old");
    if (target == cReadOnly) fs::permissions(path, fs::perms::owner_read);
    if (target == cFolder) fs::create_directories(path + "/x");
    const bool readOnlyWritable = FxPlatformAccessReadWrite(Utf16(path).c_str()).IsOk();
    std::string reason;
    EXPECT_EQ(CommitTempFile({Utf16(path + ".temp"), Utf16(path)}, reason), replaced);
    EXPECT_EQ(reason == "No such file or directory", missingSaid) << reason;
    EXPECT_EQ(fs::exists(path + ".temp"), copy && !replaced);
    if (target != cFolder && target != cMissing) {
      EXPECT_EQ(ReadFile(path), replaced ? "new" : "old");
    }
    // A replacement that cannot be made leaves a read-only data file so.
    if (target == cReadOnly && !replaced) {
      EXPECT_EQ(FxPlatformAccessReadWrite(Utf16(path).c_str()).IsOk(), readOnlyWritable);
    }
  }
}

// `count` texts "x" with `text` at `at` among them: long files, several
// hand-overs to the writer.
std::vector<std::string> Texts(size_t count, size_t at, const std::string& text) {
  std::vector<std::string> texts(count, "x");
  texts[at] = text;
  return texts;
}

bool IdentityOf(const std::string& path, uint64_t& volume, uint64_t& file) {
  return FxPlatformGetDirectoryIdentity(Utf16(path).c_str(), &volume, &file).IsOk();
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
// Whatever is unusual is done as for a changed copy.
TEST(CommitQueue, ACopyTheSameAsItsDataFileIsNeverMadeAndAnyOtherTakesItsPlace) {
  TempDir dir, outside;
  enum eSetting { cUsual, cReadOnly, cStaleCopy, cLinkOut, cDanglingLink };
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
      {"long data file goes on", Document(Texts(many, 0, "y"), "\r\n\r\n"), Document(Texts(many, 0, "y")), cUsual, false},
      {"same, read-only", Document(plain), Document(plain), cReadOnly, true},
      {"same, stale copy beside it", Document(plain), Document(plain), cStaleCopy, false},
  };
#ifndef _WIN32
  rows.insert(rows.end(),
              {{"first text, link out in the copy's place", Document({"a", "x"}), Document({"b", "x"}), cLinkOut, false},
               {"same, link out in the copy's place", Document(plain), Document(plain), cLinkOut, false},
               {"same, dangling link in the copy's place", Document(plain), Document(plain), cDanglingLink, true}});
#endif
  // Last, so the writer stops right after it.
  rows.push_back({"same", Document(plain), Document(plain), cUsual, true});
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
      const std::string data = dir / ("f" + std::to_string(i) + ".xml"), target = outside / std::to_string(i);
      WriteFile(data, rows[i].mData);
      if (rows[i].mSetting == cReadOnly) fs::permissions(data, fs::perms::owner_read);
      if (rows[i].mSetting == cReadOnly) readOnlyWritable = FxPlatformAccessReadWrite(Utf16(data).c_str()).IsOk();
      if (rows[i].mSetting == cStaleCopy) WriteFile(data + ".temp", "stale");
      if (rows[i].mSetting == cLinkOut) WriteFile(target, "outside");
      if (rows[i].mSetting == cLinkOut || rows[i].mSetting == cDanglingLink) fs::create_symlink(target, data + ".temp");
      ASSERT_TRUE(IdentityOf(data, volumes[i], files[i]));
      Rewrite(queue, static_cast<int>(i) + 1, data, false);
    }
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // What the links led to is as it was: "outside", or nothing.
  tFiles outsideExpected;
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].mSetting == cLinkOut) outsideExpected[std::to_string(i)] = "outside";
  EXPECT_EQ(FilesBelow(outside.Path()), outsideExpected);
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].mName);
    const std::string data = dir / ("f" + std::to_string(i) + ".xml");
    EXPECT_EQ(ReadFile(data), rows[i].mCopy);
    EXPECT_FALSE(fs::exists(fs::symlink_status(data + ".temp")));
    uint64_t volume = 0, file = 0;
    ASSERT_TRUE(IdentityOf(data, volume, file));
    const bool compared = rows[i].mSetting != cReadOnly || readOnlyWritable;
    const bool kept = compared && rows[i].mKept;
    if (kCopiesCompared || !kept) {
      EXPECT_EQ(volume == volumes[i] && file == files[i], kept);
    }
  }
}

}  // namespace
