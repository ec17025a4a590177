// Keys of a translations file name data files below the start directory and
// nothing else: every spelling of one file reaches that file, the second
// spelling's lines going into what the first one wrote, and a key that
// leads anywhere else gets its progress line, one line on standard error,
// and no reading, converting or writing. The resolution on its own, then
// the update runs of both flavours, one serializer at a time and several.

#include "ContentTree.h"
#include "app/DataFiles.h"
#include "app/KeyPaths.h"

namespace {

using namespace test;

using namespace std::string_literals;

#ifdef _WIN32
constexpr bool kWindows = true;
const std::u16string kBase = u"C:\\work\\tree";
#else
constexpr bool kWindows = false;
const std::u16string kBase = u"/work/tree";
#endif

// Keys and what each resolves to: a path below the base, "/" between
// names; "-" for a refused key.
void ExpectResolutions(const std::u16string& base, const std::vector<std::pair<std::u16string, std::string>>& rows) {
  for (const auto& [key, relative] : rows) {
    const cFxWString wideKey(key.data(), static_cast<uint32_t>(key.size()));
    SCOPED_TRACE(PrintedPath(wideKey));
    cFxWString resolved(u"untouched");
    EXPECT_EQ(ResolveKeyPath(wideKey, cFxWString(base.data(), static_cast<uint32_t>(base.size())), resolved),
              relative != "-");
    EXPECT_EQ(std::u16string(resolved.c_str(), resolved.Length()),
              relative == "-" ? u"untouched" : base + Utf16(Native("/" + relative)));
  }
}

TEST(KeyPath, ResolvesByTextAloneAndRefusesWhatLeavesTheStartDirectory) {
  const std::u16string nul(1, u'\0');
  std::vector<std::pair<std::u16string, std::string>> rows = {
      {u"\\Signs\\Warnings.xml", "Signs/Warnings.xml"}, {u"/Signs/Warnings.xml", "Signs/Warnings.xml"},
      {u"\\Signs\\.\\Warnings.xml", "Signs/Warnings.xml"}, {u"\\Signs\\\\Warnings.xml", "Signs/Warnings.xml"},
      {u"\\Signs\\..\\Signs\\Warnings.xml", "Signs/Warnings.xml"},
      {u"\\Signs/./\\Warnings.xml\\.\\", "Signs/Warnings.xml"}, {u"\\a\\b\\..\\..\\c.xml", "c.xml"},
      {u"\\St\u00E4dte\\caf\u00E9.xml", "St\xC3\xA4" "dte/caf\xC3\xA9.xml"}, {u"\\..a\\b..c\\.x.xml", "..a/b..c/.x.xml"},
      // The system gets a name up to its NUL.
      {u"\\Signs\\Warnings.xml" + nul + u"\\..\\..\\junk", "Signs/Warnings.xml"}, {u"\\..\\x.xml" + nul, "-"},
      {nul + u"\\x.xml", "-"},
      // No separator first: joined to the start directory's own name.
      {u"", "-"}, {u"x.xml", "-"}, {u"Signs\\Warnings.xml", "-"},
      // A share.
      {u"\\\\server\\share\\x.xml", "-"}, {u"//server/share/x.xml", "-"}, {u"\\/x.xml", "-"},
      // Above the start directory, even on the way back into it.
      {u"\\..\\x.xml", "-"}, {u"\\Signs\\..\\..\\x.xml", "-"}, {u"\\..\\tree\\x.xml", "-"},
      // The start directory itself.
      {u"\\", "-"}, {u"\\.", "-"}, {u"\\Signs\\..", "-"},
  };
  // Names Windows takes for a drive, a stream, a device or another name
  // are files like any other on POSIX, where extraction writes them. A
  // Windows name reaches the system as the low byte of each unit: there
  // U+012E is ".", U+015C "\" and U+0100 a NUL.
  const std::tuple<std::u16string, std::string, std::string> windowsOtherwise[] = {
      {u"\\C:\\x.xml", "-", "C:/x.xml"}, {u"\\c:x.xml", "-", "c:x.xml"}, {u"\\x.xml:stream", "-", "x.xml:stream"},
      {u"\\nul.xml", "-", "nul.xml"}, {u"\\Sub\\CON", "-", "Sub/CON"}, {u"\\com1.txt", "-", "com1.txt"},
      {u"\\a.", "-", "a."}, {u"\\a ", "-", "a "}, {u"\\...\\x.xml", "-", ".../x.xml"}, {u"\\.. \\x.xml", "-", ".. /x.xml"},
      {u"\\\u012E\u012E\\x.xml", "-", "\xC4\xAE\xC4\xAE/x.xml"}, {u"\\a\u015C" u"b.xml", "a/b.xml", "a\xC5\x9C" "b.xml"},
      {u"\\a.xml\u0100junk", "a.xml", "a.xml\xC4\x80junk"}};
  for (const auto& [key, windows, posix] : windowsOtherwise) rows.push_back({key, kWindows ? windows : posix});
  ExpectResolutions(kBase, rows);
  // Below a root, whose base is empty or a drive.
  ExpectResolutions(kWindows ? u"C:" : u"",
                    {{u"\\a.xml", "a.xml"}, {u"\\a\\..\\b.xml", "b.xml"}, {u"\\..\\b.xml", "-"}, {u"\\", "-"}});
}

// The documents of the runs: two strings in a data file, each with its
// French text or none.
std::string Source(const std::string& first, const std::string& second) {
  return SourceDocument(Join({SourceString({"Danger", first}), SourceString({"Mind the gap", second})}));
}
std::string Game(const std::string& first, const std::string& second) {
  return GameDocument(Join({{"<Name>"}, GameString({"Danger", first}), {"</Name>", "<Name>"},
                            GameString({"Mind the gap", second}), {"</Name>"}}));
}

// Keys and the id of the string each one translates.
typedef std::vector<std::pair<std::string, std::string>> tKeys;

// A tree "tree" with Signs/Warnings (".xml", or ".bin" and the serializer
// for the game flavour) and Signs/Other.xml, and beside it files a run must
// never touch: not well formed, so a run that read one would end with a
// fatal error, and "tree2", which a key joined to the tree's own name finds.
class KeyRun : public ::testing::TestWithParam<std::tuple<bool, const char*>> {
 protected:
  void SetUp() override { MakeTree(); }
  void MakeTree() {
    mTree.reset(new ContentTree);
    mGame ? mTree->WriteBin("tree/Signs/Warnings.bin", Game("", "")) : mTree->Write("tree/Signs/Warnings.xml", Source("", ""));
    if (mGame) mTree->UseSerializer("tree");
    mTree->Write("tree/Signs/Other.xml", Document("", ""));
    for (const char* outside : {"outside.xml", "outside.bin", "tree2/x.xml", "tree2/x.bin"})
      mTree->Write(outside, "not well formed <");
    mBefore = mTree->Files();
  }
  std::string Document(const std::string& first, const std::string& second) const {
    return mGame ? Game(first, second) : Source(first, second);
  }
  std::string Extension() const { return mGame ? ".bin" : ".xml"; }
  std::string Warnings() const { return "\\Signs\\Warnings" + Extension(); }
  // Runs -gu or -su in the tree with a line for each key.
  ProcessResult Update(const tKeys& keys) {
    tTexts lines;
    for (const auto& [key, id] : keys)
      lines.push_back(TranslatedLine(key + (mGame ? "@Game@" : "@Source@") + id, {"", "FR " + ReplaceAll(id, "#", " ")}));
    mTree->Write("tree/in.txt", TranslationsFile(lines));
    const ScopedEnvironment jobs("GLOSSMILL_JOBS", mJobs);
    return mTree->GlossmillLoggingSerializer({mGame ? "-gu" : "-su", "in.txt"}, mCalls, "tree");
  }
  // The progress lines of `keys` in the table's order: the tree and the key
  // as spelled, backslashes made the platform's separator, up to a NUL, the
  // XML form of a ".bin". The source run counts the data files of the tree,
  // the game run keys.
  std::string Progress(const tKeys& keys) const {
    std::string out;
    for (size_t i = 0; i < keys.size(); ++i) {
      std::string path = ReplaceAll(keys[i].first, "\\", std::string(1, kSeparator));
      if (mGame && path.size() > 4 && path.compare(path.size() - 4, 4, ".bin") == 0) path.replace(path.size() - 4, 4, ".xml");
      out += ConsoleText("File " + std::to_string(i + 1) + " / " + std::to_string(mGame ? keys.size() : 2) + " : " +
                         mTree->Canonical() + kSeparator + "tree" + path.substr(0, path.find('\0')) + "\n");
    }
    return out;
  }
  // Expects the files before the update, Warnings with the French texts
  // given (the game run leaves the XML form of a ".bin" beside it), the
  // translations file and `changed`; and the serializer's calls for
  // Warnings, `conversions` times.
  void ExpectTree(const std::string& first, const std::string& second, int conversions, tFiles changed = {}) const {
    tFiles files = mTree->Files(), expected = mBefore;
    if (mGame) files["tree/Signs/Warnings.bin"] = mTree->ReadBin("tree/Signs/Warnings.bin");
    expected["tree/in.txt"] = mTree->Read("tree/in.txt");
    expected["tree/Signs/Warnings" + Extension()] = Document(first, second);
    if (mGame) expected["tree/Signs/Warnings.xml"] = Document(first, second);
    for (const auto& [name, bytes] : changed) expected[name] = bytes;
    ExpectFiles(files, expected);
    tTexts calls;
    for (int i = 0; mGame && i < conversions; ++i)
      calls.insert(calls.end(), {"./tree/Signs/Warnings.bin ./tree/Signs/Warnings.xml -floathex", "./tree/Signs/Warnings.xml"});
    EXPECT_EQ(mCalls, calls);
  }

