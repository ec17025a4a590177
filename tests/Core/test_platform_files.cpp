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
cFxWString Wide(const std::string& path) {
  const std::u16string units = FxPlatformNameUnits(path.data(), static_cast<uint32_t>(path.size()));
  return cFxWString(units.data(), static_cast<uint32_t>(units.size()));
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

TEST(PlatformMutex, LockWaitsAtMostItsTimeout) {
  void* mutex = FxPlatformMutexCreate();
  ASSERT_NE(nullptr, mutex);
  ASSERT_TRUE(FxPlatformMutexLock(mutex, 5000));
  std::atomic<int> gotIt{-1};
  std::thread([&] { gotIt = FxPlatformMutexLock(mutex, 50) ? 1 : 0; }).join();
  EXPECT_EQ(0, gotIt.load());
  FxPlatformMutexUnlock(mutex);
  std::thread([&] {
    gotIt = FxPlatformMutexLock(mutex, 50) ? 1 : 0;
    if (gotIt == 1) FxPlatformMutexUnlock(mutex);
  }).join();
  EXPECT_EQ(1, gotIt.load());
  FxPlatformMutexClose(mutex);
}

TEST(PlatformNames, Utf8NamesBecomeTheirTextAndEveryOtherByteRoundTrips) {
  const struct {
    std::string mBytes;
    std::u16string mText;
  } cases[] = {
      {"plain.xml", u"plain.xml"},
      {"St\xC3\xA4" "dte/caf\xC3\xA9", u"St\u00E4dte/caf\u00E9"},
      {"\xE2\x82\xAC \xEF\xBF\xBF", u"\u20AC \uFFFF"},
      {"\xF0\x9F\x9A\x82", u"\U0001F682"},  // a surrogate pair
      {"caf\xE9", u"caf\xDCE9"},              // a Latin-1 byte
      {"\xC3(\xC3", u"\xDCC3(\xDCC3"},       // cut sequences
      {"\x80\xBF\xFF\xFE", u"\xDC80\xDCBF\xDCFF\xDCFE"},
      // Overlong forms, an encoded surrogate, a value beyond U+10FFFF.
      {"\xC0\xAF\xE0\x9F\xBF", u"\xDCC0\xDCAF\xDCE0\xDC9F\xDCBF"},
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.mText, FxPlatformNameUnits(c.mBytes.data(), static_cast<uint32_t>(c.mBytes.size())))
        << c.mBytes;
    EXPECT_EQ(c.mBytes, FxPlatformNameBytes(c.mText.data(), static_cast<uint32_t>(c.mText.size())))
        << c.mBytes;
  }
  // Text no name gives still has bytes: a lone surrogate in three-byte form.
  EXPECT_EQ("\xED\xA0\x80\xED\xB0\x80", FxPlatformNameBytes(u"\xD800\xDC00", 1) +
                                               FxPlatformNameBytes(u"\xDC00", 1));

  // The current directory enters the same way.
  TempDir dir;
  const std::string name = "W\xC3\xB6rk\xFF";
  fs::create_directory(dir.Path() / name);
  cInDirectory inside(dir.Path() / name);
  wchar16 buffer[4096];
  const uint32_t length = FxPlatformGetCurrentDirectory(buffer, 4096);
  const std::u16string current(buffer, length);
  EXPECT_EQ(u"/W\u00F6rk\xDCFF", current.substr(current.size() - 6));
  EXPECT_EQ(0u, FxPlatformGetCurrentDirectory(buffer, length));  // no room for the terminator
}

TEST(PlatformFiles, AccessAndMakeReadWrite) {
  TempDir dir;
  WriteFile(dir / "a.xml", "x");
  EXPECT_EQ(eFxAccessWritable, FxPlatformAccessReadWrite(Wide(dir / "a.xml").c_str()));
  EXPECT_EQ(eFxAccessMissing, FxPlatformAccessReadWrite(Wide(dir / "b.xml").c_str()));
  EXPECT_EQ(eFxAccessMissing, FxPlatformAccessReadWrite(Wide(dir / "a.xml/c").c_str()));
  fs::permissions(dir / "a.xml", fs::perms::owner_read | fs::perms::group_read, fs::perm_options::replace);
  std::FILE* probe = std::fopen((dir / "a.xml").c_str(), "r+");
  if (probe != nullptr)  // permissions do not bind this user
    std::fclose(probe);
  else
    EXPECT_EQ(eFxAccessReadOnly, FxPlatformAccessReadWrite(Wide(dir / "a.xml").c_str()));
  ASSERT_TRUE(FxPlatformMakeReadWrite(Wide(dir / "a.xml").c_str()));
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
            fs::status(dir / "a.xml").permissions());
  EXPECT_FALSE(FxPlatformMakeReadWrite(Wide(dir / "missing").c_str()));
}

