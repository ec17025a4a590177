// The seam's file, directory, process and mutex services on real files, where
// they do more than the runs that use them can show.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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
  explicit cInDirectory(const fs::path& directory) : mPrevious(fs::current_path()) { fs::current_path(directory); }
  ~cInDirectory() { fs::current_path(mPrevious); }

 private:
  fs::path mPrevious;
};

TEST(PlatformMutex, LockWaitsAtMostItsTimeout) {
  void* mutex = FxPlatformMutexCreate();
  ASSERT_NE(nullptr, mutex);
  ASSERT_TRUE(FxPlatformMutexLock(mutex, 5000));
  std::atomic<bool> gotIt{false};
  const auto tryLock = [&] {
    if ((gotIt = FxPlatformMutexLock(mutex, 50))) FxPlatformMutexUnlock(mutex);
  };
  std::thread(tryLock).join();
  EXPECT_FALSE(gotIt);
  FxPlatformMutexUnlock(mutex);
  std::thread(tryLock).join();
  EXPECT_TRUE(gotIt);
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
  const struct { std::string mBytes; std::u16string mText; } cases[] = {
      {"St\xC3\xA4" "dte/caf\xC3\xA9", u"St\u00E4dte/caf\u00E9"}, {"\xE2\x82\xAC \xEF\xBF\xBF", u"\u20AC \uFFFF"},
      {"\xF0\x9F\x9A\x82", u"\U0001F682"},  // a surrogate pair
      {"caf\xE9", u"caf\xDCE9"}, {"\x80\xBF\xFF\xFE", u"\xDC80\xDCBF\xDCFF\xDCFE"},  // bytes that start nothing
      {"\xC3(\xC3", u"\xDCC3(\xDCC3"},  // cut sequences
      // Overlong forms, an encoded surrogate, a value beyond U+10FFFF.
      {"\xC0\xAF\xE0\x9F\xBF", u"\xDCC0\xDCAF\xDCE0\xDC9F\xDCBF"}, {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.mText, FxPlatformNameUnits(c.mBytes.data(), static_cast<uint32_t>(c.mBytes.size()))) << c.mBytes;
    EXPECT_EQ(c.mBytes, FxPlatformNameBytes(c.mText.data(), static_cast<uint32_t>(c.mText.size()))) << c.mBytes;
  }
  // Text no name gives still has bytes: a lone surrogate in three-byte form.
  EXPECT_EQ("\xED\xA0\x80\xED\xB0\x80", FxPlatformNameBytes(u"\xD800\xDC00", 1) + FxPlatformNameBytes(u"\xDC00", 1));
}
#endif

// The runs cannot show it where permissions do not bind (a run as root).
TEST(PlatformFiles, MakeReadWriteGivesTheOwnerWriteAccess) {
  TempDir dir;
  WriteFile(dir / "a.xml", "x");
  fs::permissions(dir / "a.xml", fs::perms::owner_read, fs::perm_options::replace);
  ASSERT_TRUE(FxPlatformMakeReadWrite(Wide(dir / "a.xml").c_str()).IsOk());
  EXPECT_NE(fs::perms::none, fs::status(dir / "a.xml").permissions() & fs::perms::owner_write);
  EXPECT_TRUE(FxPlatformMakeReadWrite(Wide(dir / "missing").c_str()).IsMissing());
}

// Windows refuses to replace a file somebody holds open: a holder that lets
// go a moment later (another thread of the run, a virus scanner) must not
// cost the translator a data file's update.
TEST(PlatformFiles, ReplaceOutlastsAMomentaryHolderOfTheTarget) {
  TempDir dir;
  WriteFile(dir / "a.xml", "old");
  WriteFile(dir / "a.xml.temp", "new");
  intptr_t held = -1;
  uint64_t size = 0;
  ASSERT_TRUE(FxPlatformOpenFileForReading((dir / "a.xml").c_str(), held, size).IsOk());
  std::thread holder([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    FxPlatformCloseFile(held);
  });
  const cFxOsResult replaced = FxPlatformReplaceFile(Wide(dir / "a.xml.temp").c_str(), Wide(dir / "a.xml").c_str());
  holder.join();
  EXPECT_TRUE(replaced.IsOk()) << replaced.Text();
  EXPECT_EQ("new", ReadFile(dir / "a.xml"));
  EXPECT_FALSE(fs::exists(dir / "a.xml.temp"));
}

