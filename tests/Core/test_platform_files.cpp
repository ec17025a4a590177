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

std::string Internal(const char* native) {
  cFxString internal;
  if (!FxPlatformNativeToInternal(native, internal)) return "<failed>";
  return internal.c_str();
}

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

// ---- Current directory and internal paths ----------------------------------------------------

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

TEST(PlatformPaths, NativePathsBecomeCanonicalInternalPaths) {
  EXPECT_EQ("@os:/a/c.xml", Internal("/a/./b/../c.xml"));
  EXPECT_EQ("@os:/a/b", Internal("/a//b/"));
  EXPECT_EQ("@os:/", Internal("/"));
  EXPECT_EQ("@os:/x", Internal("/../../x"));  // ".." at the root stays there
  EXPECT_EQ("@os:/a b/c.xml", Internal("  /a b/c.xml \t"));
  EXPECT_EQ("<failed>", Internal(nullptr));
}

TEST(PlatformPaths, RelativePathsAreCombinedWithTheCurrentDirectory) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  std::string cwd = fs::current_path().string();
  EXPECT_EQ("@os:" + cwd + "/data/a.xml", Internal("data/a.xml"));
  EXPECT_EQ("@os:" + cwd + "/a.xml", Internal(" ./data/../a.xml "));
  EXPECT_EQ("@os:" + cwd, Internal("."));
  EXPECT_EQ("@os:" + fs::path(cwd).parent_path().string() + "/b", Internal("../b"));
}

TEST(PlatformPaths, OverlongPathsFail) {
  std::string longPath = "/" + std::string(8192, 'a');  // beyond any PATH_MAX
  EXPECT_EQ("<failed>", Internal(longPath.c_str()));
  // Long only before ".." shortens it: the limit applies to the result.
  std::string shortened = "/" + std::string(200, 'a') + "/.." + "/b";
  EXPECT_EQ("@os:/b", Internal(shortened.c_str()));
}

// ---- Files by wide path ------------------------------------------------------------------------

TEST(PlatformFiles, AccessTellsWritableMissingAndReadOnly) {
  TempDir dir;
  WriteFile(dir / "a.xml", "x");
  EXPECT_EQ(eFxAccessWritable, FxPlatformAccessReadWrite(Wide(dir / "a.xml").c_str()));
  EXPECT_EQ(eFxAccessMissing, FxPlatformAccessReadWrite(Wide(dir / "b.xml").c_str()));
  EXPECT_EQ(eFxAccessMissing, FxPlatformAccessReadWrite(Wide(dir / "a.xml/c").c_str()));
  if (IgnoresPermissions(dir)) return;  // the rest needs binding permissions
  fs::permissions(dir / "a.xml", fs::perms::owner_read);
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

TEST(PlatformFiles, DeleteAndReplace) {
  TempDir dir;
  WriteFile(dir / "a.xml", "old");
  WriteFile(dir / "a.xml.temp", "new");
  ASSERT_TRUE(FxPlatformReplaceFile(Wide(dir / "a.xml.temp").c_str(), Wide(dir / "a.xml").c_str()));
  EXPECT_EQ("new", ReadFile(dir / "a.xml"));
  EXPECT_FALSE(test::FileExists(dir / "a.xml.temp"));

  // A failed replace leaves the target as it was.
  EXPECT_FALSE(FxPlatformReplaceFile(Wide(dir / "gone.temp").c_str(), Wide(dir / "a.xml").c_str()));
  EXPECT_EQ("new", ReadFile(dir / "a.xml"));

  EXPECT_TRUE(FxPlatformDeleteFile(Wide(dir / "a.xml").c_str()));
  EXPECT_FALSE(test::FileExists(dir / "a.xml"));
  EXPECT_FALSE(FxPlatformDeleteFile(Wide(dir / "a.xml").c_str()));
}

TEST(PlatformFiles, NonAsciiByteNamesRoundTrip) {
  TempDir dir;
  std::string name = "caf\xE9.xml";  // a Latin-1 byte, not UTF-8
  WriteFile(dir / name, "x");
  cFxWString wide = Wide(dir / name);
  EXPECT_EQ(u'\xFFE9', wide.c_str()[wide.Length() - 5]);  // sign-extended
  EXPECT_EQ(eFxAccessWritable, FxPlatformAccessReadWrite(wide.c_str()));
  EXPECT_TRUE(FxPlatformDeleteFile(wide.c_str()));
  EXPECT_FALSE(test::FileExists(dir / name));
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
}

TEST(PlatformDirectories, MissingDirectoryCannotBeEnumerated) {
  TempDir dir;
  sFxDirEntry entry;
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

TEST(PlatformProcesses, MissingProgramsAnswerMinusOne) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  EXPECT_EQ(-1, FxPlatformRunProgram("no-such-program-here", nullptr));
  EXPECT_EQ(-1, FxPlatformRunProgram((dir / "missing").c_str(), nullptr));
  EXPECT_EQ(-1, FxPlatformRunProgram("", nullptr));
  WriteFile(dir / "notexec", "#!/bin/sh\nexit 0\n");
  EXPECT_EQ(-1, FxPlatformRunProgram("notexec", nullptr));
}

}  // namespace
