// cFxFile: the buffering rules, measured through a stand-in OS file that
// records every call, the character operations, and streams on real files
// opened through the mounted "os" file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "support/TestSupport.h"
#include "xml/cFxFile.h"

namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// What a cCountingFile saw; owned by the test, so it outlives the file
// object that the stream destroys at Close.
struct sFileRecord {
  std::string mData;
  size_t mPosition = 0;
  std::vector<int> mReads;   // sizes asked for
  std::vector<int> mWrites;  // sizes handed over
  int mFailReadsAfter = -1;  // reads that succeed before every read fails
  int mShortWriteLimit = -1; // a write takes at most this many bytes
  bool mClosed = false;
  bool mDestroyed = false;
};

// An in-memory OS file that records its reads and writes.
class cCountingFile : public cFxOsFile {
 public:
  explicit cCountingFile(sFileRecord& record) : mRecord(record) {}
  ~cCountingFile() override { mRecord.mDestroyed = true; }

  bool Close() override {
    mRecord.mClosed = true;
    return true;
  }
  int Read(void* buffer, int count) override {
    mRecord.mReads.push_back(count);
    if (mRecord.mFailReadsAfter == 0) return -1;
    if (mRecord.mFailReadsAfter > 0) --mRecord.mFailReadsAfter;
    size_t available = mRecord.mData.size() - std::min(mRecord.mPosition, mRecord.mData.size());
    size_t take = std::min(available, static_cast<size_t>(count));
    mRecord.mData.copy(static_cast<char*>(buffer), take, mRecord.mPosition);
    mRecord.mPosition += take;
    return static_cast<int>(take);
  }
  int Write(const void* buffer, int count) override {
    mRecord.mWrites.push_back(count);
    int take = mRecord.mShortWriteLimit >= 0 ? std::min(count, mRecord.mShortWriteLimit) : count;
    if (mRecord.mData.size() < mRecord.mPosition) mRecord.mData.resize(mRecord.mPosition);
    mRecord.mData.replace(mRecord.mPosition, take, static_cast<const char*>(buffer), take);
    mRecord.mPosition += take;
    return take;
  }
  bool Tell(int& position) override {
    position = static_cast<int>(mRecord.mPosition);
    return true;
  }
  bool Seek(int position) override {
    if (position < 0) return false;
    mRecord.mPosition = static_cast<size_t>(position);
    return true;
  }
  bool SeekRelative(int delta) override { return Seek(static_cast<int>(mRecord.mPosition) + delta); }
  bool SeekFromEnd(int delta) override { return Seek(static_cast<int>(mRecord.mData.size()) + delta); }

 private:
  sFileRecord& mRecord;
};

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 23);
  return bytes;
}

class BufferedStream : public ::testing::Test {
 protected:
  void Attach(int readBuffer, int writeBuffer) {
    ASSERT_TRUE(mStream.Attach(new cCountingFile(mRecord), 0, readBuffer, writeBuffer));
  }
  std::string ReadString(int count) {
    std::string bytes(static_cast<size_t>(count), '\0');
    int got = mStream.Read(&bytes[0], count);
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
  }

  sFileRecord mRecord;
  cFxFile mStream;
};

// ---- Writing -----------------------------------------------------------------------------

TEST_F(BufferedStream, WritesThatDoNotFitFlushTheBufferFirst) {
  Attach(128, 128);
  std::string first = Pattern(100), second(100, 'z');
  EXPECT_EQ(100, mStream.Write(first.data(), 100));
  EXPECT_TRUE(mRecord.mWrites.empty());
  EXPECT_EQ(100, mStream.Write(second.data(), 100));
  EXPECT_EQ(std::vector<int>{100}, mRecord.mWrites);
  EXPECT_EQ(first, mRecord.mData);  // the second 100 are still buffered

  EXPECT_TRUE(mStream.Flush());
  EXPECT_EQ((std::vector<int>{100, 100}), mRecord.mWrites);
  EXPECT_EQ(first + second, mRecord.mData);
  EXPECT_TRUE(mStream.Flush());  // nothing left: no call
  EXPECT_EQ(2u, mRecord.mWrites.size());
}

TEST_F(BufferedStream, CloseFlushesAndDestroysTheOsFile) {
  Attach(128, 128);
  EXPECT_EQ(5, mStream.Write("hello", 5));
  mStream.Close();
  EXPECT_EQ("hello", mRecord.mData);
  EXPECT_TRUE(mRecord.mClosed);
  EXPECT_TRUE(mRecord.mDestroyed);
  EXPECT_EQ(nullptr, mStream.GetOsFile());
}

