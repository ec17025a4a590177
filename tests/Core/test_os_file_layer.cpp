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
using test::TempDir;
using test::WriteFile;

// Whether this process may write files it has no write permission for
// (root): permission-based expectations do not hold then.
bool IgnoresPermissions(const TempDir& dir) {
  std::string probe = dir / "permission-probe";
  WriteFile(probe, "x");
  fs::permissions(probe, fs::perms::owner_read);
  std::FILE* file = std::fopen(probe.c_str(), "w");
  if (file != nullptr) std::fclose(file);
  fs::permissions(probe, fs::perms::owner_all);
  fs::remove(probe);
  return file != nullptr;
}

size_t OpenDescriptorCount() {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
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

  std::string Contents(cFxOsFile* file) {
    std::string bytes;
    char chunk[64];
    for (int got; (got = file->Read(chunk, sizeof chunk)) > 0;) bytes.append(chunk, got);
    return bytes;
  }

  TempDir mDir;
  cFxOsFileSystem mLayer;
};

// ---- Opening -----------------------------------------------------------------------

TEST_F(OsFileLayer, MissingFileOrDirectoryIsNotFound) {
  EXPECT_EQ(nullptr, mLayer.Open(Path("missing.xml"), kFxFileMode::cModeRead, 0));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());

  FxSetErrorCode(0);
  EXPECT_EQ(nullptr, mLayer.Open(Path("no/such/dir.xml"), kFxFileMode::cModeReplace, 0));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());

  // A file used as a directory: the path is not found either.
  WriteFile(mDir / "plain", "x");
  FxSetErrorCode(0);
  EXPECT_EQ(nullptr, mLayer.Open(Path("plain/a.xml"), kFxFileMode::cModeRead, 0));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
}

TEST_F(OsFileLayer, ReadOpensAnExistingFileFromItsStart) {
  WriteFile(mDir / "a.xml", "contents");
  cFxOsFile* file = mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ("contents", Contents(file));
  EXPECT_EQ(-1, file->Write("x", 1));  // opened for reading only
  delete file;
  EXPECT_EQ("contents", ReadFile(mDir / "a.xml"));
}

TEST_F(OsFileLayer, CreateAndReplaceTruncates) {
  WriteFile(mDir / "a.xml", "a much longer old text");
  cFxOsFile* file = mLayer.Open(Path("a.xml"), kFxFileMode::cModeReplace, 0);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(3, file->Write("new", 3));
  EXPECT_TRUE(file->Close());
  delete file;
  EXPECT_EQ("new", ReadFile(mDir / "a.xml"));

  file = mLayer.Open(Path("fresh.xml"), kFxFileMode::cModeReplace, 0);
  ASSERT_NE(nullptr, file);
  delete file;
  EXPECT_TRUE(test::FileExists(mDir / "fresh.xml"));
}

TEST_F(OsFileLayer, CreateOnlyNewFailsOnAnExistingFile) {
  const int onlyNew = kFxFileMode::cWrite | kFxFileMode::cCreate | kFxFileMode::cOnlyNew;
  WriteFile(mDir / "a.xml", "keep");
  EXPECT_EQ(nullptr, mLayer.Open(Path("a.xml"), onlyNew, 0));
  EXPECT_EQ(kFxError::cFileOther, FxGetErrorCode());
  EXPECT_EQ("keep", ReadFile(mDir / "a.xml"));

  cFxOsFile* file = mLayer.Open(Path("b.xml"), onlyNew, 0);
  ASSERT_NE(nullptr, file);
  delete file;
  EXPECT_TRUE(test::FileExists(mDir / "b.xml"));
}

TEST_F(OsFileLayer, TruncateWithoutCreateNeedsAnExistingFile) {
  const int truncate = kFxFileMode::cWrite | kFxFileMode::cReplace;
  EXPECT_EQ(nullptr, mLayer.Open(Path("a.xml"), truncate, 0));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());

  WriteFile(mDir / "a.xml", "old");
  cFxOsFile* file = mLayer.Open(Path("a.xml"), truncate, 0);
  ASSERT_NE(nullptr, file);
  delete file;
  EXPECT_EQ("", ReadFile(mDir / "a.xml"));
}