TEST(PlatformFiles, ReplaceAndDeleteByteNames) {
  TempDir dir;
  const std::string target = dir / "caf\xE9.xml";  // a Latin-1 byte, not UTF-8
  const cFxWString wide = Wide(target);
  WriteFile(target, "old");
  WriteFile(dir / "a.temp", "new");
  ASSERT_TRUE(FxPlatformReplaceFile(Wide(dir / "a.temp").c_str(), wide.c_str()));
  EXPECT_EQ("new", ReadFile(target));
  EXPECT_FALSE(test::FileExists(dir / "a.temp"));
  EXPECT_FALSE(FxPlatformReplaceFile(Wide(dir / "gone.temp").c_str(), wide.c_str()));
  EXPECT_EQ("new", ReadFile(target));  // a failed replace leaves the target as it was
  EXPECT_TRUE(FxPlatformDeleteFile(wide.c_str()));
  EXPECT_FALSE(test::FileExists(target));
  EXPECT_FALSE(FxPlatformDeleteFile(wide.c_str()));
}

TEST(PlatformDirectories, FindListsEveryEntryWithItsKind) {
  TempDir dir;
  WriteFile(dir / "caf\xE9.bin", "x");
  fs::create_directory(dir.Path() / "sub");
  fs::create_directory_symlink(dir.Path() / "sub", dir.Path() / "link");
  fs::create_symlink(dir / "caf\xE9.bin", dir.Path() / "filelink");
  fs::create_symlink(dir / "gone", dir.Path() / "dangling");
  ASSERT_EQ(0, test::Run("mkfifo", {"fifo.xml"}, dir.Path()).status);
  fs::create_symlink(dir / "fifo.xml", dir.Path() / "fifolink.xml");
  std::map<std::u16string, eFxEntryKind> found;
  sFxDirEntry entry;
  cFxDirSearch* search = FxPlatformFindFirst(Wide(dir.Path().string()).c_str(), entry);
  ASSERT_NE(nullptr, search);
  eFxFindResult result = eFxFindFound;
  for (; result == eFxFindFound; result = FxPlatformFindNext(search, entry))
    found[std::u16string(entry.mName.c_str())] = entry.mKind;
  EXPECT_EQ(eFxFindNoMore, result);
  FxPlatformFindClose(search);
  const std::map<std::u16string, eFxEntryKind> expected = {
      {u".", eFxEntryDirectory},       {u"..", eFxEntryDirectory},
      {u"sub", eFxEntryDirectory},     {u"link", eFxEntryDirectory},
      {u"caf\xDCE9.bin", eFxEntryFile}, {u"filelink", eFxEntryFile},
      {u"dangling", eFxEntryFile},     {u"fifo.xml", eFxEntrySpecial},
      {u"fifolink.xml", eFxEntrySpecial}};
  EXPECT_EQ(expected, found);
  EXPECT_EQ(nullptr, FxPlatformFindFirst(Wide(dir / "missing").c_str(), entry));
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

TEST(PlatformProcesses, ArgumentsPassUnchangedAndTheCurrentDirectoryComesFirst) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  WriteFile(dir / "true", "#!/bin/sh\nprintf '%s|' \"$@\" > args.txt\nexit 7\n");  // shadows the system's
  fs::permissions(dir / "true", fs::perms::owner_all);
  const char* args[] = {"a b", "it's", "$HOME", "*", nullptr};
  EXPECT_EQ(7, FxPlatformRunProgram("true", args));
  EXPECT_EQ("a b|it's|$HOME|*|", ReadFile(dir / "args.txt"));  // no shell between
  fs::remove(dir / "true");
  EXPECT_EQ(0, FxPlatformRunProgram("true", nullptr));  // now from PATH
  WriteFile(dir / "notexec", "#!/bin/sh\nexit 0\n");
  for (const std::string& program : {std::string("no-such-program-here"), std::string(), std::string("notexec")})
    EXPECT_EQ(-1, FxPlatformRunProgram(program.c_str(), nullptr)) << program;
}

