// The OS file layer on real files in a temporary directory: open modes and
// their dispositions, attributes, directory searches, the emulated
// overlapped read, the pool of open files and the mount table.
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

size_t OpenDescriptorCount() {
  size_t count = 0;
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++count;
  return count;
}

class OsFileLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FxFilePoolStart());
    FxSetErrorCode(0);
  }
  void TearDown() override { FxFilePoolStop(); }

  // The internal form of a file in the temporary directory.
  cFxString Path(const std::string& name) const { return cFxString(("@os:" + (mDir / name)).c_str()); }
  // Opens, expecting success; the caller deletes.
  cFxOsFile* OpenOk(const std::string& name, int mode, int attributes = 0) {
    cFxOsFile* file = mLayer.Open(Path(name), mode, attributes);
    EXPECT_NE(nullptr, file) << name;
    return file;
  }
  // Expects `call` to fail with `code` recorded.
  template <typename T>
  void ExpectFailure(T result, uint32_t code, const char* what) {
    EXPECT_FALSE(result) << what;
    EXPECT_EQ(code, FxGetErrorCode()) << what;
    FxSetErrorCode(0);
  }

  test::TempDir mDir;
  cFxOsFileSystem mLayer;
};

// ---- Opening -----------------------------------------------------------------------

TEST_F(OsFileLayer, ModeBitsDecideCreationAndTruncation) {
  using namespace kFxFileMode;
  const int onlyNew = cWrite | cCreate | cOnlyNew;
  const int truncate = cWrite | cReplace;
  const struct {
    int mMode;
    bool mExists;       // the file holds "old" before the open
    uint32_t mFailure;  // 0: the open succeeds
    const char* mAfter; // the file's contents afterwards; null: absent
  } cases[] = {
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
    delete file;
    EXPECT_EQ(c.mAfter != nullptr, test::FileExists(mDir / name)) << name;
    if (c.mAfter != nullptr) {
      EXPECT_EQ(c.mAfter, ReadFile(mDir / name)) << name;
    }
  }
}

TEST_F(OsFileLayer, PathsThatLeadNowhereAreNotFound) {
  WriteFile(mDir / "plain", "x");
  ExpectFailure(mLayer.Open(Path("no/such/dir.xml"), kFxFileMode::cModeReplace, 0),
                kFxError::cFileNotFound, "missing directory");
  ExpectFailure(mLayer.Open(Path("plain/a.xml"), kFxFileMode::cModeRead, 0), kFxError::cFileNotFound,
                "a file used as a directory");
  // A directory opens on POSIX but is no file to read.
  fs::create_directory(mDir.Path() / "sub");
  ExpectFailure(mLayer.Open(Path("sub"), kFxFileMode::cModeRead, 0), kFxError::cFileAccess, "directory");
  EXPECT_EQ(0u, FxFilePoolInUse());
}

TEST_F(OsFileLayer, ReadOnlyAttributeAndPermissions) {
  cFxOsFile* file = OpenOk("a.xml", kFxFileMode::cModeReplace, kFxFileAttribute::cReadOnly);
  EXPECT_EQ(2, file->Write("ok", 2));  // the handle itself may write
  delete file;
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly, info.mFlags);
  EXPECT_EQ(2u, info.mSize);

  std::FILE* probe = std::fopen((mDir / "a.xml").c_str(), "r+");
  if (probe != nullptr) {  // permissions do not bind this user
    std::fclose(probe);
    return;
  }
  ExpectFailure(mLayer.Open(Path("a.xml"), kFxFileMode::cModeAppend, 0), kFxError::cFileAccess,
                "read-only file");
}

