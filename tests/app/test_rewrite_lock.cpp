// One rewriting run at a time in a tree: while a run (or anything else
// through the same lock) holds the start directory, an update or a
// replacement there says so in one line on standard error, reads, converts
// and writes nothing, and exits 0; an extraction goes on. The lock goes
// with its holder, a run killed part way too, and adds no file to the tree.

#include "ContentTree.h"
#include "Core/platform/FxPlatform.h"

namespace {

using namespace test;

const tTexts cRewritingRuns[] = {{"-su", "in.txt"}, {"-gu", "in.txt"}, {"-sr", "Name"}, {"-gr", "Name"}};

// A tree every rewriting run changes: a source and a game data file (a
// ".bin", converted by the stand-in serializer) with a string to translate
// and a plain "Name" to replace.
void Fill(const ContentTree& tree) {
  tree.Write("a.xml", SourceDocument(Join({SourceString({"Hello"}), SourcePlain("Name", "A")})));
  tree.WriteBin("b.bin", GameDocument(Join({GameString({"Hello"}), {GamePlain("Name", "B")}})));
  tree.Write("in.txt", TranslationsFile({TranslatedLine("\\a.xml@Source@Hello", {"", "Bonjour"}),
                                         TranslatedLine("\\b.bin@Game@Hello", {"", "Salut"})}));
  tree.UseSerializer();
}

std::string Refusal(const ContentTree& tree) {
  return "glossmill: another glossmill run is rewriting the tree '" + tree.Canonical() + "': this run changes nothing\n";
}

TEST(RewriteLock, WhileTheTreeIsHeldRewritingRunsChangeNothingAndExtractionGoesOn) {
  ContentTree tree;
  Fill(tree);
  const tFiles before = tree.Files();
  const std::string path = tree.Path().string();
  const std::u16string units = FxPlatformNameUnits(path.data(), static_cast<uint32_t>(path.size()));
  intptr_t lock = 0;
  ASSERT_EQ(eFxTreeLockTaken, FxPlatformLockTree(cFxWString(units.data(), static_cast<uint32_t>(units.size())).c_str(), lock));
  for (const tTexts& args : cRewritingRuns) {
    SCOPED_TRACE(args[0]);
    tTexts calls;
    ExpectRun(tree.GlossmillLoggingSerializer(args, calls), 0, "", Refusal(tree));
    EXPECT_EQ(calls, tTexts{});
    ExpectFiles(tree.Files(), before);
  }
  EXPECT_EQ(tree.Glossmill({"-gx", "out.txt"}).err, "");
  EXPECT_EQ(LinesOf(tree.Read("out.txt")).size(), 2u);

  // Let go, the tree is rewritten as usual.
  FxPlatformUnlockTree(lock);
  for (const tTexts& args : cRewritingRuns) EXPECT_EQ(tree.Glossmill(args).err, "") << args[0];
  EXPECT_NE(tree.Read("a.xml"), before.at("a.xml"));
  EXPECT_NE(tree.Read("b.bin"), before.at("b.bin"));
}

#ifndef _WIN32
// A real run holds the lock from before it reads anything until it ends: a
// second run is turned away while the first waits to read a data file that
// is a FIFO nobody writes to; killed, the first leaves nothing behind, and
// the next run rewrites the tree, as one run alone does. The shell runs the
// three and kills the first itself; opening the FIFO's other end waits
// until the first run opened it.
TEST(RewriteLock, ARunHoldsTheTreeUntilItEndsAKilledOneToo) {
  ContentTree tree, reference;
  Fill(tree);
  Fill(reference);
  ASSERT_EQ(reference.Glossmill({"-sr", "Name"}).err, "");
  TempDir scratch;
  WriteFile(scratch / "stall.txt", TranslationsFile({TranslatedLine("\\stall.xml@Source@Hello", {"", "Bonjour"})}));
  const std::string script =
      "mkfifo stall.xml || exit 1\n"
      "\"$1\" -su \"$0/stall.txt\" >/dev/null 2>&1 & first=$!\n"
      "exec 3>stall.xml\n"
      "\"$1\" -sr Name\n"
      "kill -9 $first; wait $first 2>/dev/null; echo \"first: $?\" >&2\n"
      "exec 3>&-; rm stall.xml\n"
      "\"$1\" -sr Name\n";
  ExpectRun(test::Run("sh", {"-c", script, scratch.Path().string(), GlossmillExe()}, tree.At("")), 0,
            tree.Progress({"a.xml", "b.bin"}), Refusal(tree) + "first: 137\n");
  ExpectFiles(tree.Files(), reference.Files());
}
#endif

}  // namespace
