// The job count, the families of data files and the limits a set of
// serializer runs keeps, with the stand-in serializer counting how many of
// its calls are under way at once.

#include "ContentTree.h"
#include "app/SerializerJobs.h"

namespace {

using namespace test;

// Invalid values (0) leave a limit of 1.
TEST(JobLimit, PositiveDecimalNumbersOnlyCappedAtTheMaximum) {
  const std::pair<const char*, uint32_t> cases[] = {
      {nullptr, 1}, {"", 1},    {"1", 1},  {"4", 4},  {"08", 8},  {"64", 64}, {"65", 64},  {"99999999999999999999", 64},
      {"0", 0},     {"000", 0}, {"-4", 0}, {"+4", 0}, {" 4", 0},  {"4 ", 0},  {"4x", 0},   {"four", 0},
  };
  for (const auto& [text, valid] : cases) {
    uint32_t limit = 99;
    EXPECT_EQ(ParseJobLimit(text, limit), valid != 0) << (text ? text : "(unset)");
    EXPECT_EQ(limit, valid != 0 ? valid : 1) << (text ? text : "(unset)");
  }
}

// A directory that is not there is told by its spelling; through it only
// the lexical form names the file. Links: POSIX only (wine has none).
TEST(JobFamily, NamesOfOneDataFileShareAFamilyWhateverTheWayIn) {
  TempDir dir;
  fs::create_directories(dir.Path() / "d" / "e");
  std::vector<std::string> same = {"d/a.xml", "d/A.XML", "d/a.BIN", "d/e/../a.xml", "d/a"};
#ifndef _WIN32
  fs::create_directory_symlink(dir.Path() / "d", dir.Path() / "link");
  same.push_back("link/a.bin");
#endif
  const auto path = [&](const std::string& relative) { return cFxWString(Native(dir / relative).c_str()); };
  for (const std::string& name : same) EXPECT_EQ(FamilyOf(path(name)), FamilyOf(path("d/a.bin"))) << name;
  for (const char* other : {"d/b.bin", "d/e/a.bin", "d/a.xml.temp", "a.bin", "missing/a.bin"})
    EXPECT_NE(FamilyOf(path(other)), FamilyOf(path("d/a.bin"))) << other;
  EXPECT_EQ(FamilyOf(path("missing/a.bin")), FamilyOf(path("missing/a.xml")));
  EXPECT_NE(FamilyOf(path("missing/a.bin")), FamilyOf(path("Missing/a.bin")));
  const auto share = [&](const std::string& a, const std::string& b) {
    for (const std::u16string& one : FamiliesOf(path(a)))
      for (const std::u16string& other : FamiliesOf(path(b)))
        if (one == other) return true;
    return false;
  };
  EXPECT_TRUE(share("missing/../d/a.bin", "d/a.xml"));
#ifndef _WIN32
  EXPECT_TRUE(share("d/./A.xml", "link/a.bin"));
#endif
  EXPECT_FALSE(share("missing/../d/a.bin", "d/b.xml"));
}

// Every call the stand-in makes while the test runs is counted and slowed.
// (That no more than the limit run at once, and more than one, is the
// parallel runs' test.)
TEST(SerializerJobs, OneFamilyNeverTwiceAtOnce) {
  TempDir dir;
  const ScopedEnvironment alive("BRUX_ALIVE_FILE", dir / "alive"), delay("BRUX_DELAY_MS", "100");
  // Runs the stand-in on a file that does not exist: a quick failing call
  // that still takes its time.
  const auto launch = [](cSerializerJobs& jobs, const cSerializerJobs::tFamilies& families) {
    const std::string brux = BruxExe();
    const char* args[] = {"none.xml", nullptr};
    jobs.MakeRoomFor(families);
    return jobs.Launch(families, brux.c_str(), args);
  };
  const auto expectMostAtOnce = [&](long expected) {
    const auto [running, most] = SerializerCalls(dir / "alive");
    EXPECT_EQ(running, 0) << "every call has ended";
    EXPECT_EQ(most, expected);
  };
  {
    cSerializerJobs jobs(4);
    // Runs that share one family of theirs wait for each other.
    for (const cSerializerJobs::tFamilies& families : {cSerializerJobs::tFamilies{u"a", u"b"}, {u"b", u"c"}, {u"c", u"a"}, {u"a"}})
      ASSERT_TRUE(launch(jobs, families));
    EXPECT_FALSE(jobs.HasRoomFor({u"other", u"a"}));
    EXPECT_TRUE(jobs.HasRoomFor({u"other"}));
    jobs.WaitForFamily(u"a");
    EXPECT_TRUE(jobs.HasRoomFor({u"a", u"b", u"c"}));
  }
  expectMostAtOnce(1);
  // A program that cannot be started takes no place; the destructor waits
  // for what is still running. One at a time, a run has ended when Launch
  // returns.
  for (const uint32_t limit : {2u, 1u}) {
    cSerializerJobs jobs(limit);
    ASSERT_TRUE(launch(jobs, {u"a"}));
    const char* none[] = {nullptr};
    EXPECT_FALSE(jobs.Launch({u"b"}, "no-such-program-here", none));
    EXPECT_EQ(jobs.HasRoomFor({u"a", u"b"}), limit == 1);
  }
  expectMostAtOnce(1);
}

}  // namespace
