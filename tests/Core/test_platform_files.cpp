// The seam's file, directory, process and mutex services on real files.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "Core/platform/FxPlatform.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Wide path of a narrow one, the way the program widens names.
cFxWString Wide(const std::string& path) { return cFxWString(path.c_str()); }

// Runs a test body in `directory` and goes back afterwards.
class cInDirectory {
 public:
  explicit cInDirectory(const fs::path& directory) : mPrevious(fs::current_path()) {
    fs::current_path(directory);
  }
  ~cInDirectory() { fs::current_path(mPrevious); }

 private:
  fs::path mPrevious;
};

// ---- Mutex ----------------------------------------------------------------------------

TEST(PlatformMutex, LockWaitsAtMostItsTimeout) {
  void* mutex = FxPlatformMutexCreate();
  ASSERT_NE(nullptr, mutex);
  ASSERT_TRUE(FxPlatformMutexLock(mutex, 5000));

  std::atomic<int> gotIt{-1};
  std::thread other([&] { gotIt = FxPlatformMutexLock(mutex, 50) ? 1 : 0; });
  other.join();
  EXPECT_EQ(0, gotIt.load());

  FxPlatformMutexUnlock(mutex);
  std::thread again([&] {
    gotIt = FxPlatformMutexLock(mutex, 50) ? 1 : 0;
    if (gotIt == 1) FxPlatformMutexUnlock(mutex);
  });
  again.join();
  EXPECT_EQ(1, gotIt.load());
  FxPlatformMutexClose(mutex);

  EXPECT_FALSE(FxPlatformMutexLock(nullptr, 10));
}

// ---- Current directory ----------------------------------------------------------------------
// (Native paths becoming internal ones are tested through cFxPath.)

TEST(PlatformPaths, CurrentDirectoryIsWidenedAndChecksCapacity) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  std::string expected = fs::current_path().string();
  wchar16 buffer[4096];
  uint32_t length = FxPlatformGetCurrentDirectory(buffer, 4096);
  ASSERT_EQ(expected.size(), length);
  EXPECT_EQ(Wide(expected), cFxWString(buffer));
  EXPECT_EQ(0u, FxPlatformGetCurrentDirectory(buffer, length));  // no room for the terminator
  EXPECT_EQ(length, FxPlatformGetCurrentDirectory(buffer, length + 1));
}

// ---- Files by wide path ------------------------------------------------------------------------

TEST(PlatformFiles, AccessTellsWritableMissingAndReadOnly) {
  TempDir dir;
  WriteFile(dir / "a.xml", "x");
  EXPECT_EQ(eFxAccessWritable, FxPlatformAccessReadWrite(Wide(dir / "a.xml").c_str()));
  EXPECT_EQ(eFxAccessMissing, FxPlatformAccessReadWrite(Wide(dir / "b.xml").c_str()));
  EXPECT_EQ(eFxAccessMissing, FxPlatformAccessReadWrite(Wide(dir / "a.xml/c").c_str()));
  fs::permissions(dir / "a.xml", fs::perms::owner_read);
  std::FILE* probe = std::fopen((dir / "a.xml").c_str(), "r+");
  if (probe != nullptr) {  // permissions do not bind this user
    std::fclose(probe);
    return;
  }
  EXPECT_EQ(eFxAccessReadOnly, FxPlatformAccessReadWrite(Wide(dir / "a.xml").c_str()));
}

TEST(PlatformFiles, MakeReadWriteAddsTheOwnersBits) {
  TempDir dir;
  WriteFile(dir / "a.xml", "x");
  fs::permissions(dir / "a.xml", fs::perms::group_read, fs::perm_options::replace);
  ASSERT_TRUE(FxPlatformMakeReadWrite(Wide(dir / "a.xml").c_str()));
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
            fs::status(dir / "a.xml").permissions());
  EXPECT_FALSE(FxPlatformMakeReadWrite(Wide(dir / "missing").c_str()));
}

TEST(PlatformFiles, ReplaceAndDeleteByteNames) {
  TempDir dir;
  const std::string target = dir / "caf\xE9.xml";  // a Latin-1 byte, not UTF-8
  const cFxWString wide = Wide(target);
  EXPECT_EQ(u'\xFFE9', wide.c_str()[wide.Length() - 5]);  // entered by sign extension
  WriteFile(target, "old");
  WriteFile(dir / "a.temp", "new");
  ASSERT_TRUE(FxPlatformReplaceFile(Wide(dir / "a.temp").c_str(), wide.c_str()));
  EXPECT_EQ("new", ReadFile(target));
  EXPECT_FALSE(test::FileExists(dir / "a.temp"));

  // A failed replace leaves the target as it was.
  EXPECT_FALSE(FxPlatformReplaceFile(Wide(dir / "gone.temp").c_str(), wide.c_str()));
  EXPECT_EQ("new", ReadFile(target));

  EXPECT_TRUE(FxPlatformDeleteFile(wide.c_str()));
  EXPECT_FALSE(test::FileExists(target));
  EXPECT_FALSE(FxPlatformDeleteFile(wide.c_str()));
}