TEST_F(OsFileLayer, PositionsMoveAbsoluteRelativeAndFromTheEnd) {
  WriteFile(mDir / "a.bin", "0123456789");
  cFxOsFile* file = OpenOk("a.bin", kFxFileMode::cModeRead);
  char bytes[4] = {};
  int position = -1;
  EXPECT_EQ(-1, file->Write("x", 1));  // opened for reading only
  EXPECT_TRUE(file->Seek(2));
  EXPECT_EQ(3, file->Read(bytes, 3));
  EXPECT_EQ("234", std::string(bytes, 3));
  EXPECT_TRUE(file->Tell(position));
  EXPECT_EQ(5, position);
  EXPECT_TRUE(file->SeekRelative(-4));
  EXPECT_EQ(1, file->Read(bytes, 1));
  EXPECT_EQ('1', bytes[0]);
  EXPECT_TRUE(file->SeekFromEnd(-1));
  EXPECT_EQ(1, file->Read(bytes, 1));
  EXPECT_EQ('9', bytes[0]);
  EXPECT_EQ(0, file->Read(bytes, 1));
  ExpectFailure(file->Seek(-1), kFxError::cFileOther, "before the start");
  ExpectFailure(file->Read(nullptr, 1) >= 0, kFxError::cFileOther, "no buffer");
  ExpectFailure(file->Write(bytes, -1) >= 0, kFxError::cFileOther, "negative count");

  EXPECT_TRUE(file->Close());
  EXPECT_EQ(-1, file->GetHandle());
  EXPECT_TRUE(file->Close());  // a second close does nothing
  EXPECT_FALSE(file->Tell(position));
  delete file;
  EXPECT_EQ("0123456789", ReadFile(mDir / "a.bin"));
}

// ---- The pool of open files ----------------------------------------------------------

TEST_F(OsFileLayer, The257thOpenFileFailsAndItsHandleIsClosed) {
  WriteFile(mDir / "a.xml", "x");
  cFxOsFile* files[kFxFilePool::cEntries];
  for (cFxOsFile*& file : files) ASSERT_NE(nullptr, file = OpenOk("a.xml", kFxFileMode::cModeRead));
  EXPECT_EQ(kFxFilePool::cEntries, FxFilePoolInUse());
  ASSERT_TRUE(FxFilePoolStart());  // starting again keeps the open files' entries
  EXPECT_EQ(kFxFilePool::cEntries, FxFilePoolInUse());

  const size_t descriptors = OpenDescriptorCount();
  ExpectFailure(mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0), kFxError::cFileTooMany, "257th");
  EXPECT_EQ(descriptors, OpenDescriptorCount());

  // Addresses that are no entry are ignored; an entry given back is taken again.
  int local = 0;
  FxFilePoolGiveBack(&local);
  FxFilePoolGiveBack(reinterpret_cast<uint8_t*>(files[3]) + 1);
  EXPECT_EQ(kFxFilePool::cEntries, FxFilePoolInUse());
  delete files[7];
  files[7] = OpenOk("a.xml", kFxFileMode::cModeRead);
  for (cFxOsFile* file : files) delete file;
  EXPECT_EQ(0u, FxFilePoolInUse());
}

TEST_F(OsFileLayer, PoolWithoutItsMutexOpensNothing) {
  WriteFile(mDir / "a.xml", "x");
  FxFilePoolStop();
  const size_t descriptors = OpenDescriptorCount();
  ExpectFailure(mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0), kFxError::cFileOther, "no mutex");
  EXPECT_EQ(descriptors, OpenDescriptorCount());
}

// ---- Attributes, deletion, directories ---------------------------------------------------

TEST_F(OsFileLayer, InfoGivesSizeAndFlagsAndSetsReadOnly) {
  WriteFile(mDir / "a.xml", std::string(1234, 'x'));
  fs::create_directory(mDir.Path() / "sub");
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(1234u, info.mSize);
  EXPECT_EQ(0u, info.mFlags);
  ASSERT_TRUE(mLayer.QueryInfo(Path("sub"), info));
  EXPECT_EQ(kFxFileInfo::cDirectory, info.mFlags);

  info.mFlags = kFxFileInfo::cReadOnly;
  ASSERT_TRUE(mLayer.ApplyInfo(Path("a.xml"), info));
  const fs::perms perms = fs::status(mDir / "a.xml").permissions();
  EXPECT_EQ(fs::perms::none, perms & (fs::perms::owner_write | fs::perms::group_write |
                                      fs::perms::others_write));
  EXPECT_NE(fs::perms::none, perms & fs::perms::owner_read);
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly, info.mFlags);
  info.mFlags = 0;
  ASSERT_TRUE(mLayer.SetInfo(Path("a.xml"), info));
  EXPECT_NE(fs::perms::none, fs::status(mDir / "a.xml").permissions() & fs::perms::owner_write);

  ExpectFailure(mLayer.GetInfo(Path("missing"), info), kFxError::cFileNotFound, "get");
  ExpectFailure(mLayer.SetInfo(Path("missing"), info), kFxError::cFileNotFound, "set");
  EXPECT_TRUE(mLayer.Delete(Path("a.xml")));
  EXPECT_FALSE(test::FileExists(mDir / "a.xml"));
  ExpectFailure(mLayer.Delete(Path("a.xml")), kFxError::cFileNotFound, "delete");
}