TEST_F(BufferedStream, DataLargerThanTheBufferGoesStraightToTheFile) {
  Attach(128, 128);
  std::string big = Pattern(300);
  EXPECT_EQ(10, mStream.Write("0123456789", 10));
  EXPECT_EQ(300, mStream.Write(big.data(), 300));
  EXPECT_EQ((std::vector<int>{10, 300}), mRecord.mWrites);
  EXPECT_EQ("0123456789" + big, mRecord.mData);

  // Exactly the buffer's size still fits.
  std::string full(128, 'f');
  EXPECT_EQ(128, mStream.Write(full.data(), 128));
  EXPECT_EQ(2u, mRecord.mWrites.size());
}

TEST_F(BufferedStream, UnbufferedWritesGoStraightThrough) {
  Attach(0, 0);
  EXPECT_EQ(3, mStream.Write("abc", 3));
  EXPECT_TRUE(mStream.WriteByte('d'));
  EXPECT_EQ((std::vector<int>{3, 1}), mRecord.mWrites);
  EXPECT_EQ("abcd", mRecord.mData);
}

TEST_F(BufferedStream, ShortWritesFailAndKeepWhatDidNotReachTheFile) {
  Attach(0, 8);
  mRecord.mShortWriteLimit = 3;
  EXPECT_EQ(6, mStream.Write("abcdef", 6));
  EXPECT_EQ(-1, mStream.Write("ghi", 3));  // the flush is short
  EXPECT_EQ("abc", mRecord.mData);
  mRecord.mShortWriteLimit = -1;
  EXPECT_TRUE(mStream.Flush());
  EXPECT_EQ("abcdef", mRecord.mData);  // nothing twice, nothing lost

  mRecord.mShortWriteLimit = 5;
  std::string big = Pattern(20);
  EXPECT_EQ(-1, mStream.Write(big.data(), 20));  // straight through, short
}

TEST_F(BufferedStream, WriteByteFillsTheBufferWithoutCalls) {
  Attach(0, 64);
  std::string expected = Pattern(1000);
  for (char c : expected) ASSERT_TRUE(mStream.WriteByte(static_cast<uint8_t>(c)));
  EXPECT_EQ(std::vector<int>(15, 64), mRecord.mWrites);
  mStream.Close();
  EXPECT_EQ(expected, mRecord.mData);
}

// ---- Reading -----------------------------------------------------------------------------

TEST_F(BufferedStream, LargeReadsTakeTheRestStraightFromTheFile) {
  mRecord.mData = Pattern(2000);
  Attach(128, 128);
  EXPECT_EQ(mRecord.mData.substr(0, 1000), ReadString(1000));
  EXPECT_EQ(std::vector<int>{1000}, mRecord.mReads);

  // With bytes in the buffer, they come first and the rest is read directly.
  EXPECT_EQ(mRecord.mData.substr(1000, 10), ReadString(10));
  EXPECT_EQ(mRecord.mData.substr(1010, 500), ReadString(500));
  EXPECT_EQ((std::vector<int>{1000, 128, 382}), mRecord.mReads);
}

TEST_F(BufferedStream, SmallReadsAreServedFromOneRefill) {
  mRecord.mData = Pattern(300);
  Attach(128, 128);
  std::string gathered;
  for (int i = 0; i < 20; ++i) gathered += ReadString(10);
  EXPECT_EQ(mRecord.mData.substr(0, 200), gathered);
  EXPECT_EQ((std::vector<int>{128, 128}), mRecord.mReads);
}

TEST_F(BufferedStream, ReadByteCrossesRefillsAndEndsWithMinusOne) {
  mRecord.mData = Pattern(300);
  Attach(128, 128);
  std::string gathered;
  for (int c; (c = mStream.ReadByte()) >= 0;) gathered += static_cast<char>(c);
  EXPECT_EQ(mRecord.mData, gathered);
  EXPECT_EQ((std::vector<int>{128, 128, 128, 128}), mRecord.mReads);  // last one answers 0
  EXPECT_EQ(-1, mStream.ReadByte());
}

TEST_F(BufferedStream, ReadsAtTheEndAnswerWhatIsLeft) {
  mRecord.mData = "abc";
  Attach(128, 128);
  EXPECT_EQ("abc", ReadString(10));
  EXPECT_EQ("", ReadString(10));
  EXPECT_EQ(0, mStream.Read(nullptr, 0));
}

