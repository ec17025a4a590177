// The write-back of the source runs on threads of its own: copies are made,
// put on the disk in batches and put in place there, yet every file is
// finished, complained about and announced in the run's order, failures
// keep their reasons, and a file read again is read with its new contents.
// (A fatal error finishing what was queued is a run's test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
