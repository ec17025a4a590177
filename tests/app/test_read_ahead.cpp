// Data files read ahead on the reader's thread reach the run's thread whole
// and in the run's order at every bound: across buffer and byte-bound edges,
// empty files, files that cannot be opened between readable ones, files
// left before their end; memory held ahead stays within the bound; and a
// fatal error with files read ahead ends the program cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "app/ReadAhead.h"
#include "support/TestSupport.h"
#include "xml/cFxFile.h"

namespace {

namespace fs = std::filesystem;

// Bytes that differ from file to file and along each one, so a byte from
// the wrong file or place shows.
std::string Contents(size_t file, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (file * 7 + i * 13 + i / 251) % 61);
  return bytes;
}

enum eKind { cReadable, cMissing, cFolder };
struct sFile {
  eKind kind;
  size_t size;
  bool leftEarly;  // the stream is closed after its first read
};

// The stream's reads as the parser makes them, and odd small ones.
constexpr int kReadSizes[] = {16 * 1024, 5};

TEST(ReadAhead, EveryFileArrivesWholeInOrderAtEveryBound) {
  struct sBounds {
    uint32_t files;
    size_t bytes;
    size_t buffer;
  };
  const sBounds bounds[] = {{1, 1, 1}, {2, 7, 3}, {3, 64, 16}, {5, 16, 64},
                            {kReadAhead::cMaxFiles, kReadAhead::cMaxBytesAhead, kReadAhead::cBufferBytes}};
  for (const sBounds& bound : bounds) {
    SCOPED_TRACE(std::to_string(bound.files) + " files, " + std::to_string(bound.bytes) + " bytes, buffers of " +
                 std::to_string(bound.buffer));
    const size_t b = bound.buffer;
    const size_t n = bound.bytes;
    // Sizes at the buffer's and the bound's edges, and one far beyond both.
    const std::vector<sFile> files = {
        {cReadable, 0, false},        {cReadable, 1, false},     {cMissing, 0, false},
        {cReadable, b - 1, false},    {cReadable, b, false},     {cFolder, 0, false},
        {cReadable, b + 1, false},    {cReadable, 0, false},     {cReadable, n - 1, false},
        {cReadable, n, true},         {cReadable, n + 1, false}, {cReadable, 3 * n + b + 1, true},
        {cReadable, 3 * n + b + 1, false}, {cMissing, 0, false}, {cReadable, 2, false}};
    test::TempDir dir;
    std::vector<cFxWString> paths;
    for (size_t i = 0; i < files.size(); ++i) {
      const std::string path = dir / ("f" + std::to_string(i) + ".xml");
      if (files[i].kind == cReadable) test::WriteFile(path, Contents(i, files[i].size));
      if (files[i].kind == cFolder) fs::create_directories(path);
      paths.push_back(cFxWString(path.c_str()));
    }

    cReadAhead readAhead(bound.files, bound.bytes, bound.buffer);
    size_t queued = 0;
    for (size_t i = 0; i < files.size(); ++i) {
      SCOPED_TRACE(i);
      // Queued as the run queues them: as many as there is room for.
      for (; queued < files.size() && readAhead.HasRoom(); ++queued) readAhead.Queue(paths[queued]);
      cFxFile stream;
      ASSERT_EQ(readAhead.OpenNext(paths[i], stream), files[i].kind == cReadable);
      if (files[i].kind != cReadable) {
        EXPECT_FALSE(stream.IsOpen());
        EXPECT_STRNE(FxGetErrorMessage(), "");
        continue;
      }
      const std::string expected = Contents(i, files[i].size);
      std::string got;
      const int want = kReadSizes[i % 2];
      std::vector<char> chunk(static_cast<size_t>(want));
      for (;;) {
        const int count = stream.Read(chunk.data(), want);
        ASSERT_GE(count, 0);
        got.append(chunk.data(), static_cast<size_t>(count));
        // Fewer bytes than asked only at the end, which the next read confirms.
        if (count < want) {
          EXPECT_EQ(got.size(), expected.size());
          EXPECT_EQ(stream.Read(chunk.data(), want), 0);
          break;
        }
        if (files[i].leftEarly) break;
      }
      EXPECT_EQ(got, expected.substr(0, got.size()));
      if (!files[i].leftEarly) {
        EXPECT_EQ(got.size(), expected.size());
      }
      EXPECT_TRUE(stream.Close());
      // Closed on the reader's side too: on Windows a file held open there
      // could not be replaced.
      if (files[i].leftEarly) {
        EXPECT_TRUE(FxPlatformDeleteFile(paths[i].c_str()).IsOk());
      }
    }
    // Never more read ahead than the bound, or one buffer when that is more.
    EXPECT_LE(readAhead.PeakBytesAhead(), std::max(bound.bytes, bound.buffer));
    EXPECT_GT(readAhead.PeakBytesAhead(), 0u);
  }
}

