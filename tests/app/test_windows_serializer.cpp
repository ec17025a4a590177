// Game runs on Linux with a serializer that is a Windows program, as the
// game's own is: the built program starts it through wine. With a Windows
// build of the stand-in and real wine every run must leave the bytes the
// native stand-in leaves; programs that record how they were started stand
// in for wine to show its command line, and runs without a wine that starts
// must say so once and go on as a run without any serializer.
#ifndef _WIN32

#include "ContentTree.h"

namespace {

using namespace test;

const std::string cWindowsBrux = GLOSSMILL_WINDOWS_BRUX_EXE;
const std::string cWine = GLOSSMILL_TEST_WINE;

// A program that appends one line to `log` for every start: `name`, ":",
// the WINEDEBUG it was given, then "|" and each argument.
void WriteRecorder(const std::string& path, const std::string& name, const std::string& log) {
  WriteFile(path, "#!/bin/sh\n{ printf '%s:%s' '" + name + "' \"$WINEDEBUG\"; for a; do printf '|%s' \"$a\"; done;"
                  " echo; } >> '" + log + "'\n");
  fs::permissions(path, fs::perms::owner_all);
}

// A file without execute permission, as the game's serializer is in a tree
// (a Windows program copied from a Windows drive or an archive).
void WriteUnrunnable(const std::string& path, const std::string& bytes = "MZ, a Windows program") {
  WriteFile(path, bytes);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

class WindowsSerializer : public ::testing::Test {
 protected:
  // A fresh copy of `files` at the same place each time, so progress
  // lines of different runs compare as they are, with a copy of `brux` as
  // its brux.exe (a Windows one without execute permission).
  std::string FreshTree(const tFiles& files, const std::string& brux = "") {
    fs::remove_all(mTree);
    for (const auto& [name, bytes] : files) WriteFile(mTree + "/" + name, bytes);
    if (brux == BruxExe())
      fs::copy_file(brux, mTree + "/brux.exe");
    else if (!brux.empty())
      WriteUnrunnable(mTree + "/brux.exe", ReadFile(brux));
    return mTree;
  }
  // The tree's files but its brux.exe.
  tFiles Files() const {
    tFiles files = FilesBelow(mTree);
    files.erase("brux.exe");
    return files;
  }

  TempDir mDir;
  const std::string mTree = fs::canonical(mDir.Path()).string() + "/tree";
  const std::string mBin = mDir / "bin";  // a directory for PATH
};

// The sample game tree as shipped (".bin" files only, one in a directory
// with a blank), and a translations file for it with a French text in
// every line (column 7).
void MakeSampleTree(tFiles& tree, std::string& french) {
  ContentTree made;
  const std::string sample = SourceDir() + "/sample/game/";
  for (const char* folder : {"Signs", "Route Signs"})
    made.WriteBin(folder + std::string("/StationSigns.bin"), ReadFile(sample + "Signs/StationSigns.xml"));
  made.WriteBin("Trains/Locomotive.bin", ReadFile(sample + "Trains/Locomotive.xml"));
  tree = made.Files();
  made.UseSerializer();
  ASSERT_EQ(made.Glossmill({"-gx", "out.txt"}).status, 0);
  const std::vector<std::u16string> keys = Keys(made.Read("out.txt"));
  ASSERT_GT(keys.size(), 3u);
  french = FrenchFor(keys, u"Fr", true);
}

TEST_F(WindowsSerializer, GameRunsThroughWineLeaveTheNativeSerializersBytes) {
  if (cWindowsBrux.empty() || cWine.empty())
    GTEST_SKIP() << "needs wine and the Windows build of the stand-in (x86_64-w64-mingw32-g++-posix)";
  tFiles sample;
  std::string french;
  MakeSampleTree(sample, french);
  WriteFile(mDir / "french.txt", french);
  // wine in this build's prefix, its diagnostics off whatever the user's.
  ScopedEnvironment prefix("WINEPREFIX", GLOSSMILL_TEST_WINE_PREFIX), quiet("WINEDEBUG", "-all"),
      wine("GLOSSMILL_WINE", cWine);
  // A first start makes the prefix where the suite's first test has not,
  // and what wine says about that stays out of the runs' output.
  test::Run(cWine, {cWindowsBrux}, mDir.Path().string());
  for (const tTexts& args : {tTexts{"-gx", "out.txt"}, tTexts{"-gu", "../french.txt"}, tTexts{"-gr", "Livery"}}) {
    for (const tTexts& jobs : {tTexts{"GLOSSMILL_JOBS"}, tTexts{"GLOSSMILL_JOBS=4"}}) {
      SCOPED_TRACE(args[0] + " with " + jobs[0]);
      const ProcessResult native = RunGlossmillWith(jobs, args, FreshTree(sample, BruxExe()));
      const tFiles nativeFiles = Files();
      // The native run converted every ".bin" and did its work, so what
      // follows compares no two runs that failed alike.
      for (const auto& file : sample) ASSERT_TRUE(nativeFiles.count(ReplaceAll(file.first, ".bin", ".xml")));
      if (args[0] == "-gx")
        ASSERT_FALSE(LinesOf(nativeFiles.at("out.txt")).empty());
      else
        ASSERT_NE(nativeFiles.at("Trains/Locomotive.bin"), sample.at("Trains/Locomotive.bin"));

      ExpectSameRun(RunGlossmillWith(jobs, args, FreshTree(sample, cWindowsBrux)), native);
      ExpectFiles(Files(), nativeFiles);
    }
  }
}

TEST_F(WindowsSerializer, WineFromThePathGetsTheSerializerAndItsPathsOnDriveZ) {
  const std::string log = mDir / "calls";
  WriteRecorder(mBin + "/wine", "wine", log);
  WriteRecorder(mBin + "/mywine", "mywine", log);
  WriteRecorder(mDir / "elsewhere/wine", "elsewhere", log);
  const std::string path = "PATH=" + mBin;
  // The recorder that starts brux.exe, with its WINEDEBUG; empty: started
  // directly.
  const std::pair<tTexts, std::string> cases[] = {
      // wine along PATH, quiet unless asked; not the one in the tree.
      {{path, "GLOSSMILL_WINE", "WINEDEBUG"}, "wine:-all"},
      // GLOSSMILL_WINE along PATH, the user's WINEDEBUG kept.
      {{path, "GLOSSMILL_WINE=mywine", "WINEDEBUG=err+all"}, "mywine:err+all"},
      {{path, "GLOSSMILL_WINE=" + (mDir / "elsewhere/wine"), "WINEDEBUG"}, "elsewhere:-all"},
      // A native brux.exe is started directly.
      {{path, "GLOSSMILL_WINE", "WINEDEBUG"}, ""},
  };
  for (const auto& [variables, wine] : cases) {
    SCOPED_TRACE(wine);
    // Names whose bytes are not UTF-8 reach wine as they are.
    FreshTree({{"a b/c.bin", "binary"}, {"\xE9t\xE9.bin", "binary"}});
    WriteRecorder(mTree + "/wine", "in the tree", log);
    wine.empty() ? WriteRecorder(mTree + "/brux.exe", "brux", log) : WriteUnrunnable(mTree + "/brux.exe");
    fs::remove(log);
    // Both ways: every ".bin" to XML, then every XML back.
    ASSERT_EQ(RunGlossmillWith(variables, {"-gr", "Label"}, mTree).status, 0);
    const std::string start = wine.empty() ? "brux:" : wine + "|" + mTree + "/brux.exe";
    const std::string root = wine.empty() ? mTree : "Z:" + ReplaceAll(mTree, "/", "\\");
    const std::string separator = wine.empty() ? "/" : "\\";
    const std::string a = root + separator + "a b" + separator + "c", e = root + separator + "\xE9t\xE9";
    EXPECT_EQ(ReadFile(log), start + "|" + a + ".bin|" + a + ".xml|-floathex\n" + start + "|" + e + ".bin|" + e +
                                 ".xml|-floathex\n" + start + "|" + a + ".xml\n" + start + "|" + e + ".xml\n");
  }
}

TEST_F(WindowsSerializer, WithoutAWineThatStartsItIsSaidOnceAndTheRunGoesOnAsWithoutASerializer) {
  // A stale XML form goes before the conversion that cannot be made.
  const tFiles tree = {{"a.bin", "binary"}, {"a.xml", "<stale/>"}, {"b.bin", "binary"}};
  const std::string noPath = "PATH=" + mBin;
  fs::create_directories(mBin);
  const ProcessResult without = RunGlossmillWith({noPath}, {"-gr", "Label"}, FreshTree(tree));
  const tFiles withoutFiles = Files();
  // Said for each call: two conversions to XML and two back.
  std::string fourCalls;
  for (int call = 0; call < 4; ++call) fourCalls += "Error: could not run brux.exe\n";
  ASSERT_EQ(without.err, fourCalls);
  ASSERT_FALSE(withoutFiles.count("a.xml"));

  const std::string missing = mDir / "missing", unrunnable = mDir / "unrunnable";
  WriteUnrunnable(unrunnable, "#!/bin/sh\n");
  // An executable that is no program the system knows: found, then refused.
  WriteFile(mBin + "/wine", "neither a script nor a program\n");
  fs::permissions(mBin + "/wine", fs::perms::owner_all);
  fs::create_directories(mDir / "empty");
  const std::string empty = "PATH=" + (mDir / "empty");
  const auto named = [](const std::string& wine, const char* reason) {
    return "glossmill: could not start wine '" + wine + "' (GLOSSMILL_WINE): " + reason + "\n";
  };
  const std::pair<tTexts, std::string> cases[] = {
      {{empty, "GLOSSMILL_WINE"},
       "glossmill: brux.exe is a Windows program and no wine was found: install wine or set GLOSSMILL_WINE\n"},
      {{empty, "GLOSSMILL_WINE=" + missing}, named(missing, "No such file or directory")},
      {{empty, "GLOSSMILL_WINE=wine"}, named("wine", "No such file or directory")},
      {{empty, "GLOSSMILL_WINE=" + unrunnable}, named(unrunnable, "Permission denied")},
      {{noPath, "GLOSSMILL_WINE"}, "glossmill: could not start wine '" + mBin + "/wine': Exec format error\n"},
  };
  for (const auto& [variables, err] : cases) {
    for (const char* jobs : {"GLOSSMILL_JOBS", "GLOSSMILL_JOBS=4"}) {
      SCOPED_TRACE(err + " with " + jobs);
      FreshTree(tree);
      WriteUnrunnable(mTree + "/brux.exe");
      ExpectRun(RunGlossmillWith(Join({variables, {jobs}}), {"-gr", "Label"}, mTree), 0, without.out, err);
      ExpectFiles(Files(), withoutFiles);
    }
  }
}

}  // namespace

#endif
