// The extraction runs as a user meets them: the built program started in a
// temporary content tree, its standard output and the translations file
// compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

typedef std::vector<std::string> tTexts;

const tTexts kLanguages = {"English", "French", "Italian", "German",
                           "Spanish", "Russian", "Polish",  "Dutch"};

// ---- data files in the two shapes, laid out with CR LF and TABs ---------------

std::string SourceString(const tTexts& texts) {
  std::string xml = "\t\t<Localisation-cUserLocalisedString>\r\n\t\t\t<Element>\r\n\t\t\t\t<Value>\r\n";
  for (size_t i = 0; i < kLanguages.size(); ++i) {
    xml += "\t\t\t\t\t<Attribute name=\"" + kLanguages[i] +
           "\">\r\n\t\t\t\t\t\t<cDeltaString>\r\n\t\t\t\t\t\t\t<Element>\r\n"
           "\t\t\t\t\t\t\t\t<Value>" +
           (i < texts.size() ? texts[i] : "") +
           "</Value>\r\n\t\t\t\t\t\t\t</Element>\r\n\t\t\t\t\t\t</cDeltaString>\r\n"
           "\t\t\t\t\t</Attribute>\r\n";
  }
  xml +=
      "\t\t\t\t\t<Attribute name=\"Other\">\r\n"
      "\t\t\t\t\t\t<__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>\r\n"
      "\t\t\t\t\t\t\t<Element>\r\n\t\t\t\t\t\t\t\t<Value></Value>\r\n\t\t\t\t\t\t\t</Element>\r\n"
      "\t\t\t\t\t\t</__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>\r\n"
      "\t\t\t\t\t</Attribute>\r\n"
      "\t\t\t\t</Value>\r\n\t\t\t</Element>\r\n\t\t</Localisation-cUserLocalisedString>\r\n";
  return xml;
}

std::string SourcePlainString(const std::string& text) {
  return "\t\t<Attribute name=\"Code\">\r\n\t\t\t<cDeltaString>\r\n\t\t\t\t<Element>\r\n"
         "\t\t\t\t\t<Value>" +
         text + "</Value>\r\n\t\t\t\t</Element>\r\n\t\t\t</cDeltaString>\r\n\t\t</Attribute>\r\n";
}

std::string SourceDocument(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cSourceDocument>\r\n\t<cSign>\r\n" + body +
         "\t</cSign>\r\n</cSourceDocument>\r\n";
}

std::string GameString(const tTexts& texts) {
  std::string xml = "\t\t\t<Localisation-cUserLocalisedString>\r\n";
  for (size_t i = 0; i < kLanguages.size(); ++i)
    xml += "\t\t\t\t<" + kLanguages[i] + " d:type=\"cDeltaString\">" +
           (i < texts.size() ? texts[i] : "") + "</" + kLanguages[i] + ">\r\n";
  xml += "\t\t\t\t<Other/>\r\n\t\t\t</Localisation-cUserLocalisedString>\r\n";
  return "\t\t<Name>\r\n" + xml + "\t\t</Name>\r\n";
}

std::string GameDocument(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
         "<cContentDocument xmlns:d=\"urn:test\" d:version=\"1.0\">\r\n\t<cSign d:id=\"7\">\r\n"
         "\t\t<Code d:type=\"cDeltaString\">SGN-1</Code>\r\n" +
         body + "\t</cSign>\r\n</cContentDocument>\r\n";
}

// ---- expected lines, written as UTF-8 and compared as UTF-16LE -----------------

std::string Line(const std::string& key, const tTexts& columns) {
  std::string line = key + "\tVektrel\t\t\t\tPC";
  for (const std::string& text : columns) line += "\t\"" + text + "\"";
  return line + "\n";
}

tTexts Columns(const tTexts& texts, size_t count) {
  tTexts columns(texts);
  columns.resize(count);
  return columns;
}

std::string TranslationsFile(const std::vector<std::string>& lines) {
  std::string text = "\xEF\xBB\xBF";  // U+FEFF
  for (const std::string& line : lines) text += line;
  return test::Utf16Le(test::Utf16(text));
}

class ExtractRun : public ::testing::Test {
 protected:
  // The tree as the program sees its current directory.
  std::string Tree() const { return fs::canonical(mTree.Path()).string(); }
  std::string At(const std::string& relative) const { return mTree / relative; }
  void Write(const std::string& relative, const std::string& bytes) {
    test::WriteFile(At(relative), bytes);
  }
  test::ProcessResult Glossmill(const std::vector<std::string>& args) {
    return test::RunGlossmill(args, mTree.Path().string());
  }
  std::string Progress(int position, int total, const std::string& relative) const {
    return "File " + std::to_string(position) + " / " + std::to_string(total) + " : " + Tree() +
           "/" + relative + "\n";
  }
  std::string Output(const std::string& name = "out.txt") const {
    return test::ReadFile(At(name));
  }