TEST_F(OsFileLayer, AppendWritesAtTheEndAndCreatesWhenMissing) {
  WriteFile(mDir / "a.txt", "abc");
  cFxOsFile* file = mLayer.Open(Path("a.txt"), kFxFileMode::cModeAppend, 0);
  ASSERT_NE(nullptr, file);
  int position = -1;
  EXPECT_TRUE(file->Tell(position));
  EXPECT_EQ(3, position);
  EXPECT_EQ(3, file->Write("def", 3));
  delete file;
  EXPECT_EQ("abcdef", ReadFile(mDir / "a.txt"));

  file = mLayer.Open(Path("new.txt"), kFxFileMode::cModeAppend, 0);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(2, file->Write("xy", 2));
  delete file;
  EXPECT_EQ("xy", ReadFile(mDir / "new.txt"));
}

TEST_F(OsFileLayer, ReadOnlyAttributeCreatesAReadOnlyFile) {
  cFxOsFile* file = mLayer.Open(Path("a.xml"), kFxFileMode::cModeReplace, kFxFileAttribute::cReadOnly);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(2, file->Write("ok", 2));  // the handle itself may write
  delete file;
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly, info.mFlags);
  EXPECT_EQ(2u, info.mSize);
}

TEST_F(OsFileLayer, ReadOnlyFileRefusesWritingWithAccessDenied) {
  if (IgnoresPermissions(mDir)) GTEST_SKIP() << "permissions do not bind this user";
  WriteFile(mDir / "a.xml", "x");
  fs::permissions(mDir / "a.xml", fs::perms::owner_read);
  EXPECT_EQ(nullptr, mLayer.Open(Path("a.xml"), kFxFileMode::cModeAppend, 0));
  EXPECT_EQ(kFxError::cFileAccess, FxGetErrorCode());
}

TEST_F(OsFileLayer, DirectoryCannotBeOpenedAsAFile) {
  fs::create_directory(mDir.Path() / "sub");
  EXPECT_EQ(nullptr, mLayer.Open(Path("sub"), kFxFileMode::cModeRead, 0));
  EXPECT_EQ(kFxError::cFileAccess, FxGetErrorCode());
  EXPECT_EQ(0u, FxFilePoolInUse());
}

TEST_F(OsFileLayer, PositionsMoveAbsoluteRelativeAndFromTheEnd) {
  WriteFile(mDir / "a.bin", "0123456789");
  cFxOsFile* file = mLayer.Open(Path("a.bin"), kFxFileMode::cRead | kFxFileMode::cWrite, 0);
  ASSERT_NE(nullptr, file);
  char bytes[4] = {};
  int position = -1;
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

  FxSetErrorCode(0);
  EXPECT_FALSE(file->Seek(-1));
  EXPECT_EQ(kFxError::cFileOther, FxGetErrorCode());
  EXPECT_TRUE(file->Flush());
  delete file;
}

TEST_F(OsFileLayer, ClosedFileAnswersFailures) {
  WriteFile(mDir / "a.bin", "x");
  cFxOsFile* file = mLayer.Open(Path("a.bin"), kFxFileMode::cModeRead, 0);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(-1, file->GetHandle());
  EXPECT_TRUE(file->Close());  // a second close does nothing
  char byte;
  EXPECT_EQ(-1, file->Read(&byte, 1));
  EXPECT_EQ(-1, file->Write("x", 1));
  int position;
  EXPECT_FALSE(file->Tell(position));
  delete file;
}

// ---- The pool of open files ----------------------------------------------------------

TEST_F(OsFileLayer, The257thOpenFileFailsAndItsHandleIsClosed) {
  WriteFile(mDir / "a.xml", "x");
  cFxOsFile* files[kFxFilePool::cEntries];
  for (uint32_t i = 0; i < kFxFilePool::cEntries; ++i) {
    files[i] = mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0);
    ASSERT_NE(nullptr, files[i]) << "file " << i;
  }
  EXPECT_EQ(kFxFilePool::cEntries, FxFilePoolInUse());

  size_t descriptors = OpenDescriptorCount();
  EXPECT_EQ(nullptr, mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0));
  EXPECT_EQ(kFxError::cFileTooMany, FxGetErrorCode());
  EXPECT_EQ(descriptors, OpenDescriptorCount());

  // An entry given back is the next one taken: the first free from entry 0.
  delete files[7];
  files[7] = mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0);
  EXPECT_NE(nullptr, files[7]);
  for (cFxOsFile* file : files) delete file;
  EXPECT_EQ(0u, FxFilePoolInUse());
}

