// The OS file layer on real files in a temporary directory: open modes,
// attributes, directory searches, the emulated overlapped read, the pool of
// open files and the mount table.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "API/core/FxError.h"
#include "Core/cFxOsFileSystem.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

#ifndef _WIN32
size_t OpenDescriptorCount() {
  size_t count = 0;
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++count;
  return count;
}
#endif

class OsFileLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FxFilePoolStart());
    FxSetErrorCode(0);
  }
  void TearDown() override { FxFilePoolStop(); }

  cFxString Path(const std::string& name) const { return cFxString(test::InternalPath(mDir / name).c_str()); }
  cFxOsFile* OpenOk(const std::string& name, int mode, int attributes = 0) {
    cFxOsFile* file = mLayer.Open(Path(name), mode, attributes);
    EXPECT_NE(nullptr, file) << name;
    return file;
  }
  template <typename T>
  void ExpectFailure(T result, uint32_t code, const char* what) {
    EXPECT_FALSE(result) << what;
    EXPECT_EQ(code, FxGetErrorCode()) << what;
    FxSetErrorCode(0);
  }

  test::TempDir mDir;
  cFxOsFileSystem mLayer;
};

TEST_F(OsFileLayer, ModeBitsDecideCreationAndTruncation) {
  using namespace kFxFileMode;
  const int onlyNew = cWrite | cCreate | cOnlyNew;
  const int truncate = cWrite | cReplace;
  // mExists: the file holds "old" before; mFailure 0: the open succeeds; mAfter null: absent.
  const struct { int mMode; bool mExists; uint32_t mFailure; const char* mAfter; } cases[] = {
      {cModeRead, true, 0, "old"},           {cModeRead, false, kFxError::cFileNotFound, nullptr},
      {cModeReplace, true, 0, ""},           {cModeReplace, false, 0, ""},
      {onlyNew, true, kFxError::cFileOther, "old"}, {onlyNew, false, 0, ""},
      {truncate, true, 0, ""},               {truncate, false, kFxError::cFileNotFound, nullptr},
      {cModeAppend, true, 0, "old"},         {cModeAppend, false, 0, ""},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::string name = "f" + std::to_string(index++);
    if (c.mExists) WriteFile(mDir / name, "old");
    FxSetErrorCode(0);
    cFxOsFile* file = mLayer.Open(Path(name), c.mMode, 0);
    EXPECT_EQ(c.mFailure == 0, file != nullptr) << name;
    EXPECT_EQ(c.mFailure, FxGetErrorCode()) << name;
    const bool writes = file != nullptr && (c.mMode & cWrite);
    if (writes) {
      EXPECT_EQ(1, file->Write("+", 1)) << name;  // lands at the end on append
    }
    delete file;
    EXPECT_EQ(c.mAfter != nullptr, test::FileExists(mDir / name)) << name;
    if (c.mAfter != nullptr) {
      EXPECT_EQ(std::string(c.mAfter) + (writes ? "+" : ""), ReadFile(mDir / name)) << name;
    }
  }
}

TEST_F(OsFileLayer, PathsThatLeadNowhereAreNotFound) {
  WriteFile(mDir / "plain", "x");
  fs::create_directory(mDir.Path() / "sub");
  ExpectFailure(mLayer.Open(Path("no/such/dir.xml"), kFxFileMode::cModeReplace, 0),
                kFxError::cFileNotFound, "missing directory");
  ExpectFailure(mLayer.Open(Path("plain/a.xml"), kFxFileMode::cModeRead, 0), kFxError::cFileNotFound,
                "a file used as a directory");
  ExpectFailure(mLayer.Open(Path("sub"), kFxFileMode::cModeRead, 0), kFxError::cFileAccess, "directory");
  EXPECT_EQ(0u, FxFilePoolInUse());
}

TEST_F(OsFileLayer, PositionsAndMisuse) {
  WriteFile(mDir / "a.bin", "0123456789");
  cFxOsFile* file = OpenOk("a.bin", kFxFileMode::cModeRead);
  char bytes[4] = {};
  int position = -1;
  EXPECT_EQ(-1, file->Write("x", 1));  // opened for reading only
  EXPECT_TRUE(file->Seek(2) && file->SeekRelative(3) && file->Tell(position));
  EXPECT_EQ(5, position);
  EXPECT_TRUE(file->SeekFromEnd(-2));
  EXPECT_EQ(2, file->Read(bytes, 4));
  EXPECT_EQ("89", std::string(bytes, 2));
  EXPECT_EQ(0, file->Read(bytes, 1));
  ExpectFailure(file->Seek(-1), kFxError::cFileOther, "before the start");
  EXPECT_TRUE(file->Close());
  EXPECT_TRUE(file->Close());  // a second close does nothing
  delete file;
}