  // Game data: the serializer in the tree, ".bin" files made by it.
  void UseSerializer() { fs::copy_file(test::BruxExe(), mTree.Path() / "brux.exe"); }
  void WriteBin(const std::string& relative, const std::string& xml) {
    const std::string source = relative.substr(0, relative.size() - 4) + ".source.xml";
    Write(source, xml);
    const test::ProcessResult made = test::Run(test::BruxExe(), {At(source)}, mTree.Path().string());
    ASSERT_EQ(made.status, 0) << made.err;
    fs::rename(At(relative.substr(0, relative.size() - 4) + ".source.bin"), At(relative));
    fs::remove(At(source));
  }

  test::TempDir mTree;
};

TEST_F(ExtractRun, SourceLineHoldsKeyAndEightColumnsInDocumentOrder) {
  const tTexts texts = {"a b\tc", "Français", "", "Deutsch \"zitiert\"", "", "Ж", "", "D"};
  Write("a.xml", SourceDocument(SourcePlainString("not a localised string") + SourceString(texts)));
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 1, "a.xml"));
  // The id escapes TAB as backslash-t and space as "#"; the columns keep
  // the texts unchanged.
  EXPECT_EQ(Output(), TranslationsFile({Line("\\a.xml@Source@a#b\\tc", texts)}));
}