TEST_F(OsFileLayer, PoolWithoutItsMutexOpensNothing) {
  WriteFile(mDir / "a.xml", "x");
  FxFilePoolStop();
  size_t descriptors = OpenDescriptorCount();
  EXPECT_EQ(nullptr, mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0));
  EXPECT_EQ(kFxError::cFileOther, FxGetErrorCode());
  EXPECT_EQ(descriptors, OpenDescriptorCount());
}

TEST_F(OsFileLayer, AddressesOutsideThePoolAreIgnored) {
  WriteFile(mDir / "a.xml", "x");
  cFxOsFile* file = mLayer.Open(Path("a.xml"), kFxFileMode::cModeRead, 0);
  ASSERT_NE(nullptr, file);
  int local = 0;
  FxFilePoolGiveBack(&local);
  FxFilePoolGiveBack(reinterpret_cast<uint8_t*>(file) + 1);  // inside, not an entry
  EXPECT_EQ(1u, FxFilePoolInUse());
  delete file;
  EXPECT_EQ(0u, FxFilePoolInUse());
}

// ---- Attributes, deletion, directories ---------------------------------------------------

TEST_F(OsFileLayer, GetInfoGivesSizeAndFlags) {
  WriteFile(mDir / "a.xml", std::string(1234, 'x'));
  fs::create_directory(mDir.Path() / "sub");
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(1234u, info.mSize);
  EXPECT_EQ(0u, info.mFlags);

  ASSERT_TRUE(mLayer.QueryInfo(Path("sub"), info));
  EXPECT_EQ(kFxFileInfo::cDirectory, info.mFlags);

  fs::permissions(mDir / "a.xml", fs::perms::owner_read | fs::perms::group_read);
  ASSERT_TRUE(mLayer.GetInfo(Path("a.xml"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly, info.mFlags);

  EXPECT_FALSE(mLayer.GetInfo(Path("missing"), info));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
}

TEST_F(OsFileLayer, SetInfoTogglesReadOnly) {
  WriteFile(mDir / "a.xml", "x");
  sFxFileInfo info;
  info.mFlags = kFxFileInfo::cReadOnly;
  ASSERT_TRUE(mLayer.ApplyInfo(Path("a.xml"), info));
  fs::perms perms = fs::status(mDir / "a.xml").permissions();
  EXPECT_EQ(fs::perms::none, perms & (fs::perms::owner_write | fs::perms::group_write |
                                      fs::perms::others_write));
  EXPECT_NE(fs::perms::none, perms & fs::perms::owner_read);

  info.mFlags = 0;
  ASSERT_TRUE(mLayer.SetInfo(Path("a.xml"), info));
  EXPECT_NE(fs::perms::none, fs::status(mDir / "a.xml").permissions() & fs::perms::owner_write);

  EXPECT_FALSE(mLayer.SetInfo(Path("missing"), info));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
}

TEST_F(OsFileLayer, DeleteRemovesAFile) {
  WriteFile(mDir / "a.xml", "x");
  EXPECT_TRUE(mLayer.Delete(Path("a.xml")));
  EXPECT_FALSE(test::FileExists(mDir / "a.xml"));
  EXPECT_FALSE(mLayer.Delete(Path("a.xml")));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
}

TEST_F(OsFileLayer, DirectoriesAreCreatedWithTheirInfoAndRemoved) {
  sFxFileInfo info;
  ASSERT_TRUE(mLayer.CreateDirectory(Path("sub"), info));
  EXPECT_TRUE(fs::is_directory(mDir.Path() / "sub"));

  // Creating it again fails without recording a code.
  FxSetErrorCode(0);
  EXPECT_FALSE(mLayer.CreateDirectory(Path("sub"), info));
  EXPECT_EQ(0u, FxGetErrorCode());

  sFxFileInfo readOnly;
  readOnly.mFlags = kFxFileInfo::cReadOnly;
  ASSERT_TRUE(mLayer.CreateDirectory(Path("locked"), readOnly));
  ASSERT_TRUE(mLayer.GetInfo(Path("locked"), info));
  EXPECT_EQ(kFxFileInfo::cReadOnly | kFxFileInfo::cDirectory, info.mFlags);

  EXPECT_TRUE(mLayer.RemoveDirectory(Path("sub")));
  EXPECT_FALSE(fs::exists(mDir.Path() / "sub"));
  EXPECT_FALSE(mLayer.RemoveDirectory(Path("sub")));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
}

TEST_F(OsFileLayer, FindListsTheMatchingNamesUntilNoMore) {
  WriteFile(mDir / "a.xml", "abc");
  WriteFile(mDir / "bb.xml", "abcde");
  WriteFile(mDir / "c.txt", "x");
  fs::create_directory(mDir.Path() / "dd.xml");

  std::multiset<uint32_t> sizes;
  uint32_t directories = 0;
  sFxFileInfo info;
  cFxOsSearch* search = mLayer.FindFirst(Path("*.xml"), info);
  ASSERT_NE(nullptr, search);
  do {
    if (info.mFlags & kFxFileInfo::cDirectory)
      ++directories;
    else
      sizes.insert(info.mSize);
  } while (search->FindNext(info));
  EXPECT_EQ(kFxError::cFileNoMore, FxGetErrorCode());
  delete search;
  EXPECT_EQ((std::multiset<uint32_t>{3, 5}), sizes);
  EXPECT_EQ(1u, directories);

  // "?" stands for one character: only a.xml.
  search = mLayer.FindFirst(Path("?.xml"), info);
  ASSERT_NE(nullptr, search);
  EXPECT_EQ(3u, info.mSize);
  EXPECT_FALSE(search->FindNext(info));
  delete search;
}

TEST_F(OsFileLayer, FindWithoutMatchOrDirectoryAnswersNull) {
  WriteFile(mDir / "a.xml", "abc");
  sFxFileInfo info;
  EXPECT_EQ(nullptr, mLayer.FindFirst(Path("*.bin"), info));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
  EXPECT_EQ(nullptr, mLayer.FindFirst(Path("nodir/*"), info));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
}

TEST_F(OsFileLayer, StarDotStarMatchesNamesWithoutADot) {
  WriteFile(mDir / "README", "abcd");
  sFxFileInfo info;
  uint32_t files = 0;
  cFxOsSearch* search = mLayer.FindFirst(Path("*.*"), info);
  ASSERT_NE(nullptr, search);
  do {
    if (!(info.mFlags & kFxFileInfo::cDirectory)) ++files;  // "." and ".." are directories
  } while (search->FindNext(info));
  delete search;
  EXPECT_EQ(1u, files);
}

// ---- Emulated overlapped read --------------------------------------------------------------

TEST_F(OsFileLayer, OneOverlappedReadAtATime) {
  WriteFile(mDir / "a.bin", "0123456789");
  WriteFile(mDir / "b.bin", "abcdefghij");
  const int mode = kFxFileMode::cRead | kFxFileMode::cOverlapped;
  cFxOsFile* a = mLayer.Open(Path("a.bin"), mode, 0);
  cFxOsFile* b = mLayer.Open(Path("b.bin"), mode, 0);
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, b);

  // Nothing pending yet.
  EXPECT_FALSE(a->IsReadDone());
  EXPECT_EQ(kFxError::cFileReadPending, FxGetErrorCode());
  EXPECT_FALSE(a->WaitRead());

  char bytes[4] = {};
  ASSERT_TRUE(a->ReadAsync(6, bytes, 4));
  FxSetErrorCode(0);
  EXPECT_FALSE(a->ReadAsync(0, bytes, 4));
  EXPECT_EQ(kFxError::cFileReadPending, FxGetErrorCode());
  FxSetErrorCode(0);
  EXPECT_FALSE(b->ReadAsync(0, bytes, 4));  // one for the whole process
  EXPECT_EQ(kFxError::cFileReadPending, FxGetErrorCode());
  FxSetErrorCode(0);
  EXPECT_FALSE(b->IsReadDone());  // asked about the wrong file
  EXPECT_EQ(kFxError::cFileReadPending, FxGetErrorCode());

  EXPECT_TRUE(a->IsReadDone());
  EXPECT_TRUE(a->WaitRead());
  EXPECT_EQ("6789", std::string(bytes, 4));
  // The read ran beside the file's own position.
  char first;
  EXPECT_EQ(1, a->Read(&first, 1));
  EXPECT_EQ('0', first);

  // Reading at the end of the file still starts; closing a file ends its
  // pending read.
  ASSERT_TRUE(b->ReadAsync(100, bytes, 4));
  delete b;
  EXPECT_TRUE(a->ReadAsync(0, bytes, 2));
  EXPECT_TRUE(a->WaitRead());
  EXPECT_EQ("01", std::string(bytes, 2));
  delete a;
}

// ---- Native paths and the mount table -------------------------------------------------------

TEST(OsFileLayerNativePath, DropsTheDevicePrefix) {
  cFxOsFileSystem layer;
  EXPECT_EQ(cFxString("/home/u/data/a.xml"), layer.GetNativePath(cFxString("@os:/home/u/data/a.xml")));
  EXPECT_EQ(cFxString("/home/u/a.xml"), layer.GetNativePath(cFxString("/home/u/a.xml")));
  EXPECT_EQ(cFxString("/"), layer.GetNativePath(cFxString("@os:/")));
}

class MountTable : public ::testing::Test {
 protected:
  void SetUp() override { FxSetErrorCode(0); }
  void TearDown() override {
    FxUnmount(mFirst);
    FxUnmount(mSecond);
  }
  cFxOsFileSystem mFirst;
  cFxOsFileSystem mSecond;
};

TEST_F(MountTable, BadNamesFail) {
  for (const char* name : {"", "a:b", "a/b", ":", "/"}) {
    FxSetErrorCode(0);
    EXPECT_FALSE(FxMount(mFirst, cFxString(name), 0, cFxString("@x:"), 0)) << name;
    EXPECT_EQ(kFxError::cFileMount, FxGetErrorCode()) << name;
    EXPECT_FALSE(mFirst.IsMounted());
  }
}

TEST_F(MountTable, DuplicateNameFails) {
  ASSERT_TRUE(FxMount(mFirst, cFxString("test-a"), 1, cFxString("@test-a:"), 2));
  EXPECT_FALSE(FxMount(mSecond, cFxString("test-a"), 0, cFxString(), 0));
  EXPECT_EQ(kFxError::cFileMount, FxGetErrorCode());
  // Even the same entry cannot take its own name twice.
  EXPECT_FALSE(FxMount(mFirst, cFxString("test-a"), 0, cFxString(), 0));
  EXPECT_EQ(&mFirst, FxFindMount(cFxString("test-a")));
}

TEST_F(MountTable, FindByExactNameAndUnmount) {
  ASSERT_TRUE(FxMount(mFirst, cFxString("test-a"), 7, cFxString("@test-a:"), 9));
  ASSERT_TRUE(FxMount(mSecond, cFxString("test-b"), 0, cFxString("@test-b:"), 0));
  EXPECT_EQ(&mFirst, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(&mSecond, FxFindMount(cFxString("test-b")));
  EXPECT_EQ(nullptr, FxFindMount(cFxString("TEST-A")));
  EXPECT_EQ(7u, mFirst.GetMountFlags());
  EXPECT_EQ(9u, mFirst.GetMountValue());
  EXPECT_EQ(cFxString("@test-a:"), mFirst.GetMountOptions());

  FxUnmount(mFirst);
  EXPECT_FALSE(mFirst.IsMounted());
  EXPECT_TRUE(mFirst.GetMountName().IsEmpty());
  EXPECT_TRUE(mFirst.GetMountOptions().IsEmpty());
  EXPECT_EQ(0u, mFirst.GetMountFlags());
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(&mSecond, FxFindMount(cFxString("test-b")));
  FxUnmount(mFirst);  // unmounting twice does nothing
}

TEST_F(MountTable, RemountingMovesTheEntryToItsNewName) {
  ASSERT_TRUE(FxMount(mFirst, cFxString("test-a"), 0, cFxString(), 0));
  ASSERT_TRUE(FxMount(mFirst, cFxString("test-c"), 0, cFxString(), 0));
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-a")));
  EXPECT_EQ(&mFirst, FxFindMount(cFxString("test-c")));
}

TEST_F(MountTable, DestroyedFileSystemLeavesTheTable) {
  {
    cFxOsFileSystem shortLived;
    ASSERT_TRUE(FxMount(shortLived, cFxString("test-d"), 0, cFxString(), 0));
  }
  EXPECT_EQ(nullptr, FxFindMount(cFxString("test-d")));
}

}  // namespace