TEST_F(OsFileLayer, The257thOpenFileFailsAndItsHandleIsClosed) {
  // Files are opened without sharing: each entry gets a file of its own.
  cFxOsFile* files[kFxFilePool::cEntries];
  for (size_t i = 0; i < kFxFilePool::cEntries; ++i) {
    const std::string name = std::to_string(i) + ".xml";
    WriteFile(mDir / name, "x");
    ASSERT_NE(nullptr, files[i] = OpenOk(name, kFxFileMode::cModeRead));
  }
  WriteFile(mDir / "a.xml", "x");
#ifndef _WIN32
  const size_t descriptors = OpenDescriptorCount();
#endif
  ExpectFailure(mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0), kFxError::cFileTooMany, "257th");
#ifndef _WIN32
  EXPECT_EQ(descriptors, OpenDescriptorCount());
#endif
  delete files[7];  // an entry given back is taken again
  // On Windows a handle left open would keep the unshared file from opening.
  files[7] = OpenOk("a.xml", kFxFileMode::cModeRead);
  for (cFxOsFile* file : files) delete file;
  EXPECT_EQ(0u, FxFilePoolInUse());
  cFxOsFile* held = OpenOk("a.xml", kFxFileMode::cModeRead);
  EXPECT_TRUE(FxFilePoolStart());  // every start begins with all entries free
  EXPECT_EQ(0u, FxFilePoolInUse());
  delete held;

  FxFilePoolStop();  // without its mutex the pool opens nothing
#ifndef _WIN32
  const size_t idle = OpenDescriptorCount();
#endif
  ExpectFailure(mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0), kFxError::cFileOther, "no mutex");
#ifndef _WIN32
  EXPECT_EQ(idle, OpenDescriptorCount());
#endif
}

TEST_F(OsFileLayer, InfoFlagsReadOnlyAndDirectories) {
  cFxOsFile* file = OpenOk("a.xml", kFxFileMode::cModeReplace, kFxFileAttribute::cReadOnly);
  EXPECT_EQ(2, file->Write("ok", 2));  // the handle itself may write
  delete file;
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly, info.mFlags);
  EXPECT_EQ(2u, info.mSize);
  EXPECT_EQ(fs::perms::none, fs::status(mDir / "a.xml").permissions() &
                                 (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write));
  info.mFlags = 0;
  ASSERT_TRUE(mLayer.SetInfo(Path("a.xml"), info));
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(0u, info.mFlags);

  sFxFileInfo readOnly;
  readOnly.mFlags = kFxFileInfo::cReadOnly;
  ASSERT_TRUE(mLayer.CreateDirectory(Path("locked"), readOnly));
  ASSERT_TRUE(mLayer.GetInfo(Path("locked"), info));
#ifdef _WIN32
  // wine keeps no read-only state on directories.
  EXPECT_EQ(kFxFileInfo::cDirectory, info.mFlags & kFxFileInfo::cDirectory);
#else
  EXPECT_EQ(kFxFileInfo::cReadOnly | kFxFileInfo::cDirectory, info.mFlags);
#endif
  ExpectFailure(mLayer.CreateDirectory(Path("locked"), info), 0u, "again: no code recorded");
  ExpectFailure(mLayer.GetInfo(Path("missing"), info), kFxError::cFileNotFound, "get");
  EXPECT_TRUE(mLayer.Delete(Path("a.xml")));
  ExpectFailure(mLayer.Delete(Path("a.xml")), kFxError::cFileNotFound, "delete");
}

TEST_F(OsFileLayer, FindListsTheMatchingNamesUntilNoMore) {
  WriteFile(mDir / "a.xml", "abc");
  WriteFile(mDir / "bb.xml", "abcde");
  WriteFile(mDir / "README", "x");
  fs::create_directory(mDir.Path() / "dd.xml");
  // The sizes of the files found for a pattern, -1 for each directory.
  auto find = [this](const char* pattern) {
    std::multiset<int> found;
    sFxFileInfo info;
    cFxOsSearch* search = mLayer.FindFirst(Path(pattern), info);
    for (bool more = search != nullptr; more; more = search->FindNext(info))
      found.insert((info.mFlags & kFxFileInfo::cDirectory) ? -1 : static_cast<int>(info.mSize));
    EXPECT_EQ(kFxError::cFileNoMore, FxGetErrorCode()) << pattern;
    delete search;
    return found;
  };
  EXPECT_EQ((std::multiset<int>{-1, 3, 5}), find("*.xml"));
  EXPECT_EQ((std::multiset<int>{3}), find("?.xml"));
  // "*.*" matches names without a dot too, "." and ".." among them.
  EXPECT_EQ((std::multiset<int>{-1, -1, -1, 1, 3, 5}), find("*.*"));
#ifndef _WIN32
  // A POSIX name is matched as its bytes on disk, UTF-8 or not.
  WriteFile(mDir / "St\xC3\xA4" "dte.dat", "1234567");
  WriteFile(mDir / "\xFF\xFE.dat", "12");
  EXPECT_EQ((std::multiset<int>{7}), find("St\xC3\xA4*.dat"));
  EXPECT_EQ((std::multiset<int>{2}), find("?\xFE.dat"));
#endif
  sFxFileInfo info;
  ExpectFailure(mLayer.FindFirst(Path("*.bin"), info), kFxError::cFileNotFound, "no match");
  ExpectFailure(mLayer.FindFirst(Path("nodir/*"), info), kFxError::cFileNotFound, "no directory");
}