TEST(PlatformDirectories, FindListsEveryEntryWithItsKind) {
  TempDir dir;
  WriteFile(dir / "a.bin", "x");
  fs::create_directory(dir.Path() / "sub");
  std::map<std::u16string, eFxEntryKind> expected = {
      {u".", eFxEntryDirectory}, {u"..", eFxEntryDirectory}, {u"sub", eFxEntryDirectory}, {u"a.bin", eFxEntryFile}};
#ifndef _WIN32
  // Links, FIFOs and byte names: POSIX only (making links on Windows needs a
  // privilege users rarely hold, Windows keeps no FIFOs in directories, and
  // its names are 16-bit text). A link has the kind of what it leads to.
  WriteFile(dir / "caf\xE9.bin", "x");
  fs::create_directory_symlink(dir.Path() / "sub", dir.Path() / "link");
  fs::create_symlink(dir / "caf\xE9.bin", dir.Path() / "filelink");
  fs::create_symlink(dir / "gone", dir.Path() / "dangling");
  ASSERT_EQ(0, test::Run("mkfifo", {"fifo.xml"}, dir.Path()).status);
  fs::create_symlink(dir / "fifo.xml", dir.Path() / "fifolink.xml");
  expected.insert({{u"link", eFxEntryDirectory}, {u"caf\xDCE9.bin", eFxEntryFile}, {u"filelink", eFxEntryFile},
                   {u"dangling", eFxEntryFile}, {u"fifo.xml", eFxEntrySpecial}, {u"fifolink.xml", eFxEntrySpecial}});
#endif
  std::map<std::u16string, eFxEntryKind> found;
  sFxDirEntry entry;
  cFxDirSearch* search = nullptr;
  cFxOsResult result = FxPlatformFindFirst(Wide(dir.Path().string()).c_str(), nullptr, search, entry);
  ASSERT_NE(nullptr, search);
  for (; result.IsOk(); result = FxPlatformFindNext(search, entry))
    found[std::u16string(entry.mName.c_str())] = entry.mKind;
  EXPECT_TRUE(FxPlatformFindClose(search).IsOk());
  EXPECT_TRUE(result.IsEnd()) << result.Text();
  EXPECT_EQ(expected, found);
  EXPECT_TRUE(FxPlatformFindFirst(Wide(dir / "missing").c_str(), nullptr, search, entry).IsMissing());
}

// A search tells the identity its directory's name gives, through a link
// too, and two directories apart.
TEST(PlatformDirectories, SearchHasTheIdentityOfItsDirectory) {
  TempDir dir;
  fs::create_directory(dir.Path() / "a");
  fs::create_directory(dir.Path() / "b");
  std::vector<std::string> names = {dir / "a", dir / "b"};
#ifndef _WIN32
  fs::create_directory_symlink(dir.Path() / "a", dir.Path() / "link");
  names.push_back(dir / "link");
#endif
  std::vector<std::pair<uint64_t, uint64_t>> identities;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    sFxDirEntry entry;
    cFxDirSearch* search = nullptr;
    ASSERT_TRUE(FxPlatformFindFirst(Wide(name).c_str(), nullptr, search, entry).IsOk());
    uint64_t volume = 0, file = 0, nameVolume = 1, nameFile = 1;
    EXPECT_TRUE(FxPlatformGetSearchIdentity(search, &volume, &file).IsOk());
    FxPlatformFindClose(search);
    ASSERT_TRUE(FxPlatformGetDirectoryIdentity(Wide(name).c_str(), &nameVolume, &nameFile).IsOk());
    EXPECT_EQ(std::make_pair(nameVolume, nameFile), std::make_pair(volume, file));
    identities.push_back({volume, file});
  }
  EXPECT_NE(identities[0], identities[1]);
}

