// The fuzz targets' files in memory against real files: the same calls on
// a file on disk and on a memory file, opened the same way, give the same
// answers, error codes and messages, and leave the same bytes. A memory file
// that answered otherwise would send a target down a path no file on disk
// takes, and hide everything behind it from the fuzzer.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
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
  // A read's answer and the bytes it gave.
  void Read(cFxOsFile* file, char* bytes, int count) {
    const int got = file->Read(bytes, count);
    (*this)(got);
    Bytes(bytes, got);
  }
  const std::string& Text() const { return mText; }

 private:
  static void Clear() {
    FxSetErrorCode(0);
    FxSetErrorMessage("%s", "");
  }
  std::string mText;
};

// Opens the file at `name` through `layer` with `mode`, makes every call
// below on it and answers the transcript of their answers.
std::string Calls(cFxOsFileSystem& layer, const std::string& name, int mode) {
  cTranscript note;
  cFxOsFile* file = layer.Open(cFxString(name.c_str()), mode, 0);
  note(file != nullptr);
  if (file == nullptr) return note.Text();
  char bytes[8] = {'a', 'b', 'c', 'd'};
  int position = -1;
  note(file->Tell(position) ? position : -1);  // appending starts at the end
  for (int count : {4, 0, 8, 8}) note.Read(file, bytes, count);  // the third meets the end, the fourth reads nothing
  note(file->Seek(20));  // beyond the end
  note(file->Read(bytes, 4));
  note(file->Tell(position) ? position : -1);
  note(file->SeekRelative(-25));  // before the start: refused, the position kept
  note(file->Tell(position) ? position : -1);
  note(file->SeekFromEnd(-11));
  note(file->SeekFromEnd(-3));
  note(file->Read(bytes, 8));
  note.Bytes(bytes, 3);
  for (int count : {1, -1, 0}) note(file->Read(count ? nullptr : bytes, count));
  // Positions are 32-bit: one past them is reached but refused.
  note(file->Seek(INT_MAX));
  note(file->SeekRelative(1));
  note(file->Tell(position));
  // One overlapped read at a time, beside the position.
  note(file->Seek(1));
  note(file->WaitRead());  // nothing to wait for
  note(file->ReadAsync(6, bytes, 4));
  note(file->ReadAsync(0, bytes, 4));
  note(file->IsReadDone());
  note(file->WaitRead());
  note.Bytes(bytes, 4);
  note(file->WaitRead());
  note.Read(file, bytes, 2);
  note(file->ReadAsync(100, bytes, 4));  // at the end: started, nothing read
  note(file->ReadAsync(0, bytes, -1));
  note(file->WaitRead());
  // Writes where the position stands; a gap fills with zeros.
  note(file->Write("ab", 2));
  note(file->Seek(16) && file->Write("z", 1) == 1);
  note(file->SeekFromEnd(-4) && file->Write("XY", 2) == 2);
  note(file->Tell(position) ? position : -1);
  note(file->Seek(0));
  note.Read(file, bytes, 8);
  note(file->Write(bytes, 0));  // nothing to write never fails
  note(file->Write(nullptr, 1));
  note(file->ReadAsync(0, bytes, 2));
  note(file->Flush());
  note(file->Close());  // ends the pending read
  note(file->WaitRead());
  note(file->Close());  // a second close does nothing
  for (int count : {0, 1}) {
    note(file->Read(bytes, count));
    note(file->Write(bytes, count));
  }
  note(file->Flush());
  note(file->Seek(0));
  note(file->ReadAsync(0, bytes, 1));
  delete file;
  return note.Text();
}

TEST(MemoryFile, AnswersAndLeavesTheBytesAsAFileOnDisk) {
  ASSERT_TRUE(FxFilePoolStart());
  test::TempDir dir;
  cFxOsFileSystem disk;
  const std::string path = dir / "file";
  const int onlyNew = cWrite | cCreate | cOnlyNew, truncate = cWrite | cReplace;
  for (int mode : {cModeRead, cModeRead | cOverlapped, cWrite, cModeReplace, cModeAppend, onlyNew, truncate,
                   cRead | cWrite, cRead | cWrite | cAppend}) {
    for (const char* before : {"0123456789", static_cast<const char*>(nullptr)}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + (before ? ", file there" : ", no file"));
      std::remove(path.c_str());
      if (before != nullptr) test::WriteFile(path, before);
      const std::string onDisk = Calls(disk, test::InternalPath(path), mode);
      fuzz::cOneFileSystem memory;
      if (before != nullptr) {
        delete memory.Open(cFxString("file"), cModeReplace, 0);
        memory.mBytes = before;
      }
      const std::string inMemory = Calls(memory, "file", mode);
      EXPECT_EQ(onDisk, inMemory);
      const bool exists = before != nullptr || inMemory.compare(0, 2, "1/") == 0;
      EXPECT_EQ(test::FileExists(path) ? test::ReadFile(path) : "(none)", exists ? memory.mBytes : "(none)");
    }
  }
  FxFilePoolStop();
}

}  // namespace