TEST_F(OsFileLayer, OneOverlappedReadAtATime) {
  WriteFile(mDir / "a.bin", "0123456789");
  WriteFile(mDir / "b.bin", "abcdefghij");
  const int mode = kFxFileMode::cRead | kFxFileMode::cOverlapped;
  cFxOsFile* a = OpenOk("a.bin", mode);
  cFxOsFile* b = OpenOk("b.bin", mode);
  ExpectFailure(a->WaitRead(), kFxError::cFileReadPending, "nothing to wait for");
  char bytes[4] = {};
  ASSERT_TRUE(a->ReadAsync(6, bytes, 4));
  ExpectFailure(a->ReadAsync(0, bytes, 4), kFxError::cFileReadPending, "second read");
  ExpectFailure(b->ReadAsync(0, bytes, 4), kFxError::cFileReadPending, "one for the whole process");
  EXPECT_TRUE(a->IsReadDone());
  EXPECT_TRUE(a->WaitRead());
  EXPECT_EQ("6789", std::string(bytes, 4));
#ifndef _WIN32
  // A Windows file opened for overlapped reads has no position for plain
  // reads; the POSIX layer keeps one.
  EXPECT_EQ(1, a->Read(bytes, 1));  // the read ran beside the file's own position
  EXPECT_EQ('0', bytes[0]);
#endif
  ASSERT_TRUE(b->ReadAsync(100, bytes, 4));
  delete b;  // closing a file ends its pending read
  EXPECT_TRUE(a->ReadAsync(0, bytes, 2));
  delete a;
}

TEST(OsFileLayerNames, NativePathOfTheInternalForm) {
  const struct { const char* mGiven; const char* mNative; } cases[] = {
#ifdef _WIN32
      {"@os:c/data/file.xml", "c:\\data\\file.xml"},
      {"c/data/file.xml", "c:\\data\\file.xml"},  // the part after "@os:" alone
      {"@os:d/", "d:\\"},
      {"@os:d", "d:\\"},
      {"@os:c/../x", "c:\\..\\x"},
      {"@os:\\\\server/share/a.xml", "\\\\server\\share\\a.xml"},
#else
      {"@os:/data/file.xml", "/data/file.xml"},
      {"/data/file.xml", "/data/file.xml"},
      {"@os:/", "/"},
#endif
  };
  cFxOsFileSystem layer;
  for (const auto& c : cases) EXPECT_STREQ(c.mNative, layer.GetNativePath(cFxString(c.mGiven)).c_str()) << c.mGiven;
}

TEST(MountTable, NamesAreUniqueExactAndFreeOfSeparators) {
  cFxOsFileSystem first, second;
  ASSERT_TRUE(FxMount(first, cFxString("test-a"), 1, cFxString("@test-a:"), 2));
  for (cFxOsFileSystem* entry : {&second, &first}) {  // even the entry itself cannot take it twice
    for (const char* name : {"", "a:b", "a/b", ":", "test-a"}) {
      FxSetErrorCode(0);
      EXPECT_FALSE(FxMount(*entry, cFxString(name), 0, cFxString("@x:"), 0)) << name;
      EXPECT_EQ(kFxError::cFileMount, FxGetErrorCode()) << name;
    }
  }
  EXPECT_EQ(&first, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(nullptr, FxFindMount(cFxString("TEST-A")));
  ASSERT_TRUE(FxMount(second, cFxString("test-b"), 0, cFxString(), 0));
  ASSERT_TRUE(FxMount(second, cFxString("test-c"), 0, cFxString(), 0));  // moves to the new name
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-b")));
  FxUnmount(first);
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(&second, FxFindMount(cFxString("test-c")));
  FxUnmount(second);
}

}  // namespace