TEST(PlatformProcesses, StartedProgramsRunTogetherAndEachIsReapedOnceWithItsStatus) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  // Each child waits until all three have started, so they must overlap.
  WriteFile(dir / "child",
            "#!/bin/sh\ntouch started.$1\nwhile [ ! -e started.1 ] || [ ! -e started.2 ] || "
            "[ ! -e started.3 ]; do sleep 0.01; done\nexit $1\n");
  fs::permissions(dir / "child", fs::perms::owner_all);
  std::map<uint32_t, int> started;  // token -> the status its child exits with
  for (const char* status : {"3", "1", "2"}) {
    const char* args[] = {status, nullptr};
    const uint32_t token = FxPlatformStartProgram("child", args);
    ASSERT_NE(0u, token);
    EXPECT_EQ(0u, started.count(token)) << "tokens are distinct";
    started[token] = std::stoi(status);
  }
  EXPECT_EQ(0u, FxPlatformStartProgram("no-such-program-here", nullptr));
  EXPECT_EQ(3u, FxPlatformRunningProgramCount());

  std::map<uint32_t, int> ended;
  for (int i = 0; i < 3; ++i) {
    int status = -2;
    const uint32_t token = FxPlatformWaitForAnyProgram(&status);
    ended[token] = status;
    EXPECT_EQ(2u - i, FxPlatformRunningProgramCount());
  }
  EXPECT_EQ(started, ended);
  EXPECT_EQ(0u, FxPlatformWaitForAnyProgram(nullptr)) << "nothing left: answered at once";

  // Waiting for all waits for each child to its end.
  WriteFile(dir / "late", "#!/bin/sh\nsleep 0.2\ntouch done.$1\n");
  fs::permissions(dir / "late", fs::perms::owner_all);
  for (const char* name : {"a", "b"}) {
    const char* args[] = {name, nullptr};
    ASSERT_NE(0u, FxPlatformStartProgram("late", args));
  }
  FxPlatformWaitForAllPrograms();
  EXPECT_EQ(0u, FxPlatformRunningProgramCount());
  EXPECT_TRUE(fs::exists(dir.Path() / "done.a") && fs::exists(dir.Path() / "done.b"));
}

TEST(PlatformEnvironment, ReadsAVariableOrNullWhenUnset) {
  const char* path = FxPlatformGetEnvironment("PATH");
  ASSERT_NE(nullptr, path);
  EXPECT_NE(std::string(path).find("/bin"), std::string::npos);
  EXPECT_EQ(nullptr, FxPlatformGetEnvironment("GLOSSMILL_NO_SUCH_VARIABLE"));
}

}  // namespace

namespace {

TEST(PlatformProcesses, QuietRunDiscardsOnlyStandardOutput) {
  TempDir dir;
  cInDirectory inside(dir.Path());
  // Exit 3 when standard output goes nowhere and standard error is ours.
  WriteFile(dir / "probe",
            "#!/bin/sh\n[ \"$(readlink /proc/$$/fd/1)\" = /dev/null ] || exit 4\n"
            "[ \"$(readlink /proc/$$/fd/2)\" = \"$(readlink /proc/$PPID/fd/2)\" ] || exit 5\n"
            "printf '%s|' \"$@\" > args.txt\nexit 3\n");
  fs::permissions(dir / "probe", fs::perms::owner_all);
  const char* args[] = {"a b", "$HOME", nullptr};
  EXPECT_EQ(3, FxPlatformRunProgramQuietly("probe", args));
  EXPECT_EQ("a b|$HOME|", ReadFile(dir / "args.txt"));
  EXPECT_EQ(-1, FxPlatformRunProgramQuietly("no-such-program-here", nullptr));
}

}  // namespace