// One holder at a time for every spelling of a directory; another directory
// is free, and a lock let go is free again. The other holder here is a
// thread of its own, which a Windows mutex tells apart from its owner as a
// POSIX lock tells apart two openings of the directory.
TEST(PlatformTreeLock, OneHolderAtATimeForEverySpellingOfTheDirectory) {
  TempDir dir;
  fs::create_directories(dir.Path() / "tree" / "sub");
  fs::create_directory(dir.Path() / "other");
  const auto takeElsewhere = [](const std::string& directory) {
    eFxTreeLock result = eFxTreeLockNone;
    std::thread([&] {
      intptr_t lock = 0;
      result = FxPlatformLockTree(Wide(directory).c_str(), lock);
      if (result == eFxTreeLockTaken) FxPlatformUnlockTree(lock);
    }).join();
    return result;
  };
  intptr_t held = 0;
  ASSERT_EQ(eFxTreeLockTaken, FxPlatformLockTree(Wide(dir / "tree").c_str(), held));
  std::vector<std::string> spellings = {dir / "tree", test::Native(dir / "tree/sub/..")};
#ifdef _WIN32
  std::string upper = dir / "tree";
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  spellings.push_back(upper);
#else
  fs::create_directory_symlink(dir.Path() / "tree", dir.Path() / "link");
  spellings.push_back(dir / "link");
#endif
  for (const std::string& spelling : spellings) EXPECT_EQ(eFxTreeLockBusy, takeElsewhere(spelling)) << spelling;
  EXPECT_EQ(eFxTreeLockTaken, takeElsewhere(dir / "other"));
  EXPECT_EQ(eFxTreeLockNone, takeElsewhere(dir / "missing"));
  FxPlatformUnlockTree(held);
  EXPECT_EQ(eFxTreeLockTaken, takeElsewhere(dir / "tree"));
}

TEST(PlatformProcesses, ArgumentsArriveUnchangedInTheChildsDirectoryAndOutputFiles) {
  TempDir dir;
  fs::create_directory(dir.Path() / "work dir");
  const std::string workDir = fs::canonical(dir.Path() / "work dir").string();
  const char* args[] = {"7", "a b", "it's", "$HOME", "*", "\"quoted\"", "back\\slash\\", "", "%PATH%", nullptr};
  const std::string out = dir / "out.txt", err = dir / "err.txt", missingDir = dir / "missing";
  sFxProgramSetup setup = {workDir.c_str(), out.c_str(), err.c_str()};
  int status = 0;
  ASSERT_TRUE(FxPlatformRunProgram(test::ProbeExe().c_str(), args, &status, setup).IsOk());
  EXPECT_EQ(7, status);
  EXPECT_EQ("a b|it's|$HOME|*|\"quoted\"|back\\slash\\||%PATH%|", ReadFile(out));  // no shell between
  EXPECT_EQ(workDir, ReadFile(err));
  // The fatal error's status as the platform's shell reports it; output
  // that is discarded goes nowhere, the file named for it is left alone.
  const char* fatal[] = {"-1", "gone", nullptr};
  setup.mOutputFile = cFxDiscardedOutput;
  ASSERT_TRUE(FxPlatformRunProgram(test::ProbeExe().c_str(), fatal, &status, setup).IsOk());
  EXPECT_EQ(test::kFatalExitStatus, status);
  EXPECT_EQ("a b|it's|$HOME|*|\"quoted\"|back\\slash\\||%PATH%|", ReadFile(out));
  EXPECT_TRUE(FxPlatformRunProgram((dir / "missing.exe").c_str(), args, &status, setup).IsMissing());
  // Variables given for the child take the place of the caller's of that
  // name; the caller's others reach it as they are.
  test::ScopedEnvironment own("PROBE_A", "own"), kept("PROBE_B", "kept");
  const char* const given[] = {"PROBE_A=given", nullptr};
  setup.mOutputFile = out.c_str();
  setup.mEnvironment = given;
  ASSERT_TRUE(FxPlatformRunProgram(test::ProbeExe().c_str(), fatal, &status, setup).IsOk());
  EXPECT_EQ("A=given|B=kept|gone|", ReadFile(out));
  setup.mWorkingDirectory = missingDir.c_str();
  EXPECT_FALSE(FxPlatformRunProgram(test::ProbeExe().c_str(), args, &status, setup).IsOk());
}