TEST_F(BufferedStream, FailedReadsAnswerMinusOneEvenAfterCopying) {
  mRecord.mData = Pattern(300);
  mRecord.mFailReadsAfter = 1;
  Attach(128, 128);
  EXPECT_EQ(mRecord.mData.substr(0, 10), ReadString(10));
  char bytes[200];
  EXPECT_EQ(-1, mStream.Read(bytes, 200));  // 118 copied, then the refill fails
  EXPECT_EQ(-1, mStream.ReadByte());
}

TEST_F(BufferedStream, EveryBufferSizeReadsTheSameBytes) {
  // Mixed request sizes across tiny and ordinary buffers.
  const std::string data = Pattern(777);
  for (int size : {0, 1, 2, 3, 4, 5, 7, 8, 128, 1000}) {
    sFileRecord record;
    record.mData = data;
    cFxFile stream;
    ASSERT_TRUE(stream.Attach(new cCountingFile(record), 0, size, size));
    std::string gathered;
    int request = 1;
    for (;;) {
      char bytes[16];
      int c = stream.ReadByte();
      if (c < 0) break;
      gathered += static_cast<char>(c);
      int got = stream.Read(bytes, request);
      ASSERT_GE(got, 0);
      gathered.append(bytes, static_cast<size_t>(got));
      request = request % 16 + 1;
    }
    EXPECT_EQ(data, gathered) << "buffer size " << size;
  }
}

// ---- Giving bytes back, positions --------------------------------------------------------

TEST_F(BufferedStream, UnreadHoldsAtMostEightBytes) {
  mRecord.mData = "0123456789";
  Attach(128, 128);
  EXPECT_FALSE(mStream.Unread("123456789", 9));
  EXPECT_TRUE(mStream.Unread("12345", 5));
  EXPECT_FALSE(mStream.Unread("abcd", 4));  // 9 in all
  EXPECT_TRUE(mStream.Unread("abc", 3));
  // The bytes given back last come first, each run in its own order.
  EXPECT_EQ("abc12345012", ReadString(11));
}

TEST_F(BufferedStream, UnreadFlushesPendingWrites) {
  Attach(128, 128);
  EXPECT_EQ(3, mStream.Write("xyz", 3));
  EXPECT_TRUE(mStream.Unread("q", 1));
  EXPECT_EQ("xyz", mRecord.mData);
  EXPECT_EQ('q', mStream.ReadByte());
}

TEST_F(BufferedStream, TellCountsTheBytesStillHeld) {
  mRecord.mData = "0123456789";
  Attach(4, 4);
  int position = -1;
  EXPECT_EQ("012", ReadString(3));
  EXPECT_TRUE(mStream.Tell(position));
  EXPECT_EQ(3, position);
  EXPECT_TRUE(mStream.Unread("2", 1));
  EXPECT_TRUE(mStream.Tell(position));
  EXPECT_EQ(2, position);

  // Relative seeks start from that logical position.
  EXPECT_TRUE(mStream.SeekRelative(3));
  EXPECT_EQ('5', mStream.ReadByte());
  EXPECT_TRUE(mStream.Seek(1));
  EXPECT_EQ('1', mStream.ReadByte());
  EXPECT_TRUE(mStream.SeekFromEnd(-2));
  EXPECT_EQ("89", ReadString(5));
}

TEST_F(BufferedStream, WritingAfterReadingDropsTheReadAheadInPlace) {
  mRecord.mData = "0123456789";
  Attach(128, 128);
  EXPECT_EQ('0', mStream.ReadByte());  // the whole file is now read ahead
  EXPECT_EQ(1, mStream.Write("!", 1));
  EXPECT_EQ(-1, mStream.ReadByte());   // nothing held any more
  mStream.Close();
  EXPECT_EQ("0123456789!", mRecord.mData);
}

TEST_F(BufferedStream, TellAndSeekFlushPendingWrites) {
  Attach(128, 128);
  EXPECT_EQ(4, mStream.Write("abcd", 4));
  int position = -1;
  EXPECT_TRUE(mStream.Tell(position));
  EXPECT_EQ(4, position);
  EXPECT_EQ("abcd", mRecord.mData);
  EXPECT_TRUE(mStream.Seek(1));
  EXPECT_EQ(2, mStream.Write("XY", 2));
  mStream.Close();
  EXPECT_EQ("aXYd", mRecord.mData);
}

TEST_F(BufferedStream, MarkAndReturnToMark) {
  mRecord.mData = "0123456789";
  Attach(128, 128);
  EXPECT_EQ("01", ReadString(2));
  EXPECT_TRUE(mStream.Mark());
  EXPECT_EQ("2345", ReadString(4));
  EXPECT_TRUE(mStream.ReturnToMark());
  EXPECT_EQ("23", ReadString(2));
  EXPECT_FALSE(mStream.ReturnToMark());  // the mark is used up
}

