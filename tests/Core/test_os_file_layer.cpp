// The OS file layer on real files in a temporary directory: open modes,
// attributes, directory searches, the emulated overlapped read, the pool of
// open files and the mount table.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "Core/cFxOsFileSystem.h"
#include "Core/platform/FxPlatform.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

#ifndef _WIN32
auto OpenDescriptorCount() { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); }
#endif

class OsFileLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FxFilePoolStart());
    FxSetErrorCode(0);
  }
  void TearDown() override { FxFilePoolStop(); }

  cFxString Path(const std::string& name) const { return cFxString(test::InternalPath(mDir / name).c_str()); }
  cFxOsFile* Open(const std::string& name, int mode = kFxFileMode::cModeRead) {
    return mLayer.Open(Path(name), mode, 0);
  }
  // The error code a call recorded, cleared for the next.
  uint32_t Code() {
    const uint32_t code = FxGetErrorCode();
    FxSetErrorCode(0);
    return code;
  }
  // 0 for a call that went through, else the error code it recorded.
  uint32_t Refused(bool done) { return done ? 0u : Code(); }

  test::TempDir mDir;
  cFxOsFileSystem mLayer;
};

TEST_F(OsFileLayer, ModeBitsAndPathsDecideWhetherAndHowAFileOpens) {
  using namespace kFxFileMode;
  WriteFile(mDir / "plain", "x");
  fs::create_directory(mDir.Path() / "sub");
  const int onlyNew = cWrite | cCreate | cOnlyNew, truncate = cWrite | cReplace;
  // mExists: the file holds "old" before; mFailure 0: the open succeeds; mAfter null: absent.
  const struct { const char* mName; int mMode; bool mExists; uint32_t mFailure; const char* mAfter; } cases[] = {
      {"r1", cModeRead, true, 0, "old"},            {"r2", cModeRead, false, kFxError::cFileNotFound, nullptr},
      {"p1", cModeReplace, true, 0, ""},            {"p2", cModeReplace, false, 0, ""},
      {"n1", onlyNew, true, kFxError::cFileOther, "old"}, {"n2", onlyNew, false, 0, ""},
      {"t1", truncate, true, 0, ""},                {"t2", truncate, false, kFxError::cFileNotFound, nullptr},
      {"a1", cModeAppend, true, 0, "old"},          {"a2", cModeAppend, false, 0, ""},
      {"no/such/dir.xml", cModeReplace, false, kFxError::cFileNotFound, nullptr},
      {"plain/a.xml", cModeRead, false, kFxError::cFileNotFound, nullptr},  // a file used as a directory
      {"sub", cModeRead, false, kFxError::cFileAccess, nullptr},
  };
  for (const auto& c : cases) {
    if (c.mExists) WriteFile(mDir / c.mName, "old");
    cFxOsFile* file = Open(c.mName, c.mMode);
    EXPECT_EQ(c.mFailure, Code()) << c.mName;
    EXPECT_EQ(c.mFailure == 0, file != nullptr) << c.mName;
    const bool writes = file != nullptr && (c.mMode & cWrite);
    if (writes) { EXPECT_EQ(1, file->Write("+", 1)) << c.mName; }
    delete file;
    if (c.mAfter == nullptr) continue;
    EXPECT_EQ(std::string(c.mAfter) + (writes ? "+" : ""), ReadFile(mDir / c.mName)) << c.mName;  // "+" at the end
  }
  EXPECT_EQ(0u, FxFilePoolInUse());
}

// Each backend moves the file position its own way (lseek, SetFilePointer):
// the only check of them that runs on Windows too.
TEST_F(OsFileLayer, PositionsAndMisuse) {
  WriteFile(mDir / "a.bin", "0123456789");
  cFxOsFile* file = Open("a.bin");
  char bytes[4] = {};
  int position = -1;
  EXPECT_EQ(-1, file->Write("x", 1));  // opened for reading only
  ASSERT_TRUE(file->Seek(2));
  ASSERT_TRUE(file->SeekRelative(3));
  ASSERT_TRUE(file->Tell(position));
  EXPECT_EQ(5, position);
  ASSERT_TRUE(file->SeekFromEnd(-2));
  EXPECT_EQ(2, file->Read(bytes, 4));
  EXPECT_EQ("89", std::string(bytes, 2));
  EXPECT_EQ(0, file->Read(bytes, 1));
  EXPECT_EQ(kFxError::cFileOther, Refused(file->Seek(-1)));
  EXPECT_TRUE(file->Close());
  EXPECT_TRUE(file->Close());  // a second close does nothing
  delete file;
}