TEST_F(ExtractRun, GameLineHasNineColumnsTheLastForOther) {
  const tTexts texts = {"Hello world", "Bonjour", "", "", "", "", "", ""};
  Write("g.xml", GameDocument(GameString(texts)));
  const test::ProcessResult result = Glossmill({"-gx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 1, "g.xml"));
  EXPECT_EQ(Output(), TranslationsFile({Line("\\g.xml@Game@Hello#world", Columns(texts, 9))}));
}

TEST_F(ExtractRun, StringWithEmptyEnglishTextGivesNoLine) {
  const tTexts untranslated = {"", "Seulement en français", "", "Nur deutsch"};
  const tTexts kept = {"Kept"};
  Write("source/s.xml", SourceDocument(SourceString(untranslated) + SourceString(kept)));
  Write("game/g.xml", GameDocument(GameString(untranslated) + GameString(kept)));

  ASSERT_EQ(test::RunGlossmill({"-sx", "out.txt"}, At("source")).status, 0);
  EXPECT_EQ(Output("source/out.txt"),
            TranslationsFile({Line("\\s.xml@Source@Kept", Columns(kept, 8))}));

  ASSERT_EQ(test::RunGlossmill({"-gx", "out.txt"}, At("game")).status, 0);
  EXPECT_EQ(Output("game/out.txt"), TranslationsFile({Line("\\g.xml@Game@Kept", Columns(kept, 9))}));
}

TEST_F(ExtractRun, FilesAreReadInCodeUnitOrderIntoOneFile) {
  Write("sub/b.xml", SourceDocument(SourceString({"Third"})));
  Write("a.xml", SourceDocument(SourceString({"Second"}) + SourceString({"Second"})));
  Write("B.xml", SourceDocument(SourceString({"First"})));
  Write("notes.txt", "not a data file");
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.out, Progress(1, 3, "B.xml") + Progress(2, 3, "a.xml") + Progress(3, 3, "sub/b.xml"));
  // One byte-order mark; duplicates kept; key paths with backslashes.
  EXPECT_EQ(Output(), TranslationsFile({Line("\\B.xml@Source@First", Columns({"First"}, 8)),
                                        Line("\\a.xml@Source@Second", Columns({"Second"}, 8)),
                                        Line("\\a.xml@Source@Second", Columns({"Second"}, 8)),
                                        Line("\\sub\\b.xml@Source@Third", Columns({"Third"}, 8))}));
}

TEST_F(ExtractRun, RerunReplacesTheOutputInsteadOfAppending) {
  Write("a.xml", SourceDocument(SourceString({"Once"})));
  ASSERT_EQ(Glossmill({"-sx", "out.txt"}).status, 0);
  const std::string first = Output();
  ASSERT_EQ(Glossmill({"-sx", "out.txt"}).status, 0);
  EXPECT_EQ(Output(), first);
  EXPECT_EQ(first, TranslationsFile({Line("\\a.xml@Source@Once", Columns({"Once"}, 8))}));
}

TEST_F(ExtractRun, EmptyTreeDeletesTheOutputAndWritesNothing) {
  Write("out.txt", "old translations");
  Write("readme.txt", "no data here");
  const test::ProcessResult result = Glossmill({"-gx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(test::FileExists(At("out.txt")));
}

TEST_F(ExtractRun, FileWithoutStringsLeavesAnOutputWithOnlyTheByteOrderMark) {
  Write("a.xml", SourceDocument(SourcePlainString("only plain")));
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.out, Progress(1, 1, "a.xml"));
  // Every document's visitor opens the output: it is created with its
  // byte-order mark even when no line follows.
  EXPECT_EQ(Output(), TranslationsFile({}));
}

TEST_F(ExtractRun, GameRunReadsABinThroughTheXmlTheSerializerMakes) {
  UseSerializer();
  const tTexts texts = {"From the bin", "", "", "Aus der Bin"};
  WriteBin("d/a.bin", GameDocument(GameString(texts)));
  const test::ProcessResult result = Glossmill({"-gx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  // The progress line names the XML form, the key the ".bin" file.
  EXPECT_EQ(result.out, Progress(1, 1, "d/a.xml"));
  EXPECT_EQ(Output(), TranslationsFile({Line("\\d\\a.bin@Game@From#the#bin", Columns(texts, 9))}));
  // The XML form stays beside its ".bin".
  EXPECT_EQ(test::ReadFile(At("d/a.xml")), GameDocument(GameString(texts)));
}

TEST_F(ExtractRun, GameRunReplacesAStaleXmlForm) {
  UseSerializer();
  WriteBin("a.bin", GameDocument(GameString({"Current"})));
  Write("a.xml", GameDocument(GameString({"Stale"})));
  const test::ProcessResult result = Glossmill({"-gx", "out.txt"});
  EXPECT_EQ(result.out, Progress(1, 1, "a.xml"));
  EXPECT_EQ(Output(), TranslationsFile({Line("\\a.bin@Game@Current", Columns({"Current"}, 9))}));
}

TEST_F(ExtractRun, GameRunSkipsABinTheSerializerCannotRead) {
  UseSerializer();
  Write("a.bin", "damaged");
  Write("a.xml", GameDocument(GameString({"Stale"})));
  WriteBin("b.bin", GameDocument(GameString({"Good"})));
  const test::ProcessResult result = Glossmill({"-gx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 2, "a.xml") + Progress(2, 2, "b.xml"));
  EXPECT_NE(result.err, "") << "the serializer says what went wrong";
  // The stale XML form was removed before the conversion failed.
  EXPECT_FALSE(test::FileExists(At("a.xml")));
  EXPECT_EQ(Output(), TranslationsFile({Line("\\b.bin@Game@Good", Columns({"Good"}, 9))}));
}

TEST_F(ExtractRun, GameRunWithoutSerializerSaysSoAndSkipsTheBin) {
  Write("a.bin", "binary");
  Write("a.xml", GameDocument(GameString({"Stale"})));
  const test::ProcessResult result = test::Run(
      "env", {"PATH=/nonexistent", test::GlossmillExe(), "-gx", "out.txt"}, At(""));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 1, "a.xml"));
  EXPECT_EQ(result.err, "Error: could not run brux.exe\n");
  EXPECT_FALSE(test::FileExists(At("a.xml")));
  EXPECT_FALSE(test::FileExists(At("out.txt")));
}

TEST_F(ExtractRun, UpperCaseBinIsHandedToTheParserUnchanged) {
  UseSerializer();
  Write("A.BIN", GameDocument(GameString({"Upper"})));
  const test::ProcessResult game = Glossmill({"-gx", "game.txt"});
  EXPECT_EQ(game.out, Progress(1, 1, "A.BIN"));
  EXPECT_EQ(Output("game.txt"), TranslationsFile({Line("\\A.BIN@Game@Upper", Columns({"Upper"}, 9))}));
  EXPECT_FALSE(test::FileExists(At("A.xml")));
}

TEST_F(ExtractRun, SourceRunReadsABinFileAsItIs) {
  Write("s.bin", SourceDocument(SourceString({"Binary name"})));
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.out, Progress(1, 1, "s.bin"));
  EXPECT_EQ(Output(),
            TranslationsFile({Line("\\s.bin@Source@Binary#name", Columns({"Binary name"}, 8))}));
}

TEST_F(ExtractRun, FileThatCannotBeOpenedIsSkippedAfterItsProgressLine) {
  // A link whose target is gone is filed by its name and cannot be opened,
  // whatever the user's privileges.
  fs::create_symlink(mTree.Path() / "gone.xml", mTree.Path() / "a.xml");
  Write("b.xml", SourceDocument(SourceString({"Readable"})));
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, Progress(1, 2, "a.xml") + Progress(2, 2, "b.xml"));
  EXPECT_EQ(Output(), TranslationsFile({Line("\\b.xml@Source@Readable", Columns({"Readable"}, 8))}));
}

TEST_F(ExtractRun, BadlyFormedFileEndsTheRunKeepingEarlierLines) {
  Write("a.xml", SourceDocument(SourceString({"Before"})));
  // An attribute without a value.
  Write("b.xml", "<?xml version=\"1.0\"?>\r\n<Root>\r\n\t<Sign broken>\r\n</Root>\r\n");
  Write("c.xml", SourceDocument(SourceString({"After"})));
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.status, 255);
  EXPECT_NE(result.err.find("Badly formed XML document."), std::string::npos) << result.err;
  EXPECT_EQ(result.out, Progress(1, 3, "a.xml") + Progress(2, 3, "b.xml"));
  EXPECT_EQ(Output(), TranslationsFile({Line("\\a.xml@Source@Before", Columns({"Before"}, 8))}));
}

TEST_F(ExtractRun, OldOutputNamedLikeADataFileIsDeletedAndSkipped) {
  Write("out.xml", "old output, not XML");
  Write("z.xml", SourceDocument(SourceString({"Data"})));
  const test::ProcessResult result = Glossmill({"-sx", "out.xml"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 2, "out.xml") + Progress(2, 2, "z.xml"));
  EXPECT_EQ(Output("out.xml"), TranslationsFile({Line("\\z.xml@Source@Data", Columns({"Data"}, 8))}));
}

TEST_F(ExtractRun, OutputNameIsTakenRelativeToTheCurrentDirectory) {
  Write("a.xml", SourceDocument(SourceString({"Here"})));
  fs::create_directories(mTree.Path() / "exports");
  ASSERT_EQ(Glossmill({"-sx", "exports/../exports/out.txt"}).status, 0);
  EXPECT_EQ(Output("exports/out.txt"),
            TranslationsFile({Line("\\a.xml@Source@Here", Columns({"Here"}, 8))}));
}

// The sample content tree of the repository, extracted as a user would.
TEST_F(ExtractRun, SampleSourceTree) {
  fs::copy(test::SourceDir() + "/sample/source", mTree.Path(), fs::copy_options::recursive);
  const test::ProcessResult result = Glossmill({"-sx", "translations.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 4, "Rolling Stock/Couplings.xml") +
                            Progress(2, 4, "Rolling Stock/Wagons.xml") +
                            Progress(3, 4, "Signs/StationSigns.xml") +
                            Progress(4, 4, "Signs/Warnings.xml"));
  const std::string output = Output("translations.txt");
  const tTexts expectedLines = {
      Line("\\Rolling Stock\\Wagons.xml@Source@Covered#van#\"Vanfit\"",
           Columns({"Covered van \"Vanfit\""}, 8)),
      Line("\\Rolling Stock\\Wagons.xml@Source@Class#4\\tgoods#wagon,#12#t",
           Columns({"Class 4\tgoods wagon, 12 t", "Wagon couvert, 12 t", "",
                    "Gedeckter Güterwagen, 12 t", "", "Крытый вагон, 12 т"},
                   8)),
      Line("\\Signs\\Warnings.xml@Source@Danger:#high#voltage",
           {"Danger: high voltage", "Danger : haute tension", "Pericolo: alta tensione",
            "Achtung: Hochspannung – Lebensgefahr", "Peligro: alta tensión",
            "Опасно: высокое напряжение", "Uwaga: wysokie napięcie", "Gevaar: hoogspanning"}),
      Line("\\Signs\\Warnings.xml@Source@Single#to#Münster:#€4.50#(café#car#open)",
           Columns({"Single to Münster: €4.50 (café car open)",
                    "Aller simple pour Münster : 4,50 €", "", "Einfach nach Münster: 4,50 €"},
                   8)),
  };
  for (const std::string& line : expectedLines) {
    const std::string units = test::Utf16Le(test::Utf16(line));
    EXPECT_NE(output.find(units), std::string::npos) << line;
  }
  // Seven strings in the tree, one without English text: six lines.
  size_t lines = 0;
  for (size_t i = 0; i + 1 < output.size(); i += 2)
    if (output[i] == '\n' && output[i + 1] == '\0') ++lines;
  EXPECT_EQ(lines, 6u);
}

}  // namespace
