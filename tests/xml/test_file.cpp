// cFxFile: the buffering rules, measured through an in-memory OS file that
// records every call, the character operations, and streams on real files
// opened through the mounted "os" file system.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "XmlTestSupport.h"
#include "support/TestSupport.h"

namespace {

using test::ReadFile;
using test::TempDir;
namespace fs = std::filesystem;

using xmltest::cMemoryFile;
using xmltest::sMemoryFile;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 23);
  return bytes;
}

class BufferedStream : public ::testing::Test {
 protected:
  void Attach(int readBuffer, int writeBuffer) {
    ASSERT_TRUE(mStream.Attach(new cMemoryFile(mRecord), 0, readBuffer, writeBuffer));
  }
  std::string ReadString(int count) {
    std::string bytes(static_cast<size_t>(count), '\0');
    int got = mStream.Read(&bytes[0], count);
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
  }

  sMemoryFile mRecord;
  cFxFile mStream;
};

TEST(BufferedWrite, DataThatDoesNotFitFlushesFirstAndLargeDataGoesStraight) {
  // Sizes handed to Write, and the OS writes seen before Flush: data that
  // fills the buffer exactly waits in it.
  const struct { int mBuffer; std::vector<int> mWrites, mOsWrites; } cases[] = {
      {128, {100, 100}, {100}}, {128, {10, 300}, {10, 300}}, {128, {128}, {}}, {128, {28, 100}, {}},
      {128, {129}, {129}},      {128, {10, 128}, {10}},     {0, {3, 1}, {3, 1}},
  };
  for (const auto& c : cases) {
    sMemoryFile record;
    cFxFile stream;
    ASSERT_TRUE(stream.Attach(new cMemoryFile(record), 0, 0, c.mBuffer));
    std::string expected;
    for (int size : c.mWrites) {
      const std::string data = Pattern(static_cast<size_t>(size));
      EXPECT_EQ(size, stream.Write(data.data(), size));
      expected += data;
    }
    EXPECT_EQ(c.mOsWrites, record.mWrites) << c.mBuffer << " " << c.mWrites.size();
    EXPECT_TRUE(stream.Flush());
    EXPECT_EQ(expected, record.mData);
  }
}

TEST_F(BufferedStream, ShortWritesFailAndKeepWhatDidNotReachTheFile) {
  Attach(0, 8);
  mRecord.mShortWriteLimit = 3;
  EXPECT_EQ(6, mStream.Write("abcdef", 6));
  EXPECT_EQ(-1, mStream.Write("ghi", 3));  // the flush is short
  EXPECT_EQ("abc", mRecord.mData);
  mRecord.mShortWriteLimit = 1;
  char byte;
  EXPECT_EQ(-1, mStream.Read(&byte, 1));  // bytes that cannot reach the file stop a read
  mRecord.mShortWriteLimit = -1;
  EXPECT_TRUE(mStream.Flush());
  EXPECT_EQ("abcdef", mRecord.mData);  // nothing twice, nothing lost
  EXPECT_TRUE(mStream.WriteByte('g'));
  // The short write is remembered although all bytes arrived later.
  EXPECT_TRUE(mStream.HasWriteFailed());
  EXPECT_FALSE(mStream.Close());  // writes the rest
  EXPECT_EQ("abcdefg", mRecord.mData);
  EXPECT_TRUE(mRecord.mDestroyed);
  EXPECT_TRUE(mStream.HasWriteFailed());
  Attach(0, 8);  // a new file starts clean
  EXPECT_FALSE(mStream.HasWriteFailed());
  EXPECT_TRUE(mStream.GetFailure().IsEmpty());
  EXPECT_TRUE(mStream.Close());
}

