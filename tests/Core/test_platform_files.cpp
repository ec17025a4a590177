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

#ifdef _WIN32
TEST(PlatformNames, EightBitFormsKeepTheLowByteOfEachUnit) {
  // Windows names are 16-bit text; the few places that reduce one to bytes
  // keep the low byte, and a byte comes back sign-extended.
  EXPECT_EQ(u"caf\xFFE9", FxPlatformNameUnits("caf\xE9", 4));
  EXPECT_EQ("caf\xE9\x16", FxPlatformNameBytes(u"caf\u00E9\u0416", 5));
  EXPECT_EQ("caf\xE9", FxPlatformNameBytes(u"caf\xFFE9", 4));
}
#else
// POSIX names are bytes, read as UTF-8 where they are.
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
#endif

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
#ifdef _WIN32
  // Windows knows only the read-only attribute.
  EXPECT_NE(fs::perms::none, fs::status(dir / "a.xml").permissions() & fs::perms::owner_write);
#else
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
            fs::status(dir / "a.xml").permissions());
#endif
  EXPECT_FALSE(FxPlatformMakeReadWrite(Wide(dir / "missing").c_str()));
}

TEST(PlatformFiles, ReplaceAndDelete) {
  TempDir dir;
#ifdef _WIN32
  const std::string target = dir / "cafe.xml";
#else
  const std::string target = dir / "caf\xE9.xml";  // a Latin-1 byte, not UTF-8
#endif
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
  WriteFile(dir / "a.bin", "x");
  fs::create_directory(dir.Path() / "sub");
#ifndef _WIN32
  // Links, FIFOs and byte names: POSIX only (making links on Windows needs a
  // privilege users rarely hold, Windows keeps no FIFOs in directories, and
  // its names are 16-bit text).
  WriteFile(dir / "caf\xE9.bin", "x");
  fs::create_directory_symlink(dir.Path() / "sub", dir.Path() / "link");
  fs::create_symlink(dir / "caf\xE9.bin", dir.Path() / "filelink");
  fs::create_symlink(dir / "gone", dir.Path() / "dangling");
  ASSERT_EQ(0, test::Run("mkfifo", {"fifo.xml"}, dir.Path()).status);
  fs::create_symlink(dir / "fifo.xml", dir.Path() / "fifolink.xml");
#endif
  std::map<std::u16string, eFxEntryKind> found;
  sFxDirEntry entry;
  cFxDirSearch* search = FxPlatformFindFirst(Wide(dir.Path().string()).c_str(), entry);
  ASSERT_NE(nullptr, search);
  eFxFindResult result = eFxFindFound;
  for (; result == eFxFindFound; result = FxPlatformFindNext(search, entry))
    found[std::u16string(entry.mName.c_str())] = entry.mKind;
  EXPECT_EQ(eFxFindNoMore, result);
  FxPlatformFindClose(search);
  std::map<std::u16string, eFxEntryKind> expected = {
      {u".", eFxEntryDirectory}, {u"..", eFxEntryDirectory},
      {u"sub", eFxEntryDirectory}, {u"a.bin", eFxEntryFile}};
#ifndef _WIN32
  expected.insert({{u"link", eFxEntryDirectory},    {u"caf\xDCE9.bin", eFxEntryFile},
                   {u"filelink", eFxEntryFile},     {u"dangling", eFxEntryFile},
                   {u"fifo.xml", eFxEntrySpecial}, {u"fifolink.xml", eFxEntrySpecial}});
#endif
  EXPECT_EQ(expected, found);
  EXPECT_EQ(nullptr, FxPlatformFindFirst(Wide(dir / "missing").c_str(), entry));
}

TEST(PlatformDirectories, IdentityTellsDirectoriesApart) {
  TempDir dir;
  fs::create_directory(dir.Path() / "a");
  fs::create_directory(dir.Path() / "b");
  uint64_t volumeA, fileA, volumeB, fileB, volumeAgain, fileAgain;
  ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(dir / "a").c_str(), &volumeA, &fileA));
  ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(dir / "b").c_str(), &volumeB, &fileB));
  ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(dir / "b/../a").c_str(), &volumeAgain, &fileAgain));
  EXPECT_EQ(volumeA, volumeB);
  EXPECT_EQ(fileA, fileAgain);
  EXPECT_NE(fileA, fileB);
#ifndef _WIN32
  // Through a link (POSIX only, as above): the directory it leads to.
  fs::create_directory_symlink(dir.Path() / "a", dir.Path() / "link");
  ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(dir / "link").c_str(), &volumeAgain, &fileAgain));
  EXPECT_EQ(volumeA, volumeAgain);
  EXPECT_EQ(fileA, fileAgain);
#endif
  EXPECT_FALSE(FxPlatformGetDirectoryIdentity(Wide(dir / "c").c_str(), &volumeA, &fileA));
}