// ---- Attaching, closed streams -----------------------------------------------------------

TEST_F(BufferedStream, BadBufferSizesCloseTheFile) {
  EXPECT_FALSE(mStream.Attach(new cCountingFile(mRecord), 0, -1, 128));
  EXPECT_TRUE(mRecord.mDestroyed);
  EXPECT_EQ(nullptr, mStream.GetOsFile());
  EXPECT_FALSE(mStream.Attach(nullptr, 0, 128, 128));
}

TEST_F(BufferedStream, ClosedStreamsAnswerFailures) {
  char byte;
  int position;
  EXPECT_FALSE(mStream.IsOpen());
  EXPECT_EQ(-1, mStream.Read(&byte, 1));
  EXPECT_EQ(-1, mStream.ReadByte());
  EXPECT_EQ(-1, mStream.Write("x", 1));
  EXPECT_FALSE(mStream.WriteByte('x'));
  EXPECT_FALSE(mStream.Unread("x", 1));
  EXPECT_FALSE(mStream.Tell(position));
  EXPECT_FALSE(mStream.Seek(0));
  EXPECT_FALSE(mStream.ReadAsync(0, &byte, 1));
  EXPECT_TRUE(mStream.Flush());  // nothing pending
}

TEST_F(BufferedStream, AttachingAgainReplacesTheFile) {
  Attach(128, 128);
  EXPECT_EQ(3, mStream.Write("one", 3));
  sFileRecord second;
  ASSERT_TRUE(mStream.Attach(new cCountingFile(second), 0, 300, 300));  // block-heap buffers
  EXPECT_EQ("one", mRecord.mData);
  EXPECT_TRUE(mRecord.mDestroyed);
  EXPECT_EQ(3, mStream.Write("two", 3));
  mStream.Close();
  EXPECT_EQ("two", second.mData);
}

// ---- Character operations ------------------------------------------------------------------

TEST_F(BufferedStream, Utf8UnitsRoundTrip) {
  Attach(128, 128);
  const std::u16string units = u"A\u00E9\u20AC\u07FF\u0800\uFFFF\xD83D";
  for (char16_t unit : units) ASSERT_TRUE(mStream.WriteUtf8Char(unit));
  ASSERT_TRUE(mStream.Seek(0));
  EXPECT_EQ(std::string("A\xC3\xA9\xE2\x82\xAC\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xED\xA0\xBD"),
            mRecord.mData);

  std::u16string read;
  bool failed = false;
  for (;;) {
    wchar16 unit = mStream.ReadUtf8Char(failed);
    if (failed) break;
    read += unit;
  }
  EXPECT_EQ(units, read);
}

// Each case: bytes, then whether reading the first unit is malformed.
TEST(Utf8Decoding, MalformedSequencesAreToldFromTheEnd) {
  struct sCase {
    std::string mBytes;
    bool mMalformed;
  };
  const sCase cases[] = {
      {"", false},            // end of input
      {"\xF0\x9F\x98\x80", true},  // four-byte form
      {"\xC3" "A", true},     // second byte below 0x80
      {"\xE2\x82", true},     // cut short
      {"\xE2" "A\x82", true}, // broken inside a three-byte sequence
      {"\xC3", true},         // cut short after the first byte
  };
  for (const sCase& c : cases) {
    sFileRecord record;
    record.mData = c.mBytes;
    cFxFile stream;
    ASSERT_TRUE(stream.Attach(new cCountingFile(record), 0, 128, 0));
    FxSetErrorCode(0);
    bool failed = false, malformed = false;
    stream.ReadUtf8Char(failed, malformed);
    EXPECT_TRUE(failed) << c.mBytes;
    EXPECT_EQ(c.mMalformed, malformed) << c.mBytes;
    EXPECT_EQ(c.mMalformed ? kFxError::cBadUtf8 : 0u, FxGetErrorCode()) << c.mBytes;
  }
}

TEST(Utf8Decoding, LeadBytesAreNotCheckedFurther) {
  sFileRecord record;
  record.mData = "\x80\x80\xC0\xAF";  // a lone continuation byte, an overlong "/"
  cFxFile stream;
  ASSERT_TRUE(stream.Attach(new cCountingFile(record), 0, 1, 0));
  bool failed = false;
  EXPECT_EQ(0x0000, stream.ReadUtf8Char(failed));
  EXPECT_FALSE(failed);
  EXPECT_EQ(u'/', stream.ReadUtf8Char(failed));
  EXPECT_FALSE(failed);
}