// A start by name looks in the child's working directory, then along the
// path; FxPlatformFindProgram answers the file from the root: here first
// when asked, else along the path, a name with a directory as it stands. The
// runs of the serializer through wine show the rest: a Windows program found
// without execute permission, and the reasons given when no file counts.
TEST(PlatformProcesses, ProgramIsLookedUpInTheWorkingDirectoryThenAlongThePath) {
  TempDir dir;
  for (const char* sub : {"here", "there", "on path"}) fs::create_directory(dir.Path() / sub);
  cInDirectory inside(dir.Path() / "here");
  wchar16 current[4096];
  const uint32_t length = FxPlatformGetCurrentDirectory(current, 4096);
  EXPECT_EQ(u"here", std::u16string(current, length).substr(length - 4));
  EXPECT_EQ(0u, FxPlatformGetCurrentDirectory(current, length));  // no room for the terminator
  test::ScopedEnvironment path("PATH", (dir.Path() / "on path").string());
  EXPECT_STREQ((dir.Path() / "on path").string().c_str(), FxPlatformGetEnvironment("PATH"));
  EXPECT_EQ(nullptr, FxPlatformGetEnvironment("GLOSSMILL_NO_SUCH_VARIABLE"));
  // probe.exe's status when started by name from `directory` (the
  // caller's when empty), -1 when it does not start.
  const char* five[] = {"5", nullptr};
  const auto run = [](const char* const* args, const std::string& directory) {
    const sFxProgramSetup setup = {directory.empty() ? nullptr : directory.c_str(), nullptr, cFxDiscardedOutput};
    int status = -2;
    return FxPlatformRunProgram("probe.exe", args, &status, setup).IsOk() ? status : -1;
  };
  // A file on the path that cannot run is never reached while the current
  // directory holds the program; a child with a working directory of its
  // own looks there, not here.
  WriteFile(dir / "on path/probe.exe", "not a program");
  fs::copy_file(test::ProbeExe(), dir.Path() / "here" / "probe.exe");
  EXPECT_EQ(5, run(five, ""));
  EXPECT_EQ(-1, run(five, dir / "there"));
  fs::copy_file(test::ProbeExe(), dir.Path() / "there" / "probe.exe");
  EXPECT_EQ(5, run(five, dir / "there"));
  fs::remove(dir.Path() / "here" / "probe.exe");
  fs::copy_file(test::ProbeExe(), dir.Path() / "on path" / "probe.exe", fs::copy_options::overwrite_existing);
  EXPECT_EQ(0, run(nullptr, ""));
  int status = 0;
  EXPECT_TRUE(FxPlatformRunProgram("no-such-program-here", nullptr, &status).IsMissing());
  fs::copy_file(test::ProbeExe(), dir.Path() / "here" / "probe.exe");
  const auto finds = [&dir](const std::string& program, bool here) {
    std::string found;
    const cFxOsResult result = FxPlatformFindProgram(program.c_str(), here, found);
    if (!result.IsOk() || !fs::path(found).is_absolute()) return "not found: " + result.Text() + found;
    return fs::relative(fs::canonical(found), fs::canonical(dir.Path())).generic_string();
  };
  EXPECT_EQ("here/probe.exe", finds("probe.exe", true));
  EXPECT_EQ("on path/probe.exe", finds("probe.exe", false));
  EXPECT_EQ("there/probe.exe", finds((fs::path("..") / "there" / "probe.exe").string(), false));
  std::string found;
  EXPECT_TRUE(FxPlatformFindProgram("no-such-program-here", true, found).IsMissing());
  EXPECT_TRUE(FxPlatformFindProgram((dir / "there").c_str(), true, found).IsDenied());  // a directory
  EXPECT_FALSE(FxPlatformIsWindowsProgram(test::ProbeExe().c_str()));
#ifndef _WIN32
  // A file here without execute permission is passed over for the path's.
  WriteFile(dir / "here/text.exe", "not a program");
  WriteFile(dir / "on path/text.exe", "not a program");
  fs::permissions(dir / "on path/text.exe", fs::perms::owner_all);
  EXPECT_EQ("on path/text.exe", finds("text.exe", true));
  EXPECT_EQ("Permission denied", FxPlatformFindProgram("./text.exe", true, found).Text());
  EXPECT_EQ("Permission denied", FxPlatformLastErrorText());
#endif
}

#ifndef _WIN32
// The program ignores the signals by which a failed write would end it
// (SIGPIPE, SIGXFSZ); a program it starts gets them back, and one that
// writes beyond the file-size limit ends as it would anywhere else.
TEST(PlatformProcesses, ChildrenGetTheSignalsOfFailedWritesBack) {
  FxPlatformKeepRunningWhenWritesFail();
  TempDir dir;
  const std::string directory = dir.Path().string();
  const sFxProgramSetup setup = {directory.c_str()};
  const char* args[] = {"-c", "ulimit -f 1 && exec head -c 4096 /dev/zero >big", nullptr};
  int status = 0;
  ASSERT_TRUE(FxPlatformRunProgram("sh", args, &status, setup).IsOk());
  EXPECT_EQ(128 + 25, status);  // ended by SIGXFSZ
  EXPECT_EQ(512u, ReadFile(dir / "big").size());
}
#endif

}  // namespace