TEST_F(BufferedStream, ReadsRefillTheBufferOrGoStraightToTheFile) {
  mRecord.mData = Pattern(2000);
  Attach(128, 128);
  EXPECT_EQ(mRecord.mData.substr(0, 1000), ReadString(1000));  // larger than the buffer
  EXPECT_EQ(mRecord.mData.substr(1000, 10), ReadString(10));    // one refill
  EXPECT_EQ(mRecord.mData.substr(1010, 500), ReadString(500));  // the 118 held, then straight
  std::string rest;
  for (int c; (c = mStream.ReadByte()) >= 0;) rest += static_cast<char>(c);
  EXPECT_EQ(mRecord.mData.substr(1510), rest);
  // The last refill answers 0.
  EXPECT_EQ((std::vector<int>{1000, 128, 382, 128, 128, 128, 128, 128}), mRecord.mReads);
  EXPECT_EQ("", ReadString(10));

  // A read straight from the file answers what that one read gave: a pipe
  // may give less than asked, and the caller asks again.
  mRecord.mReads.clear();
  mRecord.mPosition = 0;
  mRecord.mShortReadLimit = 300;
  EXPECT_EQ(mRecord.mData.substr(0, 300), ReadString(1000));
  EXPECT_EQ(std::vector<int>{1000}, mRecord.mReads);

  // A refill that fails answers -1, even after copying what was held.
  Attach(128, 128);
  mRecord.mPosition = 0;
  mRecord.mShortReadLimit = -1;
  mRecord.mFailAt = 128;
  EXPECT_EQ(mRecord.mData.substr(0, 10), ReadString(10));
  char bytes[200];
  EXPECT_EQ(-1, mStream.Read(bytes, 200));
}

TEST(BufferedRead, EveryBufferSizeReadsTheSameBytes) {
  const std::string data = Pattern(777);
  for (int size : {0, 1, 2, 3, 4, 5, 128, 1000}) {
    sMemoryFile record;
    record.mData = data;
    cFxFile stream;
    ASSERT_TRUE(stream.Attach(new cMemoryFile(record), 0, size, size));
    std::string gathered;
    int request = 1;
    for (int c; (c = stream.ReadByte()) >= 0; request = request % 16 + 1) {
      gathered += static_cast<char>(c);
      char bytes[16];
      int got = stream.Read(bytes, request);
      ASSERT_GE(got, 0);
      gathered.append(bytes, static_cast<size_t>(got));
    }
    EXPECT_EQ(data, gathered) << "buffer size " << size;
  }
}

TEST_F(BufferedStream, WriteSpaceIsTheBuffersOwnRoomAndCountsOnlyWhenCommitted) {
  mRecord.mData = "0123456789";
  Attach(128, 8);
  uint32_t room = 0;
  EXPECT_EQ(nullptr, mStream.GetWriteSpace(9, room));  // more than the buffer holds
  EXPECT_EQ('0', mStream.ReadByte());
  // The read-ahead is dropped without moving back, as a Write drops it.
  uint8_t* space = mStream.GetWriteSpace(4, room);
  ASSERT_NE(nullptr, space);
  EXPECT_EQ(8u, room);
  std::memcpy(space, "abcdefgh", 8);
  mStream.CommitWriteSpace(space + 3);  // only what is committed counts
  EXPECT_EQ(2, mStream.Write("de", 2));
  ASSERT_NE(nullptr, mStream.GetWriteSpace(3, room));  // just enough room: nothing goes out
  EXPECT_EQ(3u, room);
  EXPECT_TRUE(mRecord.mWrites.empty());
  // Too little room left: the buffer goes out first.
  space = mStream.GetWriteSpace(4, room);
  ASSERT_NE(nullptr, space);
  EXPECT_EQ(std::vector<int>{5}, mRecord.mWrites);
  EXPECT_EQ(8u, room);
  space[0] = 'f';
  mStream.CommitWriteSpace(space + 1);
  EXPECT_TRUE(mStream.Flush());
  EXPECT_EQ("0123456789abcdef", mRecord.mData);
  // A write-out that fails gives no room and is remembered.
  EXPECT_EQ(7, mStream.Write("1234567", 7));
  mRecord.mShortWriteLimit = 2;
  EXPECT_EQ(nullptr, mStream.GetWriteSpace(4, room));
  EXPECT_TRUE(mStream.HasWriteFailed());
  mStream.Close();
  EXPECT_EQ(nullptr, mStream.GetWriteSpace(1, room));  // closed
}

// Little-endian 16-bit units, one at a time and a run longer than the
// buffer, and a last byte without its partner. The units start at an odd
// place, so the buffer's last byte is left over again and again; no unit
// may overrun it.
TEST_F(BufferedStream, WideUnitsRoundTrip) {
  Attach(100, 100);
  std::u16string wide(300, u'\0');
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char16_t>(0x41 + i * 37 % 0xFFBF);
  EXPECT_EQ(1, mStream.Write("<", 1));
  EXPECT_TRUE(mStream.WriteWideChar(0xFEFF));
  for (size_t i = 0; i < 150; ++i) EXPECT_TRUE(mStream.WriteWideChar(wide[i]));
  EXPECT_TRUE(mStream.WriteWideChars(reinterpret_cast<const wchar16*>(wide.data()) + 150, 150));
  EXPECT_EQ(1, mStream.Write("!", 1));
  ASSERT_TRUE(mStream.Seek(1));
  EXPECT_EQ("<\xFF\xFE" + test::Utf16Le(wide) + "!", mRecord.mData);
  for (const int length : mRecord.mWrites) EXPECT_LE(length, 100);
  std::u16string read;
  bool failed = false;
  for (wchar16 unit; unit = mStream.ReadWideChar(failed), !failed;) read += unit;
  EXPECT_EQ(u"\uFEFF" + wide, read);
}

