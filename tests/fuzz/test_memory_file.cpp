// The fuzz targets' files in memory against real files: the same calls on
// a file on disk and on a memory file, opened the same way, give the same
// answers, error codes and messages, and leave the same bytes. A memory file
// that answered otherwise would send a target down a path no file on disk
// takes, and hide everything behind it from the fuzzer.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>

#include "API/core/FxError.h"
#include "API/core/cFxOsFileSystem.h"
#include "fuzz/FuzzSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace kFxFileMode;

// Every answer of a run of calls, each with the error code and message it
// left (both cleared after each).
class cTranscript {
 public:
  cTranscript() { Clear(); }
  template <class tAnswer>
  void operator()(tAnswer answer) {
    char code[16];
    std::snprintf(code, sizeof code, "%X", FxGetErrorCode());
    mText += std::to_string(answer) + "/" + code + "/" + FxGetErrorMessage() + "; ";
    Clear();
  }
  void Bytes(const char* bytes, int count) { mText += "[" + std::string(bytes, count > 0 ? count : 0) + "] "; }
  const std::string& Text() const { return mText; }

 private:
  static void Clear() {
    FxSetErrorCode(0);
    FxSetErrorMessage("%s", "");
  }
  std::string mText;
};

typedef std::function<void(cFxOsFile&, cTranscript&)> tCalls;

class MemoryFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FxFilePoolStart()); }
  void TearDown() override { FxFilePoolStop(); }

  // Opens a file holding `before` (none when null) on disk and in memory
  // with `mode`, makes the same calls on each and expects the same
  // transcript and the same bytes after.
  void ExpectSame(const char* before, int mode, const tCalls& calls) {
    cTranscript onDisk, inMemory;
    const std::string path = mDir / "file";
    std::remove(path.c_str());
    if (before != nullptr) test::WriteFile(path, before);
    cFxOsFile* disk = mLayer.Open(cFxString(test::InternalPath(path).c_str()), mode, 0);
    onDisk(disk != nullptr);
    if (disk != nullptr) calls(*disk, onDisk);
    delete disk;

    fuzz::cOneFileSystem memory;
    if (before != nullptr) {
      delete memory.Open(cFxString("file"), cModeReplace, 0);
      memory.mBytes = before;
    }
    cFxOsFile* file = memory.Open(cFxString("file"), mode, 0);
    const bool exists = before != nullptr || file != nullptr;
    inMemory(file != nullptr);
    if (file != nullptr) calls(*file, inMemory);
    delete file;

    EXPECT_EQ(onDisk.Text(), inMemory.Text()) << "mode " << mode;
    EXPECT_EQ(test::FileExists(path) ? test::ReadFile(path) : "(none)", exists ? memory.mBytes : "(none)")
        << "mode " << mode;
  }

  test::TempDir mDir;
  cFxOsFileSystem mLayer;
};

TEST_F(MemoryFile, ReadsAndMovesAsAFileOnDisk) {
  ExpectSame("0123456789", cModeRead, [](cFxOsFile& file, cTranscript& note) {
    char bytes[8];
    int position = -1;
    for (int count : {4, 0, 8, 8}) {  // the third read meets the end, the fourth reads nothing
      const int got = file.Read(bytes, count);
      note(got);
      note.Bytes(bytes, got);
    }
    note(file.Seek(20));  // beyond the end
    note(file.Read(bytes, 4));
    note(file.Tell(position) ? position : -1);
    note(file.SeekRelative(-25));  // before the start: refused, the position kept
    note(file.Tell(position) ? position : -1);
    note(file.SeekFromEnd(-3));
    note(file.SeekFromEnd(-11));
    note(file.Read(bytes, 8));
    note.Bytes(bytes, 3);
    note(file.Read(nullptr, 1));
    note(file.Read(bytes, -1));
    note(file.Read(nullptr, 0));
    // Positions are 32-bit: one past them is reached but refused.
    note(file.Seek(INT_MAX));
    note(file.SeekRelative(1));
    note(file.Tell(position));
    note(file.Seek(1) && file.Tell(position) ? position : -1);
  });
}

TEST_F(MemoryFile, RefusesWhatItsModeDoesNotAllow) {
  const tCalls misuse = [](cFxOsFile& file, cTranscript& note) {
    char bytes[4] = {'a', 'b', 'c', 'd'};
    note(file.Read(bytes, 2));
    note(file.Read(bytes, 0));
    note(file.Write(bytes, 2));
    note(file.Write(bytes, 0));  // nothing to write never fails
    note(file.Write(nullptr, 1));
    note(file.ReadAsync(0, bytes, 2));
    note(file.IsReadDone());  // a read that could not start is not pending
    note(file.Flush());
    note(file.Close());
    note(file.Close());  // a second close does nothing
    for (int count : {0, 1}) {
      note(file.Read(bytes, count));
      note(file.Write(bytes, count));
    }
    note(file.Flush());
    note(file.Seek(0));
    note(file.ReadAsync(0, bytes, 1));
  };
  ExpectSame("old", cModeRead, misuse);
  ExpectSame("old", cWrite, misuse);
}

TEST_F(MemoryFile, OneOverlappedReadAtATimeBesideThePosition) {
  ExpectSame("0123456789", cModeRead | cOverlapped, [](cFxOsFile& file, cTranscript& note) {
    char bytes[4] = {};
    note(file.WaitRead());  // nothing to wait for
    note(file.IsReadDone());
    note(file.ReadAsync(6, bytes, 4));
    note(file.ReadAsync(0, bytes, 4));  // one pending at a time
    note(file.IsReadDone());
    note(file.WaitRead());
    note.Bytes(bytes, 4);
    note(file.WaitRead());
    note(file.Read(bytes, 2));  // the position did not move
    note.Bytes(bytes, 2);
    note(file.ReadAsync(100, bytes, 4));  // at the end: started, nothing read
    note(file.ReadAsync(0, bytes, -1));
    note(file.Close());  // closing ends the pending read
    note(file.WaitRead());
  });
}

TEST_F(MemoryFile, WritesWhereThePositionStandsAsModesSay) {
  const tCalls writes = [](cFxOsFile& file, cTranscript& note) {
    char bytes[8];
    int position = -1;
    note(file.Tell(position) ? position : -1);  // appending starts at the end
    note(file.Write("ab", 2));
    note(file.Seek(6) && file.Write("z", 1) == 1);  // the gap fills with zeros
    note(file.SeekFromEnd(-4) && file.Write("XY", 2) == 2);
    note(file.Tell(position) ? position : -1);
    note(file.Seek(0));
    const int got = file.Read(bytes, 8);  // only where the mode reads
    note(got);
    note.Bytes(bytes, got);
  };
  const int onlyNew = cWrite | cCreate | cOnlyNew, truncate = cWrite | cReplace;
  for (int mode : {cModeReplace, cModeAppend, onlyNew, truncate, cRead | cWrite, cRead | cWrite | cAppend}) {
    ExpectSame("old", mode, writes);
    ExpectSame(nullptr, mode, writes);
  }
}

}  // namespace