TEST_F(BufferedStream, WideUnitsAreLittleEndian) {
  Attach(128, 128);
  EXPECT_TRUE(mStream.WriteWideChar(0xFEFF));
  EXPECT_TRUE(mStream.WriteWideChar(0x20AC));
  mStream.Flush();
  EXPECT_EQ(std::string("\xFF\xFE\xAC\x20"), mRecord.mData);
}

TEST_F(BufferedStream, WideRunsRoundTrip) {
  Attach(100, 100);
  std::u16string text;
  for (int i = 0; i < 1000; ++i) text += static_cast<char16_t>(0x41 + i * 37 % 0xFFBF);
  EXPECT_TRUE(mStream.WriteWideChars(reinterpret_cast<const wchar16*>(text.data()),
                                     static_cast<uint32_t>(text.size())));
  EXPECT_TRUE(mStream.WriteWideChars(nullptr, 0));
  EXPECT_EQ(1, mStream.Write("!", 1));  // one byte short of another unit
  ASSERT_TRUE(mStream.Seek(0));
  EXPECT_EQ(test::Utf16Le(text) + "!", mRecord.mData);

  std::u16string read;
  bool failed = false;
  for (;;) {
    wchar16 unit = mStream.ReadWideChar(failed);
    if (failed) break;
    read += unit;
  }
  EXPECT_EQ(text, read);
}

// ---- Real files through the mounted file system ----------------------------------------------

class FileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    // Another part of this test program may have mounted it already.
    if (FxFindMount(cFxString("os")) == nullptr) {
      ASSERT_TRUE(InitFileSystems());
      mMounted = true;
    }
    FxSetErrorCode(0);
  }
  void TearDown() override {
    if (mMounted) ShutdownFileSystems();
  }
  cFxPath Path(const std::string& name) { return cFxPath((mDir / name).c_str()); }

  TempDir mDir;
  bool mMounted = false;
};

TEST_F(FileOnDisk, ReplaceWritesAndReadReadsBack) {
  cFxFile out;
  ASSERT_TRUE(out.Open(Path("a.xml"), kFxFileMode::cModeReplace, 0, 0, 128, 128));
  std::string text = Pattern(5000);
  EXPECT_EQ(5000, out.Write(text.data(), 5000));
  out.Close();
  EXPECT_EQ(text, ReadFile(mDir / "a.xml"));

  cFxFile in;
  ASSERT_TRUE(in.Open(cFxPath(("@os:" + (mDir / "a.xml")).c_str()), kFxFileMode::cModeRead, 0, 0,
                      128, 128));
  std::string gathered;
  for (int c; (c = in.ReadByte()) >= 0;) gathered += static_cast<char>(c);
  EXPECT_EQ(text, gathered);
}

TEST_F(FileOnDisk, AppendAddsToTheEnd) {
  WriteFile(mDir / "out.txt", "first;");
  cFxFile out;
  ASSERT_TRUE(out.Open(Path("out.txt"), kFxFileMode::cModeAppend, 0, 0, 128, 128));
  EXPECT_EQ(7, out.Write("second;", 7));
  out.Close();
  EXPECT_EQ("first;second;", ReadFile(mDir / "out.txt"));
}

TEST_F(FileOnDisk, OpenFailuresAnswerFalse) {
  cFxFile file;
  EXPECT_FALSE(file.Open(Path("missing.xml"), kFxFileMode::cModeRead, 0, 0, 128, 128));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
  EXPECT_FALSE(file.Open(cFxPath("@nofs:/a.xml"), kFxFileMode::cModeRead, 0, 0, 128, 128));
  EXPECT_FALSE(file.Open(cFxPath("@os:/a//b.xml"), kFxFileMode::cModeRead, 0, 0, 128, 128));
  EXPECT_FALSE(file.Open(cFxPath(), kFxFileMode::cModeRead, 0, 0, 128, 128));
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileOnDisk, OpeningAgainClosesTheFirstFile) {
  WriteFile(mDir / "a.txt", "a");
  WriteFile(mDir / "b.txt", "b");
  uint32_t before = FxFilePoolInUse();
  cFxFile file;
  ASSERT_TRUE(file.Open(Path("a.txt"), kFxFileMode::cModeRead, 0, 0, 128, 128));
  ASSERT_TRUE(file.Open(Path("b.txt"), kFxFileMode::cModeRead, 0, 0, 128, 128));
  EXPECT_EQ(before + 1, FxFilePoolInUse());
  EXPECT_EQ('b', file.ReadByte());
  file.Close();
  EXPECT_EQ(before, FxFilePoolInUse());
}

}  // namespace