// The operations a reader of the core may use to look back: a mark is used
// once and then seeks to -1 (failing, having dropped the read-ahead as every
// seek does); at most eight bytes are given back, those given back last
// first, before the read-ahead; pending writes reach the file before a read.
TEST_F(BufferedStream, MarkUnreadAndMixedReadsAndWritesLandInPlace) {
  mRecord.mData = "0123456789";
  Attach(4, 4);
  EXPECT_EQ("01", ReadString(2));
  EXPECT_TRUE(mStream.Mark());
  EXPECT_EQ("234", ReadString(3));
  EXPECT_TRUE(mStream.ReturnToMark());
  EXPECT_EQ("23", ReadString(2));
  EXPECT_FALSE(mStream.ReturnToMark());
  EXPECT_EQ("6", ReadString(1));
  EXPECT_FALSE(mStream.Unread("123456789", 9));
  EXPECT_TRUE(mStream.Unread("12345", 5));
  EXPECT_FALSE(mStream.Unread("abcd", 4));  // 9 in all
  EXPECT_TRUE(mStream.Unread("abc", 3));
  EXPECT_EQ("abc12345789", ReadString(11));
  ASSERT_TRUE(mStream.Seek(2));
  EXPECT_EQ(2, mStream.Write("CD", 2));
  EXPECT_EQ('4', mStream.ReadByte());  // after the written bytes, not stale ones
  EXPECT_EQ("01CD456789", mRecord.mData);
  sMemoryFile second;  // a new file replaces the first, which is closed
  ASSERT_TRUE(mStream.Attach(new cMemoryFile(second), 0, 300, 300));
  EXPECT_TRUE(mRecord.mDestroyed);
  sMemoryFile third;
  EXPECT_FALSE(mStream.Attach(new cMemoryFile(third), 0, -1, 128));
  EXPECT_TRUE(third.mDestroyed);
  EXPECT_EQ(-1, mStream.ReadByte());
}

// The data files' UTF-8, whose rules the parser's suite checks at every
// chunk size: units round-trip through the stream's buffer and around it;
// the end of input and a malformed sequence both fail, only the second
// leaving the error code; overlong forms are not checked.
TEST_F(BufferedStream, Utf8UnitsRoundTripAndMalformedSequencesAreToldFromTheEnd) {
  Attach(4, 4);
  const std::u16string units = u"A\u00E9\u20AC\u07FF\u0800\uFFFF\xD83D";
  for (char16_t unit : units) ASSERT_TRUE(mStream.WriteUtf8Char(unit));
  ASSERT_TRUE(mStream.Seek(0));
  std::u16string read;
  bool failed = false;
  for (wchar16 unit; unit = mStream.ReadUtf8Char(failed), !failed;) read += unit;
  EXPECT_EQ(units, read);
  const struct { std::string mBytes; bool mFailed, mMalformed; wchar16 mUnit; } cases[] = {
      {"", true, false, 0}, {"\xF0\x9F\x98\x80", true, true, 0}, {"\xE2" "A\x82", true, true, 0},
      {"\xC3", true, true, 0}, {"\x80\x80", false, false, 0}, {"\xC0\xAF", false, false, u'/'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mBytes);
    sMemoryFile record;
    record.mData = c.mBytes;
    cFxFile stream;
    ASSERT_TRUE(stream.Attach(new cMemoryFile(record), 0, 1, 0));
    FxSetErrorCode(0);
    bool malformed = false;
    EXPECT_EQ(c.mUnit, stream.ReadUtf8Char(failed, malformed));
    EXPECT_EQ(c.mFailed, failed);
    EXPECT_EQ(c.mMalformed, malformed);
    EXPECT_EQ(c.mMalformed ? kFxError::cBadUtf8 : 0u, FxGetErrorCode());
  }
}

// The "os" file system is mounted for the whole test program.
class FileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override { FxSetErrorCode(0); }
  TempDir mDir;
};