  const bool mGame = std::get<0>(GetParam());
  const std::string mJobs = std::get<1>(GetParam());
  std::unique_ptr<ContentTree> mTree;
  tFiles mBefore;
  tTexts mCalls;
};

// Both lines' translations end up in the one file, whichever spelling comes
// first in the table: the second spelling reads what the first one wrote.
// Each spelling converts the file and rebuilds it.
TEST_P(KeyRun, EverySpellingOfAFileReachesItAndBothLinesLand) {
  for (const std::string spelling : {"\\Signs\\.\\", "\\Signs\\\\", "\\Signs\\..\\Signs\\", "/Signs/"}) {
    SCOPED_TRACE(spelling);
    if (spelling != "\\Signs\\.\\") MakeTree();
    tKeys keys = {{Warnings(), "Danger"}, {spelling + "Warnings" + Extension(), "Mind#the#gap"}};
    std::sort(keys.begin(), keys.end());
    ExpectRun(Update(keys), 0, Progress(keys), "");
    ExpectTree("FR Danger", "FR Mind the gap", 2);
  }
}

// A key that leads out of the tree, to the tree itself, to a share or, on
// Windows, to a drive or a device gets its progress line in its place and
// one line on standard error; nothing is read, converted or written for
// it, and the key among them is done as ever.
TEST_P(KeyRun, AKeyThatLeavesTheTreeIsRefusedAndNothingIsDoneForIt) {
  tKeys keys = {{Warnings(), "Danger"}, {"\\", "Danger"}, {"\\..\\outside" + Extension() + "\0junk"s, "Danger"}};
  for (const std::string key : {"\\..\\outside", "\\Signs\\..\\..\\outside", "2\\x", "\\\\server\\share\\x"})
    keys.push_back({key + Extension(), "Danger"});
  if (kWindows) keys.insert(keys.end(), {{"\\C:\\outside" + Extension(), "Danger"}, {"\\nul" + Extension(), "Danger"}});
  std::sort(keys.begin(), keys.end());
  std::string err;
  for (const auto& [key, id] : keys)
    if (key != Warnings())
      err += "glossmill: refused key '" + key.substr(0, key.find('\0')) + "': it names no file inside the start directory\n";
  ExpectRun(Update(keys), 0, Progress(keys), err);
  ExpectTree("FR Danger", "", 1);
}

// A NUL ends the name where it reaches the system: the key names the file
// before it, which gets a temporary file of its own name and its new
// contents, and the progress line still ends as every line does (the key
// ends in "junk", not ".bin": its line shows the path as it is, up to the
// NUL).
TEST_P(KeyRun, ANulInAKeyEndsItsNameAndNotItsLine) {
  const tKeys keys = {{"\\Signs\\Other.xml", "Mind#the#gap"}, {Warnings() + "\0.temp\\..\\junk"s, "Danger"}};
  ExpectRun(Update(keys), 0, Progress(keys), "");
  ExpectTree("FR Danger", "", 1, {{"tree/Signs/Other.xml", Document("", "FR Mind the gap")}});
}

INSTANTIATE_TEST_SUITE_P(SourceAndGame, KeyRun, ::testing::Combine(::testing::Bool(), ::testing::Values("1", "4")),
                         [](const auto& param) {
                           return std::string(std::get<0>(param.param) ? "Game" : "Source") + "Jobs" +
                                  std::get<1>(param.param);
                         });

// A second name of one file, as a hard link makes it, is a file of its own
// once the copy made through the first name took that name's place: the
// second name is rewritten from the contents it still holds, as when the
// two are done one after the other.
TEST(KeyPath, AHardLinkIsAFileOfItsOwnOnceTheFirstNameIsReplaced) {
  ContentTree tree;
  tree.Write("Signs/Warnings.xml", Source("", ""));
  std::error_code failed;
  fs::create_hard_link(tree.At("Signs/Warnings.xml"), tree.At("Signs/Link.xml"), failed);
  if (failed) GTEST_SKIP() << "no hard links here: " << failed.message();
  tree.Write("in.txt",
             TranslationsFile({TranslatedLine("\\Signs\\Link.xml@Source@Mind#the#gap", {"", "FR Mind the gap"}),
                               TranslatedLine("\\Signs\\Warnings.xml@Source@Danger", {"", "FR Danger"})}));
  ExpectRun(tree.Glossmill({"-su", "in.txt"}), 0, tree.Progress({"Signs/Link.xml", "Signs/Warnings.xml"}), "");
  EXPECT_EQ(tree.Read("Signs/Link.xml"), Source("", "FR Mind the gap"));
  EXPECT_EQ(tree.Read("Signs/Warnings.xml"), Source("FR Danger", ""));
}

// Every key the extraction writes, for names as odd as the platform allows,
// leads the update back to its own file.
TEST(KeyPath, ExtractionMakesNoKeyTheUpdateRefuses) {
  ContentTree tree;
  tTexts names = {"a..b.xml", ".hidden.xml", "sp ace/ x .xml", "x.xml.xml"};
  if (!kWindows)
    names.insert(names.end(), {"..x.xml", ".../a.xml", "a./b.xml", "b /c.xml", "c:/d.xml", "C:x.xml", "nul.xml",
                               "CON/e.xml", "f.xml:g.xml", "St\xC3\xA4" "dte/\xFF.xml"});
  for (const std::string& name : names) tree.Write(name, Source("", ""));
  ASSERT_EQ(tree.Glossmill({"-sx", "out.txt"}).status, 0);
  tree.Write("in.txt", FrenchFor(Keys(tree.Read("out.txt")), u"FR"));
  EXPECT_EQ(tree.Glossmill({"-su", "in.txt"}).err, "");
  for (const std::string& name : names) EXPECT_EQ(tree.Read(name), Source("FR", "FR")) << name;
}

}  // namespace