TEST_F(OsFileLayer, The257thOpenFileFailsAndItsHandleIsClosed) {
  // Files are opened without sharing: each entry gets a file of its own.
  cFxOsFile* files[kFxFilePool::cEntries];
  for (size_t i = 0; i < kFxFilePool::cEntries; ++i) {
    WriteFile(mDir / (std::to_string(i) + ".xml"), "x");
    ASSERT_NE(nullptr, files[i] = Open(std::to_string(i) + ".xml"));
  }
  WriteFile(mDir / "a.xml", "x");
#ifndef _WIN32
  const size_t descriptors = OpenDescriptorCount();
#endif
  EXPECT_EQ(kFxError::cFileTooMany, Refused(Open("a.xml") != nullptr));
#ifndef _WIN32
  EXPECT_EQ(descriptors, OpenDescriptorCount());
#endif
  delete files[7];  // an entry given back is taken again
  // On Windows a handle left open would keep the unshared file from opening.
  EXPECT_NE(nullptr, files[7] = Open("a.xml"));
  for (cFxOsFile* file : files) delete file;
  EXPECT_EQ(0u, FxFilePoolInUse());
  cFxOsFile* held = Open("a.xml");
  ASSERT_TRUE(FxFilePoolStart());
  EXPECT_EQ(0u, FxFilePoolInUse());  // every start begins with all entries free
  delete held;
  FxFilePoolStop();  // without its mutex the pool opens nothing
  EXPECT_EQ(kFxError::cFileOther, Refused(Open("a.xml") != nullptr));
}

TEST_F(OsFileLayer, InfoFlagsAndSearchesByPattern) {
  cFxOsFile* file = mLayer.Open(Path("a.xml"), kFxFileMode::cModeReplace, kFxFileAttribute::cReadOnly);
  EXPECT_EQ(3, file->Write("abc", 3));  // the handle itself may write
  delete file;
  WriteFile(mDir / "bb.xml", "abcde");
  WriteFile(mDir / "README", "x");
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly, info.mFlags);
  EXPECT_EQ(3u, info.mSize);
  info.mFlags = 0;
  ASSERT_TRUE(mLayer.SetInfo(Path("a.xml"), info));
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(0u, info.mFlags);
  EXPECT_TRUE(mLayer.CreateDirectory(Path("dd.xml"), info));
  EXPECT_FALSE(mLayer.CreateDirectory(Path("dd.xml"), info));
  EXPECT_EQ(kFxError::cFileNotFound, Refused(mLayer.GetInfo(Path("missing"), info)));
  // The sizes of the files found for a pattern, -1 for each directory.
  auto find = [this](const char* pattern) {
    std::multiset<int> found;
    sFxFileInfo entry;
    cFxOsSearch* search = mLayer.FindFirst(Path(pattern), entry);
    for (bool more = search != nullptr; more; more = search->FindNext(entry))
      found.insert((entry.mFlags & kFxFileInfo::cDirectory) ? -1 : static_cast<int>(entry.mSize));
    EXPECT_EQ(found.empty() ? kFxError::cFileNotFound : kFxError::cFileNoMore, Code()) << pattern;
    delete search;
    return found;
  };
  EXPECT_EQ((std::multiset<int>{-1, 3, 5}), find("*.xml"));
  EXPECT_EQ((std::multiset<int>{3}), find("?.xml"));
  // "*.*" matches names without a dot too, "." and ".." among them.
  EXPECT_EQ((std::multiset<int>{-1, -1, -1, 1, 3, 5}), find("*.*"));
  EXPECT_EQ(std::multiset<int>{}, find("*.bin"));
  EXPECT_EQ(std::multiset<int>{}, find("nodir/*"));