TEST_F(FileOnDisk, OpenResolvesThePathThroughTheMountedFileSystem) {
  cFxFile file;
  ASSERT_TRUE(file.Open(cFxPath((mDir / "a.xml").c_str()), kFxFileMode::cModeReplace, 0, 0, 128, 128));
  EXPECT_EQ(3, file.Write("abc", 3));
  // Opening again closes the first file, its buffered bytes written out.
  ASSERT_TRUE(file.Open(cFxPath(test::InternalPath(mDir / "a.xml").c_str()), kFxFileMode::cModeAppend, 0, 0, 128, 128));
  EXPECT_EQ(1, file.Write(";", 1));
  file.Close();
  EXPECT_EQ("abc;", ReadFile(mDir / "a.xml"));
  // ".." right below a root stays there, and the system takes it as the root.
  const std::string internal = test::InternalPath(mDir / "a.xml");
  const size_t root = internal.find('/') + 1;
  ASSERT_TRUE(file.Open(cFxPath((internal.substr(0, root) + "../" + internal.substr(root)).c_str()),
                        kFxFileMode::cModeRead, 0, 0, 128, 128));
  file.Close();

  EXPECT_FALSE(file.Open(cFxPath((mDir / "missing.xml").c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
  EXPECT_EQ(kFxError::cFileNotFound, FxGetErrorCode());
  for (const cFxPath& path : {cFxPath("@nofs:/a.xml"), cFxPath("@os:/a//b.xml"), cFxPath()})
    EXPECT_FALSE(file.Open(path, kFxFileMode::cModeRead, 0, 0, 128, 128)) << path.GetText().c_str();
  EXPECT_FALSE(file.IsOpen());
}

#ifndef _WIN32
TEST_F(FileOnDisk, FailedOpenSaysWhyInTheSystemsWords) {
  fs::create_directory(mDir.Path() / "folder.txt");
  const struct { std::string path; const char* reason; } cases[] = {
      {mDir / "missing/a.txt", "No such file or directory"}, {mDir / "folder.txt", "Is a directory"},
      {mDir / (std::string(300, 'n') + ".txt"), "File name too long"}, {"@os:" + (mDir / "a//b.txt"), "Not a usable file name"},
  };
  for (const auto& c : cases) {
    cFxFile file;
    EXPECT_FALSE(file.Open(cFxPath(c.path.c_str()), kFxFileMode::cModeAppend, 0, 0, 0, 128));
    EXPECT_STREQ(c.reason, file.GetFailure().c_str()) << c.path;
    // A good open forgets the reason.
    ASSERT_TRUE(file.Open(cFxPath((mDir / "good.txt").c_str()), kFxFileMode::cModeAppend, 0, 0, 0, 128));
    EXPECT_TRUE(file.GetFailure().IsEmpty());
  }
}
#endif

#if defined(__linux__)
// /dev/full takes no byte: every write that reaches it fails with ENOSPC. It
// is opened for writing only, never deleted. Whatever did not fit the buffer
// met the full device; bytes still buffered fail Sync. The failure is
// remembered until the next open.
TEST_F(FileOnDisk, FailedWritesAreRememberedUntilTheNextOpenForEveryBufferSize) {
  for (int buffer : {0, 1, 7, 128, 64 * 1024}) {
    for (int size : {1, 6, 100, 1000}) {
      SCOPED_TRACE(std::to_string(buffer) + " " + std::to_string(size));
      cFxFile file;
      ASSERT_TRUE(file.Open(cFxPath("/dev/full"), kFxFileMode::cModeReplace, 0, 0, 0, buffer));
      const std::string data = Pattern(static_cast<size_t>(size));
      const bool reachedDevice = size > buffer;
      EXPECT_EQ(reachedDevice ? -1 : size, file.Write(data.data(), size));
      EXPECT_EQ(reachedDevice, file.HasWriteFailed());
      if (!reachedDevice) { EXPECT_FALSE(file.Sync()); }
      EXPECT_TRUE(file.HasWriteFailed());
      EXPECT_FALSE(file.Close());
      EXPECT_STREQ("No space left on device", file.GetFailure().c_str());
      ASSERT_TRUE(file.Open(cFxPath((mDir / "a.txt").c_str()), kFxFileMode::cModeReplace, 0, 0, 0, buffer));
      EXPECT_FALSE(file.HasWriteFailed());
      EXPECT_EQ(size, file.Write(data.data(), size));
      EXPECT_TRUE(file.Sync());
      EXPECT_TRUE(file.Close());
      EXPECT_EQ(data, ReadFile(mDir / "a.txt"));
    }
  }
}
#endif

}  // namespace
