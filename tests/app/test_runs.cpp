// The extraction, update and replacement runs as users meet them: the built
// program started in a temporary content tree, its standard output and
// error and every file of the tree compared byte for byte with what the run
// must leave.

#include "ContentTree.h"

namespace {

using namespace test;

std::string Src(const tTexts& texts) { return SourceDocument(SourceString(texts)); }
std::string Game(const tTexts& texts) { return GameDocument(GameString(texts)); }

// A line as an extraction writes it: the key, the fixed columns, then eight
// quoted texts from a source file, nine (with "Other") from a game file.
std::string Line(const std::string& key, const tTexts& texts) {
  std::string line = key + "\tVektrel\t\t\t\tPC";
  for (size_t i = 0; i < (key.find("@Game@") != std::string::npos ? 9u : 8u); ++i)
    line += "\t\"" + (i < texts.size() ? texts[i] : "") + "\"";
  return line + "\n";
}

// One run in a fresh tree. `before` is the tree: in a game run a ".bin"
// given as XML is made by the serializer, and a tree naming "brux.exe" has
// no serializer at all, nor one on the search path. `after` holds the files
// the run changes (a ".bin" of a game run by its XML, "-" for a file it
// removes); every other file keeps its bytes and no file appears besides.
// "{tree}" in `err` stands for the tree's path and a separator.
struct sRun {
  const char* name;
  tFiles before;
  tTexts args;
  tTexts progress;  // the files the progress lines name, relative
  std::string err;  // a fatal error ("ERROR: ...") ends the run with -1
  tFiles after;
  int total = 0;            // the progress lines' total, when not their count
  tTexts calls = {};        // the serializer's calls, when they are checked
  std::string start = "";   // where the run starts, relative
  std::function<void(const ContentTree&)> setup = nullptr;
};
void PrintTo(const sRun& run, std::ostream* out) { *out << run.name; }

void Check(const sRun& run) {
  ContentTree tree;
  const bool game = run.args[0][1] == 'g', serializer = run.before.count("brux.exe") == 0;
  const auto byXml = [&](const std::string& name, const std::string& bytes) {
    return game && name.size() > 4 && name.compare(name.size() - 4, 4, ".bin") == 0 && bytes.rfind("<?xml", 0) == 0;
  };
  tFiles expected;
  for (const auto& [name, bytes] : run.before) {
    if (name == "brux.exe") continue;
    expected[name] = bytes;
    byXml(name, bytes) ? tree.WriteBin(name, bytes) : tree.Write(name, bytes);
  }
  if (game && serializer) tree.UseSerializer(run.start);
  if (run.setup) run.setup(tree);

  tTexts calls;
  const tTexts noPath = serializer ? tTexts{} : tTexts{"PATH=" + tree.At("nonexistent")};
  const ProcessResult result = run.calls.empty() ? RunGlossmillWith(noPath, run.args, tree.At(run.start))
                                                 : tree.GlossmillLoggingSerializer(run.args, calls);
  ExpectRun(result, run.err.rfind("ERROR: ", 0) == 0 ? kFatalExitStatus : 0, tree.Progress(run.progress, run.total),
            ReplaceAll(run.err, "{tree}", tree.Canonical() + kSeparator));
  EXPECT_EQ(calls, run.calls);

  for (const auto& [name, bytes] : run.after)
    if (bytes == "-") expected.erase(name); else expected[name] = bytes;
  tFiles files = tree.Files();
  files.erase(run.start.empty() ? "brux.exe" : run.start + "/brux.exe");
  for (auto& [name, bytes] : files)
    if (expected.count(name) && byXml(name, expected[name])) bytes = tree.ReadBin(name);
  ExpectFiles(files, expected);
}

// Data files f100.xml, f101.xml, ... each holding `bytes`.
tFiles Numbered(int count, const std::string& bytes) {
  tFiles files;
  for (int i = 0; i < count; ++i) files["f" + std::to_string(100 + i) + ".xml"] = bytes;
  return files;
}

// A plain string in a tag, before and after a replacement made it a
// localised string.
tTexts GameTag(const std::string& tag, const std::string& text, bool replaced) {
  if (!replaced) return {GamePlain(tag, text)};
  return Join({{"<" + tag + ">"}, GameString({text}), {"</" + tag + ">"}});
}
tTexts SourceTag(const std::string& tag, const std::string& text, bool replaced) {
  if (!replaced) return SourcePlain(tag, text);
  return Join({{"<Attribute name=\"" + tag + "\">"}, SourceString({text}), {"</Attribute>"}});
}

std::vector<sRun> AllRuns() {
  const std::string badlyFormed = "<?xml version=\"1.0\"?>\r\n<Root>\r\n\t<Sign broken>\r\n</Root>\r\n";
  const std::string fatal = "ERROR: Line 3: Badly formed XML document.\nFILE: API/core/cFxException\nLINE:113\n";
  const tTexts binTexts = {"From the bin", "", "", "Aus der Bin"};
  const tTexts nineColumns = {"Plain XML", "Bonjour", "", "", "", "", "", "Hallo"};
  // A folder named like a data file, with what a command line must carry
  // unchanged in its name.
  const std::string odd = "p/it's a %PATH% $HOME ^&;.bin";
  const tTexts van = {"Covered van", "Fourgon", "Carro", "Gedeckter Wagen", "Furg\xC3\xB3n",
                      "\xD0\x9A\xD1\x80\xD1\x8B\xD1\x82\xD1\x8B\xD0\xB9", "Kryty", "Gesloten wagen"};
  const auto wagons = [](const tTexts& first, const tTexts& second) {
    return SourceDocument(Join({SourcePlain("Code", "WGN-7"), SourceString(first), SourceString(second)}));
  };
  const auto signs = [](const tTexts& texts) {
    return GameDocument(Join({{"<Name>"}, GameString(texts), {"</Name>"}}));
  };
  const tTexts sign = {"Platform 2", "Quai 2", "Binario 2", "Gleis 2"};
  const auto replaceable = [](bool replaced) { return GameDocument(GameTag("Name", "Kingsbridge", replaced)); };
  // A tag typed in UTF-8 names the tag a data file holds in UTF-8, not its
  // look-alike without the umlaut. A Windows command line's bytes widen one
  // by one, so there only ASCII tags name a data file's tags.
#ifdef _WIN32
  constexpr bool cUtf8Tags = false;
#else
  constexpr bool cUtf8Tags = true;
#endif
  const std::string umlaut = "Beschreib\xC3\xBCng";
  const auto tags = [&](bool replaced) {
    return SourceDocument(Join({SourceTag("Name", "abc", replaced), SourceTag(umlaut, "Gleis", replaced && cUtf8Tags),
                                SourceTag("Beschreibung", "Weiche", false)}));
  };
  // One "a" at the top, one inside "b", one inside "s".
  const auto nested = [](bool top, bool inB, bool inS) {
    return GameDocument(Join({GameTag("a", "A1", top), {"<b>"}, GameTag("a", "A2", inB), {"</b>"}, {"<s>"},
                              GameTag("a", "A3", inS), {"</s>"}}));
  };
  const auto localised = [](const std::string& tag, const tTexts& texts) {
    return Join({{"<Attribute name=\"" + tag + "\">"}, SourceString(texts), {"</Attribute>"}});
  };
  const auto sourceSigns = [&](const tTexts& first, const tTexts& second) {
    return SourceDocument(Join({localised("Name", first), SourceTag("Code", "SGN-1", false), localised("Name", second)}));
  };
  const std::string once = sourceSigns({"Kingsbridge"}, {"Platform 2"});
  const std::string twice = ReplaceAll(once, "<Value/>", "<Value></Value>");
  const std::string hello = "\\a.xml@Source@Hello\tVektrel\t\t\t\tPC\t\"Hello\"\n";
  // An update whose translations file holds `lines` and changes nothing.
  const auto untouched = [](const char* name, const std::string& lines, const char* option) {
    return sRun{name, {{"a.xml", Src({"Hello"})}, {"in.txt", TranslationsFile({lines})}}, {option, "in.txt"}, {}, "", {}};
  };
  tFiles manyBefore = Numbered(40, SourceDocument(SourceTag("Sign", "Halt", false)));
  manyBefore["f120.xml"] = "<r><</r>";
  tFiles manyAfter = Numbered(20, SourceDocument(SourceTag("Sign", "Halt", true)));
  tTexts manyLines;
  for (const auto& file : manyAfter) manyLines.push_back(file.first);
  manyLines.push_back("f120.xml");
  manyAfter["f120.xml.temp"] = "";  // the copy begun when the error came: a rerun replaces it
  // Files read ahead when a badly formed one ends an extraction: more than
  // the reader holds, each larger than its buffers.
  tFiles aheadBefore = Numbered(40, SourceDocument(SourceTag("Sign", std::string(100000, 'x'), false)));
  aheadBefore["f100.xml"] = Src({"Before"});
  aheadBefore["f102.xml"] = badlyFormed;
  const auto readOnly = [](const char* name) {
    return [name](const ContentTree& tree) { fs::permissions(tree.At(name), fs::perms::owner_read); };
  };

  return {
      // ---- extraction
      // A folder named like a data file is entered, never read.
      {"source: code-unit order, duplicates kept, a .bin read as it is, the output made afresh",
       {{"sub.xml/b.xml", Src({"Third"})},
        {"a.xml", SourceDocument(Join({SourceString({"Second"}), SourceString({"Second"})}))},
        {"B.xml", Src({"First"})}, {"plain.xml", SourceDocument(SourcePlain("Code", "no localised string"))},
        {"notes.txt", "not a data file"}, {"s.bin", Src({"Binary name"})}, {"out.txt", "the last run's output"}},
       {"-sx", "out.txt"}, {"B.xml", "a.xml", "plain.xml", "s.bin", "sub.xml/b.xml"}, "",
       {{"out.txt", TranslationsFile({Line("\\B.xml@Source@First", {"First"}), Line("\\a.xml@Source@Second", {"Second"}),
                                      Line("\\a.xml@Source@Second", {"Second"}),
                                      Line("\\s.bin@Source@Binary#name", {"Binary name"}),
                                      Line("\\sub.xml\\b.xml@Source@Third", {"Third"})})}}},
      // The progress line names the XML form, the key the ".bin"; only an
      // exact ".bin" is converted, and its stale XML form goes even when
      // read-only.
      {"game: a .bin through the XML the serializer makes, .BIN and XML as they are",
       {{"d/a.bin", Game(binTexts)}, {"d/a.xml", Game({"Stale"})}, {"c.xml", Game(nineColumns)},
        {"A.BIN", Game({"Upper"})}},
       {"-gx", "out.txt"}, {"A.BIN", "c.xml", "d/a.xml"}, "",
       {{"d/a.xml", Game(binTexts)},
        {"out.txt", TranslationsFile({Line("\\A.BIN@Game@Upper", {"Upper"}), Line("\\c.xml@Game@Plain#XML", nineColumns),
                                      Line("\\d\\a.bin@Game@From#the#bin", binTexts)})}},
       0, {}, "", readOnly("d/a.xml")},
      // Only the final extension makes a twin: nothing is made beside the
      // start folder or in place of "my.binaries".
      {"game, started in a folder named like a .bin: twins only beside .bin files",
       {{odd + "/a.bin", Game({"In the project"})}, {odd + "/my.binaries/b.bin", Game({"In my binaries"})},
        {"p/it's a %PATH% $HOME ^&;.xml/a.xml", "outside the tree"}},
       {"-gx", "out.txt"}, {odd + "/a.xml", odd + "/my.binaries/b.xml"}, "",
       {{odd + "/a.xml", Game({"In the project"})}, {odd + "/my.binaries/b.xml", Game({"In my binaries"})},
        {odd + "/out.txt", TranslationsFile({Line("\\a.bin@Game@In#the#project", {"In the project"}),
                                             Line("\\my.binaries\\b.bin@Game@In#my#binaries", {"In my binaries"})})}},
       0, {}, odd},
      {"game: a .bin the serializer cannot read is skipped, its stale XML form gone",
       {{"a.bin", "damaged"}, {"a.xml", Game({"Stale"})}, {"b.bin", Game({"Good"})}}, {"-gx", "out.txt"},
       {"a.xml", "b.xml"},
       ConsoleText("brux: '{tree}a.bin' is not a brux binary file\n"),  // the serializer's own text line
       {{"a.xml", "-"}, {"b.xml", Game({"Good"})},
        {"out.txt", TranslationsFile({Line("\\b.bin@Game@Good", {"Good"})})}}},
      {"game without a serializer: said for each .bin, nothing read",
       {{"brux.exe", ""}, {"a.bin", Game({"A"})}, {"b.bin", Game({"B"})}, {"out.txt", "old"}}, {"-gx", "out.txt"},
       {"a.xml", "b.xml"}, "Error: could not run brux.exe\nError: could not run brux.exe\n", {{"out.txt", "-"}}},
      // After the error's own text, the file being read, for a user whose
      // standard output went elsewhere.
      {"a badly formed data file ends an extraction, the lines before it kept",
       {{"a.xml", Src({"Before"})}, {"b.xml", badlyFormed}, {"c.xml", Src({"After"})}}, {"-sx", "out.txt"},
       {"a.xml", "b.xml"}, fatal + "While reading data file {tree}b.xml\n",
       {{"out.txt", TranslationsFile({Line("\\a.xml@Source@Before", {"Before"})})}}, 3},
      // The translations file holds its byte-order mark before the first
      // data file is parsed, whether the error comes in the declaration or
      // after it.
      {"a badly formed first data file ends a source extraction, the byte-order mark written",
       {{"a.xml", badlyFormed}, {"b.xml", Src({"After"})}}, {"-sx", "out.txt"}, {"a.xml"},
       fatal + "While reading data file {tree}a.xml\n", {{"out.txt", TranslationsFile({})}}, 2},
      {"a first data file with a bad declaration ends a game extraction, the byte-order mark written",
       {{"a.xml", "<?xml-stylesheet href=\"a\"?>\r\n<r/>\r\n"}, {"b.xml", Game({"After"})}}, {"-gx", "out.txt"},
       {"a.xml"}, ReplaceAll(fatal, "Line 3", "Line 1") + "While reading data file {tree}a.xml\n",
       {{"out.txt", TranslationsFile({})}}, 2},
      {"a badly formed data file ends an extraction with the files after it read ahead", aheadBefore,
       {"-sx", "out.txt"}, {"f100.xml", "f101.xml", "f102.xml"}, fatal + "While reading data file {tree}f102.xml\n",
       {{"out.txt", TranslationsFile({Line("\\f100.xml@Source@Before", {"Before"})})}}, 40},
      // ---- update
      // The total counts every data file below the start directory; a key
      // naming a file that is not there gets its line and the run goes on.
      {"source: each language into its element",
       {{"Rolling Stock/wagons.xml", wagons({"Covered van", "old"}, {"Stop\there"})},
        {"b.xml", Src({"Not translated"})}, {"notes.xml", SourceDocument(SourcePlain("Note", "no strings"))},
        // The English column is never read; a TAB in it would shift the others.
        {"in.txt", TranslationsFile({TranslatedLine("\\Rolling Stock\\wagons.xml@Source@Covered#van", van),
                                     TranslatedLine("\\Rolling Stock\\wagons.xml@Source@Stop\\there",
                                                    {"", "Arr\xC3\xAAt", "", "Halt"}),
                                     TranslatedLine("\\Gone.xml@Source@Covered#van", van)})}},
       {"-su", "in.txt"}, {"Gone.xml", "Rolling Stock/wagons.xml"}, "",
       {{"Rolling Stock/wagons.xml", wagons(van, {"Stop\there", "Arr\xC3\xAAt", "", "Halt"})}}, 3},
      // Keys in code-unit order; a stale XML form is not what is read; a
      // key naming no file is converted and rebuilt in vain. A read-only
      // data file is replaced all the same.
      {"game: converted, read, written back, rebuilt",
       {{"c.xml", signs({"Platform 2", "vieux"})}, {"d.bin/a.bin", signs({"Platform 2"})},
        {"d.bin/a.xml", signs({"Stale"})},
        {"in.txt", TranslationsFile({TranslatedLine("\\d.bin\\a.bin@Game@Platform#2", sign),
                                     TranslatedLine("\\c.xml@Game@Platform#2", sign),
                                     TranslatedLine("\\gone.bin@Game@Platform#2", sign)})}},
       {"-gu", "in.txt"}, {"c.xml", "d.bin/a.xml", "gone.xml"},
       ConsoleText("brux: cannot open '{tree}gone.bin'\nbrux: cannot open '{tree}gone.xml'\n"),
       {{"c.xml", signs(sign)}, {"d.bin/a.bin", signs(sign)}, {"d.bin/a.xml", signs(sign)}}, 0,
       {"./d.bin/a.bin ./d.bin/a.xml -floathex", "./d.bin/a.xml", "./gone.bin ./gone.xml -floathex", "./gone.xml"},
       "", readOnly("c.xml")},
      untouched("a line without TAB: nothing touched", hello + "no tab\n", "-su"),
      untouched("an empty last line: nothing touched", hello + "\n", "-su"),
      untouched("game lines in a source update: nothing touched", ReplaceAll(hello, "Source", "Game"), "-su"),
      untouched("source lines in a game update: nothing touched", hello, "-gu"),
      // ---- replacement
      // Only an exact ".bin" goes through the serializer; ".BIN" is XML.
      {"game: every .bin converted, every file rewritten, then every .bin rebuilt",
       {{"a.bin", replaceable(false)}, {"b.bin", replaceable(false)}, {"D.BIN", replaceable(false)},
        {"a.xml", GameDocument(GameTag("Name", "Stale", false))}, {"c.xml", replaceable(false)}},
       {"-gr", "Name"}, {"D.BIN", "a.bin", "b.bin", "c.xml"}, "",
       {{"a.bin", replaceable(true)}, {"a.xml", replaceable(true)}, {"b.bin", replaceable(true)},
        {"b.xml", replaceable(true)}, {"c.xml", replaceable(true)}, {"D.BIN", replaceable(true)}},
       0, {"./a.bin ./a.xml -floathex", "./b.bin ./b.xml -floathex", "./a.xml", "./b.xml"}},
      {"source: a .bin reported and left, XML rewritten",
       {{"a.bin", SourceDocument(SourceTag("Name", "In a bin", false))}, {"b.xml", tags(false)}},
       {"-sr", "Name", umlaut}, {"a.bin", "b.xml"}, "", {{"b.xml", tags(true)}}},
      // How the arguments split into the lists is the command line's own
      // test; here each list reaches the run.
      {"replace tags", {{"d.xml", nested(false, false, false)}}, {"-gr", "a"}, {"d.xml"}, "",
       {{"d.xml", nested(true, true, true)}}},
      {"exclude tags", {{"d.xml", nested(false, false, false)}}, {"-gr", "a", "!", "b", "!", "c"}, {"d.xml"}, "",
       {{"d.xml", nested(true, false, true)}}},
      {"scope tags", {{"d.xml", nested(false, false, false)}}, {"-gr", "a", "@", "b", "!", "s"}, {"d.xml"}, "",
       {{"d.xml", nested(false, true, false)}}},
      // A replaced string is a localised string like any other. A second
      // replacement leaves it, copying the empty "Value" of its "Other" part
      // with start and end tag as every source text is copied; a third
      // changes nothing. An extraction and an update find it.
      {"source: a second replacement", {{"signs.xml", once}}, {"-sr", "Name"}, {"signs.xml"}, "",
       {{"signs.xml", twice}}},
      {"source: a third replacement", {{"signs.xml", twice}}, {"-sr", "Name"}, {"signs.xml"}, "", {}},
      {"source: replaced strings extracted", {{"signs.xml", twice}}, {"-sx", "out.txt"}, {"signs.xml"}, "",
       {{"out.txt", TranslationsFile({Line("\\signs.xml@Source@Kingsbridge", {"Kingsbridge"}),
                                      Line("\\signs.xml@Source@Platform#2", {"Platform 2"})})}}},
      {"source: replaced strings updated",
       {{"signs.xml", twice},
        {"in.txt", TranslationsFile({TranslatedLine("\\signs.xml@Source@Kingsbridge", {"", "Kingsbridge-Ville"}),
                                     TranslatedLine("\\signs.xml@Source@Platform#2", {"", "Quai 2", "", "Gleis 2"})})}},
       {"-su", "in.txt"}, {"signs.xml"}, "",
       {{"signs.xml", sourceSigns({"Kingsbridge", "Kingsbridge-Ville"}, {"Platform 2", "Quai 2", "", "Gleis 2"})}}},
      // Copies queued for the disk when the error comes are finished first.
      {"a badly formed data file ends a source replacement, the files before it rewritten", manyBefore,
       {"-sr", "Sign"}, manyLines,
       "ERROR: Line 1: Badly formed XML document.\nFILE: API/core/cFxException\nLINE:113\n"
       "While reading data file {tree}f120.xml\n",
       manyAfter, 40},
  };
}

// Each run is a case of its own, named after its description.
class Runs : public ::testing::TestWithParam<sRun> {};
TEST_P(Runs, LeaveTheTreeAsTheyMust) { Check(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Each, Runs, ::testing::ValuesIn(AllRuns()), [](const auto& param) {
  std::string name;
  for (const char* c = param.param.name; *c; ++c) {
    const bool word = std::isalnum(static_cast<unsigned char>(*c));
    if (word || (!name.empty() && name.back() != '_')) name += word ? *c : '_';
  }
  return name;
});

TEST(Run, OnlyRegularFilesOtherThanTheOutputAreRead) {
  ContentTree tree;
#ifdef _WIN32
  // A data file another program holds open is filed and cannot be opened
  // (data files are opened without sharing): it is skipped after its
  // progress line.
  tree.Write("a.xml", Src({"Locked"}));
  std::ifstream holder(tree.At("a.xml"));
#else
  // A link whose target is gone is filed by its name and cannot be opened,
  // whatever the user's privileges: it is skipped after its progress line.
  // A FIFO named like a data file is no data file: reading it would wait
  // forever.
  fs::create_symlink(tree.Path() / "gone.xml", tree.Path() / "a.xml");
  ASSERT_EQ(test::Run("mkfifo", {"fifo.xml"}, tree.At("")).status, 0);
#endif
  tree.Write("b.xml", Src({"Readable"}));
  // Nor is the output, named like one inside the tree: a rerun must not read
  // what the last run wrote, however the name is typed.
  tree.Write("out.xml", "old output, not XML");
  ExpectRun(tree.Glossmill({"-sx", "sub/../out.xml"}), 0, tree.Progress({"a.xml", "b.xml"}), "");
  EXPECT_EQ(tree.Read("out.xml"), TranslationsFile({Line("\\b.xml@Source@Readable", {"Readable"})}));
}

#ifdef _WIN32
TEST(Run, NamesWithinLatin1GiveTheirTextInKeysOthersCannotBeOpened) {
  // Windows names are 16-bit text; a data file is opened by the name's 8-bit
  // form (the low byte of each unit), which names the same file only for
  // units up to U+00FF. Any other is skipped after its progress line.
  test::ContentTree tree;
  for (const char* name : {u8"St\u00E4dte/caf\u00E9.xml", u8"\u0416.xml"}) {
    const fs::path path = tree.Path() / fs::u8path(name);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << Src({"T"});
  }
  const test::ProcessResult result = tree.Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, tree.Progress(1, 2, "St\xE4" "dte/caf\xE9.xml") + tree.Progress(2, 2, "\x16.xml"));
  EXPECT_EQ(Keys(tree.Read("out.txt")), std::vector<std::u16string>{u"\\St\u00E4dte\\caf\u00E9.xml@Source@T"});
}
#else
// POSIX names are bytes: ":" is an ordinary character and a name need not
// be UTF-8. A key holds the text of a name's UTF-8, as the Windows build's
// does; a byte that is no UTF-8 stays one unit of its own (U+DC00 + byte),
// and the update finds the file again through it.
TEST(Run, NamesKeepTheirBytesOnDiskAndRoundTripThroughTheirKeys) {
  ContentTree tree;
  const tTexts names = {"St\xC3\xA4" "dte/caf\xC3\xA9.xml", "bad\xE9.xml", "a:b.xml", "c:d/e.xml"};
  for (const std::string& name : names) tree.Write(name, Src({"T"}));
  ExpectRun(tree.Glossmill({"-sx", "out.txt"}), 0, tree.Progress({names[0], names[2], names[1], names[3]}), "");
  const std::vector<std::u16string> keys = Keys(tree.Read("out.txt"));
  EXPECT_EQ(keys, (std::vector<std::u16string>{u"\\St\u00E4dte\\caf\u00E9.xml@Source@T", u"\\a:b.xml@Source@T",
                                               u"\\bad\xDCE9.xml@Source@T", u"\\c:d\\e.xml@Source@T"}));
  tree.Write("in.txt", FrenchFor(keys, u"Te"));
  EXPECT_EQ(tree.Glossmill({"-su", "in.txt"}).err, "");
  for (const std::string& name : names) EXPECT_EQ(tree.Read(name), Src({"T", "Te"})) << name;

  // The start directory, the output's name and the serializer's command
  // line keep the bytes too.
  const std::string start = "W\xC3\xB6rk \"\xFF\"";
  tree.WriteBin(start + "/g\xC3\xA4\xFF.bin", Game({"G"}));
  tree.UseSerializer(start);
  ExpectRun(tree.Glossmill({"-gx", "\xC3\x9C" "ber\xFF.txt"}, start), 0, tree.Progress({start + "/g\xC3\xA4\xFF.xml"}), "");
  EXPECT_EQ(Keys(tree.Read(start + "/\xC3\x9C" "ber\xFF.txt")), std::vector<std::u16string>{u"\\g\u00E4\xDCFF.bin@Game@G"});
}
#endif

// The sample content trees of the repository, extracted as a user would;
// the translations files must equal the expected ones kept beside them,
// byte for byte. The game tree as shipped: ".bin" files only, made by the
// serializer.
TEST(Run, SampleTreesGiveTheirExpectedTranslationsFiles) {
  ContentTree tree;
  const std::string sample = SourceDir() + "/sample/";
  fs::copy(sample + "source", tree.At("source"), fs::copy_options::recursive);
  for (const char* name : {"Signs/StationSigns", "Trains/Locomotive"})
    tree.WriteBin(std::string("game/") + name + ".bin", ReadFile(sample + "game/" + name + ".xml"));
  tree.UseSerializer("game");
  for (const char* flavour : {"source", "game"}) {
    EXPECT_EQ(tree.Glossmill({flavour[0] == 's' ? "-sx" : "-gx", "translations.txt"}, flavour).status, 0);
    EXPECT_EQ(tree.Read(flavour + std::string("/translations.txt")),
              ReadFile(sample + "expected/" + flavour + "-translations.txt"));
  }
}

}  // namespace
