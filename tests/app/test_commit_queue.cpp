// The overlapped write-back of the source runs: copies are put on the disk
// in batches by a thread of its own, yet every file is finished, complained
// about and announced in the run's order, and a file read again is read
// with its new contents. (A fatal error finishing what was queued is a
// run's test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommitQueue.h"
#include "support/CopyVisitor.h"
#include "support/TestSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"

namespace {

namespace fs = std::filesystem;

using test::cCopyVisitor;

std::string NewContents(int i) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>" + std::to_string(i) + "</r>\r\n";
}

// One file of a run through `queue`: its line, the check before reading,
// the copy of `input` into the data file's ".temp" sibling, the hand-over.
void Rewrite(cCommitQueue& queue, int position, const std::string& input, const std::string& data) {
  const cFxWString dataPath(data.c_str());
  queue.PrintProgressLine(position, 99, dataPath);
  queue.BeforeReading(dataPath);
  cFxFile stream;
  ASSERT_TRUE(stream.Open(cFxPath(input.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
  cXmlParser parser;
  parser.Open(stream);
  cCopyVisitor visitor(data + ".temp");
  ASSERT_TRUE(WalkDocument(parser, visitor));
  stream.Close();
  queue.Finish(visitor, dataPath);
}

using test::kFolderInTheWay;

TEST(CommitQueue, FinishesComplainsAndAnnouncesInTheRunsOrder) {
  test::TempDir dir;
  enum eKind { cReplaced, cCannotWrite, cCannotReplace };
  // More files than the queue holds, in batches that do not divide it,
  // failures among them.
  std::vector<eKind> kinds;
  for (int i = 0; i < 24; ++i)
    kinds.push_back(i % 7 == 3 ? cCannotWrite : i % 5 == 4 ? cCannotReplace : cReplaced);
  std::string expectedOut;
  std::string expectedErr;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    cCommitQueue queue(3, 4);
    for (size_t i = 0; i < kinds.size(); ++i) {
      const std::string data = dir / ("f" + std::to_string(i) + ".xml");
      const std::string input = dir / ("in" + std::to_string(i) + ".xml");
      test::WriteFile(input, NewContents(static_cast<int>(i)));
      test::WriteFile(data, "old");
      if (kinds[i] == cCannotWrite) fs::create_directories(data + ".temp/x");
      if (kinds[i] == cCannotReplace) {
        fs::remove(data);
        fs::create_directories(data + "/x");
      }
      Rewrite(queue, static_cast<int>(i) + 1, input, data);
      expectedOut += "File " + std::to_string(i + 1) + " / 99 : " + data + "\n";
      const std::string reason = std::string("': ") + kFolderInTheWay + "\n";
      if (kinds[i] == cCannotWrite) expectedErr += "glossmill: could not write '" + data + reason;
      if (kinds[i] == cCannotReplace) expectedErr += "glossmill: could not replace '" + data + reason;
    }
  }  // the queue's end finishes the rest
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expectedErr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOut);
  for (size_t i = 0; i < kinds.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string data = dir / ("f" + std::to_string(i) + ".xml");
    if (kinds[i] != cCannotReplace) {
      EXPECT_EQ(test::ReadFile(data), kinds[i] == cReplaced ? NewContents(static_cast<int>(i)) : "old");
    }
    // A copy that could not take its place stays beside the data file.
    EXPECT_EQ(test::ReadFile(data + ".temp"), kinds[i] == cCannotReplace ? NewContents(static_cast<int>(i)) : "");
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
    const std::string input = dir / ("in" + std::to_string(i) + ".xml");
    test::WriteFile(input, NewContents(i));
    test::WriteFile(dir / ("f" + std::to_string(i) + ".xml"), "old");
    Rewrite(queue, i + 1, input, dir / ("f" + std::to_string(i) + ".xml"));
  }
  queue.BeforeReading(cFxWString((dir / "sub/../f15.xml").c_str()));
  EXPECT_EQ(test::ReadFile(dir / "f15.xml"), NewContents(15));
  EXPECT_FALSE(fs::exists(dir / "f15.xml.temp"));
  queue.FinishAll();
  testing::internal::GetCapturedStdout();
}

}  // namespace