TEST_F(OsFileLayer, DirectoriesAreCreatedWithTheirInfoAndRemoved) {
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.CreateDirectory(Path("sub"), info));
  EXPECT_TRUE(fs::is_directory(mDir.Path() / "sub"));
  ExpectFailure(mLayer.CreateDirectory(Path("sub"), info), 0u, "again: no code recorded");

  sFxFileInfo readOnly;
  readOnly.mFlags = kFxFileInfo::cReadOnly;
  ASSERT_TRUE(mLayer.CreateDirectory(Path("locked"), readOnly));
  ASSERT_TRUE(mLayer.GetInfo(Path("locked"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly | kFxFileInfo::cDirectory, info.mFlags);

  EXPECT_TRUE(mLayer.RemoveDirectory(Path("sub")));
  EXPECT_FALSE(fs::exists(mDir.Path() / "sub"));
  ExpectFailure(mLayer.RemoveDirectory(Path("sub")), kFxError::cFileNotFound, "remove again");
}

TEST_F(OsFileLayer, FindListsTheMatchingNamesUntilNoMore) {
  WriteFile(mDir / "a.xml", "abc");
  WriteFile(mDir / "bb.xml", "abcde");
  WriteFile(mDir / "README", "x");
  fs::create_directory(mDir.Path() / "dd.xml");
  // Sizes of the files found and the count of directories, for a pattern.
  auto find = [this](const char* pattern) {
    std::multiset<uint32_t> sizes;
    uint32_t directories = 0;
    sFxFileInfo info;
    cFxOsSearch* search = mLayer.FindFirst(Path(pattern), info);
    if (search == nullptr) return std::make_pair(sizes, directories);
    do {
      if (info.mFlags & kFxFileInfo::cDirectory)
        ++directories;
      else
        sizes.insert(info.mSize);
    } while (search->FindNext(info));
    EXPECT_EQ(kFxError::cFileNoMore, FxGetErrorCode()) << pattern;
    delete search;
    return std::make_pair(sizes, directories);
  };
  EXPECT_EQ(std::make_pair(std::multiset<uint32_t>{3, 5}, 1u), find("*.xml"));
  EXPECT_EQ(std::make_pair(std::multiset<uint32_t>{3}, 0u), find("?.xml"));
  // "*.*" matches names without a dot too, "." and ".." among them.
  EXPECT_EQ(std::make_pair(std::multiset<uint32_t>{1, 3, 5}, 3u), find("*.*"));

  sFxFileInfo info;
  ExpectFailure(mLayer.FindFirst(Path("*.bin"), info), kFxError::cFileNotFound, "no match");
  ExpectFailure(mLayer.FindFirst(Path("nodir/*"), info), kFxError::cFileNotFound, "no directory");
}

// ---- Emulated overlapped read --------------------------------------------------------------

TEST_F(OsFileLayer, OneOverlappedReadAtATime) {
  WriteFile(mDir / "a.bin", "0123456789");
  WriteFile(mDir / "b.bin", "abcdefghij");
  const int mode = kFxFileMode::cRead | kFxFileMode::cOverlapped;
  cFxOsFile* a = OpenOk("a.bin", mode);
  cFxOsFile* b = OpenOk("b.bin", mode);

  ExpectFailure(a->IsReadDone(), kFxError::cFileReadPending, "nothing pending yet");
  ExpectFailure(a->WaitRead(), kFxError::cFileReadPending, "nothing to wait for");
  char bytes[4] = {};
  ASSERT_TRUE(a->ReadAsync(6, bytes, 4));
  ExpectFailure(a->ReadAsync(0, bytes, 4), kFxError::cFileReadPending, "second read");
  ExpectFailure(b->ReadAsync(0, bytes, 4), kFxError::cFileReadPending, "one for the whole process");
  ExpectFailure(b->IsReadDone(), kFxError::cFileReadPending, "asked about the wrong file");
  EXPECT_TRUE(a->IsReadDone());
  EXPECT_TRUE(a->WaitRead());
  EXPECT_EQ("6789", std::string(bytes, 4));
  char first;
  EXPECT_EQ(1, a->Read(&first, 1));  // the read ran beside the file's own position
  EXPECT_EQ('0', first);

  // A read that cannot start leaves nothing pending.
  ExpectFailure(a->ReadAsync(0, nullptr, 4), kFxError::cFileOther, "no buffer");
  // Reading at the end still starts; closing a file ends its pending read.
  ASSERT_TRUE(b->ReadAsync(100, bytes, 4));
  delete b;
  EXPECT_TRUE(a->ReadAsync(0, bytes, 2));
  EXPECT_TRUE(a->WaitRead());
  EXPECT_EQ("01", std::string(bytes, 2));
  delete a;
}

// ---- The mount table -------------------------------------------------------------------

class MountTable : public ::testing::Test {
 protected:
  void TearDown() override {
    FxUnmount(mFirst);
    FxUnmount(mSecond);
  }
  cFxOsFileSystem mFirst;
  cFxOsFileSystem mSecond;
};

TEST_F(MountTable, BadOrTakenNamesFail) {
  ASSERT_TRUE(FxMount(mFirst, cFxString("test-a"), 1, cFxString("@test-a:"), 2));
  // Even the same entry cannot take its own name twice.
  for (cFxOsFileSystem* entry : {&mSecond, &mFirst}) {
    for (const char* name : {"", "a:b", "a/b", ":", "/", "test-a"}) {
      FxSetErrorCode(0);
      EXPECT_FALSE(FxMount(*entry, cFxString(name), 0, cFxString("@x:"), 0)) << name;
      EXPECT_EQ(kFxError::cFileMount, FxGetErrorCode()) << name;
    }
  }
  EXPECT_FALSE(mSecond.IsMounted());
  EXPECT_EQ(&mFirst, FxFindMount(cFxString("test-a")));
}

TEST_F(MountTable, FindByExactNameRemountAndUnmount) {
  ASSERT_TRUE(FxMount(mFirst, cFxString("test-a"), 7, cFxString("@test-a:"), 9));
  ASSERT_TRUE(FxMount(mSecond, cFxString("test-b"), 0, cFxString("@test-b:"), 0));
  EXPECT_EQ(&mFirst, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(&mSecond, FxFindMount(cFxString("test-b")));
  EXPECT_EQ(nullptr, FxFindMount(cFxString("TEST-A")));
  EXPECT_EQ(7u, mFirst.GetMountFlags());
  EXPECT_EQ(9u, mFirst.GetMountValue());
  EXPECT_EQ(cFxString("@test-a:"), mFirst.GetMountOptions());

  // Mounting again moves the entry to its new name.
  ASSERT_TRUE(FxMount(mSecond, cFxString("test-c"), 0, cFxString(), 0));
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-b")));
  EXPECT_EQ(&mSecond, FxFindMount(cFxString("test-c")));

  FxUnmount(mFirst);
  FxUnmount(mFirst);  // twice does nothing
  EXPECT_FALSE(mFirst.IsMounted());
  EXPECT_TRUE(mFirst.GetMountName().IsEmpty());
  EXPECT_TRUE(mFirst.GetMountOptions().IsEmpty());
  EXPECT_EQ(0u, mFirst.GetMountFlags());
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(&mSecond, FxFindMount(cFxString("test-c")));
  {
    cFxOsFileSystem shortLived;
    ASSERT_TRUE(FxMount(shortLived, cFxString("test-d"), 0, cFxString(), 0));
  }
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-d")));  // destroyed: out of the table
}

}  // namespace