#ifndef _WIN32
  // A POSIX name is matched as its bytes on disk, UTF-8 or not.
  WriteFile(mDir / "St\xC3\xA4" "dte.dat", "1234567");
  WriteFile(mDir / "\xFF\xFE.dat", "12");
  EXPECT_EQ(std::multiset<int>{7}, find("St\xC3\xA4*.dat"));
  EXPECT_EQ(std::multiset<int>{2}, find("?\xFE.dat"));
#endif
  EXPECT_EQ(0u, Refused(mLayer.Delete(Path("a.xml"))));
  EXPECT_EQ(kFxError::cFileNotFound, Refused(mLayer.Delete(Path("a.xml"))));
}

// The overlapped read's rules on one file: the memory file's test
// (tests/fuzz) compares them with a file on disk.
TEST_F(OsFileLayer, OneOverlappedReadAtATimeForTheWholeProcess) {
  WriteFile(mDir / "a.bin", "0123456789");
  WriteFile(mDir / "b.bin", "abcdefghij");
  cFxOsFile* a = Open("a.bin", kFxFileMode::cRead | kFxFileMode::cOverlapped);
  cFxOsFile* b = Open("b.bin", kFxFileMode::cRead | kFxFileMode::cOverlapped);
  char bytes[4] = {};
  ASSERT_TRUE(a->ReadAsync(6, bytes, 4));
  EXPECT_EQ(kFxError::cFileReadPending, Refused(b->ReadAsync(0, bytes, 4)));
  EXPECT_EQ(0u, Refused(a->WaitRead()));
  EXPECT_EQ("6789", std::string(bytes, 4));
  ASSERT_TRUE(b->ReadAsync(100, bytes, 4));
  delete b;  // closing a file ends its pending read
  EXPECT_TRUE(a->ReadAsync(0, bytes, 2));
  delete a;
}

TEST(OsFileLayerNames, NativePathOfTheInternalForm) {
  const struct { const char* mGiven; const char* mNative; } cases[] = {
#ifdef _WIN32
      {"@os:c/data/file.xml", "c:\\data\\file.xml"}, {"c/data/file.xml", "c:\\data\\file.xml"},
      {"@os:d", "d:\\"}, {"@os:\\\\server/share/a.xml", "\\\\server\\share\\a.xml"},
#else
      {"@os:/data/file.xml", "/data/file.xml"}, {"/data/file.xml", "/data/file.xml"}, {"@os:/", "/"},
#endif
  };
  cFxOsFileSystem layer;
  for (const auto& c : cases) EXPECT_STREQ(c.mNative, layer.GetNativePath(cFxString(c.mGiven)).c_str()) << c.mGiven;
}

TEST(MountTable, NamesAreUniqueExactAndFreeOfSeparators) {
  cFxOsFileSystem first, second;
  ASSERT_TRUE(FxMount(first, cFxString("test-a"), 1, cFxString("@test-a:"), 2));
  for (const char* name : {"", "a:b", "a/b", "test-a"}) {  // even the entry itself cannot take "test-a" twice
    for (cFxOsFileSystem* entry : {&second, &first}) {
      FxSetErrorCode(0);
      EXPECT_FALSE(FxMount(*entry, cFxString(name), 0, cFxString("@x:"), 0)) << name;
      EXPECT_EQ(kFxError::cFileMount, FxGetErrorCode()) << name;
    }
  }
  EXPECT_EQ(&first, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(nullptr, FxFindMount(cFxString("TEST-A")));
  ASSERT_TRUE(FxMount(second, cFxString("test-b"), 0, cFxString(), 0));
  ASSERT_TRUE(FxMount(second, cFxString("test-c"), 0, cFxString(), 0));  // moves to the new name
  FxUnmount(first);
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-b")));
  EXPECT_EQ(&second, FxFindMount(cFxString("test-c")));
  FxUnmount(second);
}

}  // namespace