TEST(ReadAhead, AFileNotQueuedIsReadAsItStandsAndAFailedReadFailsTheStream) {
  test::TempDir dir;
  const std::string a = dir / "a.xml", b = dir / "b.xml", other = dir / "other.xml";
  test::WriteFile(a, Contents(1, 100));
  test::WriteFile(b, Contents(2, 100));
  test::WriteFile(other, Contents(3, 100));
  cReadAhead readAhead(4, 64, 16);
  readAhead.Queue(cFxWString(a.c_str()));
  readAhead.Queue(cFxWString(b.c_str()));
  char bytes[200];
  // A file the run did not queue does not take the place of the next one.
  for (const auto& [path, file] : {std::pair<std::string, size_t>{other, 3}, {a, 1}, {b, 2}}) {
    SCOPED_TRACE(path);
    cFxFile stream;
    ASSERT_TRUE(readAhead.OpenNext(cFxWString(path.c_str()), stream));
    ASSERT_EQ(stream.Read(bytes, sizeof bytes), 100);
    EXPECT_EQ(std::string(bytes, 100), Contents(file, 100));
  }
#ifdef __linux__
  // A file that opens but cannot be read: the process's memory at address 0.
  const cFxWString unreadable("/proc/self/mem");
  readAhead.Queue(unreadable);
  readAhead.Queue(cFxWString(a.c_str()));
  cFxFile stream;
  ASSERT_TRUE(readAhead.OpenNext(unreadable, stream));
  FxSetErrorMessage("%s", "");
  EXPECT_EQ(stream.Read(bytes, 10), -1);
  EXPECT_STREQ(FxGetErrorMessage(), "Input/output error");
  EXPECT_EQ(stream.Read(bytes, 10), -1);
  stream.Close();
  ASSERT_TRUE(readAhead.OpenNext(cFxWString(a.c_str()), stream));
  ASSERT_EQ(stream.Read(bytes, sizeof bytes), 100);
  EXPECT_EQ(std::string(bytes, 100), Contents(1, 100));
#endif
}

// The hook a fatal error runs after the reader's: it reports whether the
// reader's thread is gone.
void ReportThreads() {
#ifdef __linux__
  size_t threads = 0;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) threads += task.exists() ? 1 : 0;
  fprintf(stderr, "threads: %zu\n", threads);
#else
  fputs("threads: 1\n", stderr);
#endif
}

TEST(ReadAheadDeathTest, AFatalErrorWithFilesReadAheadStopsTheReaderAndEnds) {
  test::TempDir dir;
  std::vector<cFxWString> paths;
  for (size_t i = 0; i < 24; ++i) {
    const std::string path = dir / ("f" + std::to_string(i) + ".xml");
    test::WriteFile(path, Contents(i, 5000));
    paths.push_back(cFxWString(path.c_str()));
  }
  const auto run = [&] {
    FxSetPreExitHook(ReportThreads);
    cReadAhead readAhead(8, 1024, 256);
    for (const cFxWString& path : paths)
      if (readAhead.HasRoom()) readAhead.Queue(path);
    cFxFile stream;
    char bytes[100];
    if (readAhead.OpenNext(paths[0], stream) && stream.Read(bytes, sizeof bytes) == 100)
      FxFatalError("%s", "stopped");
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(test::kFatalExitStatus), "^threads: 1\nERROR: stopped\n");
}

}  // namespace