TEST(PlatformProcesses, ArgumentsArriveUnchangedInTheChildsDirectoryAndOutputFiles) {
  TempDir dir;
  fs::create_directory(dir.Path() / "work dir");
  const std::string workDir = fs::canonical(dir.Path() / "work dir").string();
  const char* args[] = {"7", "a b", "it's", "$HOME", "*", "\"quoted\"", "back\\slash\\", "", "%PATH%", nullptr};
  sFxProgramSetup setup;
  setup.mWorkingDirectory = workDir.c_str();
  const std::string out = dir / "out.txt", err = dir / "err.txt";
  setup.mOutputFile = out.c_str();
  setup.mErrorFile = err.c_str();
  int status = 0;
  ASSERT_TRUE(FxPlatformRunProgram(test::ProbeExe().c_str(), args, &status, setup));
  EXPECT_EQ(7, status);
  EXPECT_EQ("a b|it's|$HOME|*|\"quoted\"|back\\slash\\||%PATH%|", ReadFile(out));  // no shell between
  EXPECT_EQ(workDir, ReadFile(err));
  // The fatal error's status as the platform's shell reports it; output
  // that is discarded goes nowhere, the file named for it is left alone.
  const char* fatal[] = {"-1", "gone", nullptr};
  setup.mOutputFile = cFxDiscardedOutput;
  ASSERT_TRUE(FxPlatformRunProgram(test::ProbeExe().c_str(), fatal, &status, setup));
  EXPECT_EQ(test::kFatalExitStatus, status);
  EXPECT_EQ("a b|it's|$HOME|*|\"quoted\"|back\\slash\\||%PATH%|", ReadFile(out));
  EXPECT_FALSE(FxPlatformRunProgram((dir / "missing.exe").c_str(), args, &status, setup));
  const std::string missingDir = dir / "missing";
  setup.mWorkingDirectory = missingDir.c_str();
  EXPECT_FALSE(FxPlatformRunProgram(test::ProbeExe().c_str(), args, &status, setup));
}

TEST(PlatformProcesses, ProgramIsLookedUpInTheWorkingDirectoryThenAlongThePath) {
  TempDir dir;
  for (const char* sub : {"here", "there", "on path"}) fs::create_directory(dir.Path() / sub);
  cInDirectory inside(dir.Path() / "here");
  test::ScopedEnvironment path("PATH", (dir.Path() / "on path").string());
  const char* args[] = {"5", nullptr};
  int status = -2;
  // A file on the path that cannot run is never reached while the current
  // directory holds the program.
  WriteFile(dir / "on path/probe.exe", "not a program");
  fs::copy_file(test::ProbeExe(), dir.Path() / "here" / "probe.exe");
  EXPECT_TRUE(FxPlatformRunProgram("probe.exe", args, &status));
  EXPECT_EQ(5, status);
  // A child with a working directory of its own looks there, not here.
  sFxProgramSetup there;
  const std::string thereDir = dir / "there";
  there.mWorkingDirectory = thereDir.c_str();
  there.mErrorFile = cFxDiscardedOutput;
  EXPECT_FALSE(FxPlatformRunProgram("probe.exe", args, &status, there));
  fs::rename(dir.Path() / "here" / "probe.exe", dir.Path() / "there" / "probe.exe");
  EXPECT_TRUE(FxPlatformRunProgram("probe.exe", args, &status, there));
  EXPECT_FALSE(FxPlatformRunProgram("probe.exe", args, &status));

  fs::remove(dir.Path() / "on path" / "probe.exe");
  fs::copy_file(test::ProbeExe(), dir.Path() / "on path" / "probe.exe");
  status = -2;
  EXPECT_TRUE(FxPlatformRunProgram("probe.exe", nullptr, &status));
  EXPECT_EQ(0, status);
  for (const std::string& program : {std::string("no-such-program-here"), std::string()})
    EXPECT_FALSE(FxPlatformRunProgram(program.c_str(), nullptr, &status)) << program;
}

TEST(PlatformProcesses, StartedProgramsRunTogetherAndEachIsReapedOnceWithItsStatus) {
  TempDir dir;
  sFxProgramSetup setup;
  const std::string workDir = dir.Path().string();
  setup.mWorkingDirectory = workDir.c_str();
  setup.mErrorFile = cFxDiscardedOutput;
  // Each child waits until all three have started, so they must overlap.
  std::map<uint32_t, int> started;  // token -> the status its child exits with
  {
    test::ScopedEnvironment together("PROBE_TOGETHER", "3");
    for (const char* status : {"3", "1", "2"}) {
      const char* args[] = {status, nullptr};
      const uint32_t token = FxPlatformStartProgram(test::ProbeExe().c_str(), args, setup);
      ASSERT_NE(0u, token);
      EXPECT_EQ(0u, started.count(token)) << "tokens are distinct";
      started[token] = std::stoi(status);
    }
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

  // Waiting for all waits for each child to its end: each writes its
  // arguments last.
  for (const char* name : {"a", "b"}) {
    const std::string out = dir / (std::string("done.") + name);
    setup.mOutputFile = out.c_str();
    const char* args[] = {"0", name, nullptr};
    ASSERT_NE(0u, FxPlatformStartProgram(test::ProbeExe().c_str(), args, setup));
  }
  FxPlatformWaitForAllPrograms();
  EXPECT_EQ(0u, FxPlatformRunningProgramCount());
  EXPECT_EQ("a|", ReadFile(dir / "done.a"));
  EXPECT_EQ("b|", ReadFile(dir / "done.b"));
}

TEST(PlatformEnvironment, ReadsAVariableOrNullWhenUnset) {
  test::ScopedEnvironment variable("GLOSSMILL_TEST_VARIABLE", "a value");
  ASSERT_NE(nullptr, FxPlatformGetEnvironment("GLOSSMILL_TEST_VARIABLE"));
  EXPECT_STREQ("a value", FxPlatformGetEnvironment("GLOSSMILL_TEST_VARIABLE"));
  EXPECT_EQ(nullptr, FxPlatformGetEnvironment("GLOSSMILL_NO_SUCH_VARIABLE"));
}

}  // namespace