// ---- Directory enumeration --------------------------------------------------------------------

TEST(PlatformDirectories, FindListsEveryEntryWithItsKind) {
  TempDir dir;
  WriteFile(dir / "a.xml", "x");
  WriteFile(dir / "caf\xE9.bin", "x");
  fs::create_directory(dir.Path() / "sub");
  fs::create_directory_symlink(dir.Path() / "sub", dir.Path() / "link");
  fs::create_symlink(dir.Path() / "a.xml", dir.Path() / "filelink");

  std::map<std::u16string, bool> found;
  sFxDirEntry entry;
  cFxDirSearch* search = FxPlatformFindFirst(Wide(dir.Path().string()).c_str(), entry);
  ASSERT_NE(nullptr, search);
  eFxFindResult result = eFxFindFound;
  for (; result == eFxFindFound; result = FxPlatformFindNext(search, entry))
    found[std::u16string(entry.mName.c_str())] = entry.mIsDirectory;
  EXPECT_EQ(eFxFindNoMore, result);
  FxPlatformFindClose(search);

  std::map<std::u16string, bool> expected = {
      {u".", true},      {u"..", true},         {u"a.xml", false}, {u"caf\xFFE9.bin", false},
      {u"sub", true},    {u"link", true},       {u"filelink", false}};
  EXPECT_EQ(expected, found);

  EXPECT_EQ(nullptr, FxPlatformFindFirst(Wide(dir / "missing").c_str(), entry));
  EXPECT_EQ(eFxFindFailed, FxPlatformFindNext(nullptr, entry));
}

TEST(PlatformDirectories, IdentitySeesThroughLinks) {
  TempDir dir;
  fs::create_directory(dir.Path() / "a");
  fs::create_directory(dir.Path() / "b");
  fs::create_directory_symlink(dir.Path() / "a", dir.Path() / "link");
  uint64_t volumeA, fileA, volumeB, fileB, volumeLink, fileLink;
  ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(dir / "a").c_str(), &volumeA, &fileA));
  ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(dir / "b").c_str(), &volumeB, &fileB));
  ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(dir / "link").c_str(), &volumeLink, &fileLink));
  EXPECT_EQ(volumeA, volumeLink);
  EXPECT_EQ(fileA, fileLink);
  EXPECT_NE(fileA, fileB);
  EXPECT_FALSE(FxPlatformGetDirectoryIdentity(Wide(dir / "c").c_str(), &volumeA, &fileA));
}

// ---- Processes -----------------------------------------------------------------------------------

void WriteScript(const std::string& path, const std::string& body) {
  WriteFile(path, "#!/bin/sh\n" + body + "\n");
  fs::permissions(path, fs::perms::owner_all);
}

TEST(PlatformProcesses, ArgumentsReachTheProgramUnchangedWithoutAShell) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  WriteScript(dir / "echoargs", "printf '%s|' \"$@\" > args.txt\nexit 3");
  const char* args[] = {"a b", "it's", "$HOME", "*", nullptr};
  EXPECT_EQ(3, FxPlatformRunProgram("echoargs", args));  // found in the current directory
  EXPECT_EQ("a b|it's|$HOME|*|", ReadFile(dir / "args.txt"));

  // Programs that are missing or cannot run answer -1.
  WriteFile(dir / "notexec", "#!/bin/sh\nexit 0\n");
  for (const std::string& program : {std::string("no-such-program-here"), dir / "missing",
                                     std::string(), std::string("notexec")})
    EXPECT_EQ(-1, FxPlatformRunProgram(program.c_str(), nullptr)) << program;
}

TEST(PlatformProcesses, TheCurrentDirectoryComesBeforeTheSearchPath) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  WriteScript(dir / "true", "exit 7");  // shadows the system's true
  EXPECT_EQ(7, FxPlatformRunProgram("true", nullptr));
  fs::remove(dir / "true");
  EXPECT_EQ(0, FxPlatformRunProgram("true", nullptr));  // now from PATH
  const char* args[] = {"-c", "exit 5", nullptr};
  EXPECT_EQ(5, FxPlatformRunProgram("sh", args));
}

}  // namespace
