// Data files read ahead on the reader's thread reach the run's thread whole
// and in the run's order at every bound: across buffer and byte-bound edges,
// empty files, files that cannot be opened between readable ones, files
// left before their end; memory held ahead stays within the bound; and a
// fatal error with files read ahead ends the program cleanly.

#include "ContentTree.h"
#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "app/ReadAhead.h"
#include "xml/cFxFile.h"

namespace {

using namespace test;

// Bytes that differ from file to file and along each one, so a byte from
// the wrong file or place shows.
std::string Contents(size_t file, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (file * 7 + i * 13 + i / 251) % 61);
  return bytes;
}

// Files f0.xml, f1.xml, ... in `dir`, each with Contents(i, size) where
// `sizes` names one; -1 is a missing file, -2 a folder.
std::vector<cFxWString> MakeFiles(const TempDir& dir, const std::vector<long>& sizes) {
  std::vector<cFxWString> paths;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const std::string path = dir / ("f" + std::to_string(i) + ".xml");
    if (sizes[i] >= 0) WriteFile(path, Contents(i, static_cast<size_t>(sizes[i])));
    if (sizes[i] == -2) fs::create_directories(path);
    paths.push_back(cFxWString(path.c_str()));
  }
  return paths;
}

TEST(ReadAhead, EveryFileArrivesWholeInOrderAtEveryBound) {
  // Files, bytes ahead, buffer size.
  const std::tuple<uint32_t, size_t, size_t> bounds[] = {
      {1, 1, 1}, {2, 7, 3}, {3, 64, 16}, {5, 16, 64},
      {kReadAhead::cMaxFiles, kReadAhead::cMaxBytesAhead, kReadAhead::cBufferBytes}};
  for (const auto& [maxFiles, n, b] : bounds) {
    SCOPED_TRACE(std::to_string(maxFiles) + " files, " + std::to_string(n) + " bytes, buffers of " + std::to_string(b));
    // Sizes at the buffer's and the bound's edges, and one far beyond both;
    // the stream of each file in `leftEarly` is closed after its first read.
    const long big = static_cast<long>(3 * n + b + 1);
    const std::vector<long> sizes = {0, 1, -1, long(b) - 1, long(b), -2, long(b) + 1, 0, long(n) - 1, long(n),
                                     long(n) + 1, big, big, -1, 2};
    const std::vector<size_t> leftEarly = {9, 11};
    TempDir dir;
    const std::vector<cFxWString> paths = MakeFiles(dir, sizes);
    cReadAhead readAhead(maxFiles, n, b);
    size_t queued = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
      SCOPED_TRACE(i);
      // Queued as the run queues them: as many as there is room for.
      for (; queued < sizes.size() && readAhead.HasRoom(); ++queued) readAhead.Queue(paths[queued]);
      cFxFile stream;
      ASSERT_EQ(readAhead.OpenNext(paths[i], stream), sizes[i] >= 0);
      if (sizes[i] < 0) {
        EXPECT_FALSE(stream.IsOpen());
        EXPECT_STRNE(FxGetErrorMessage(), "");
        continue;
      }
      const bool early = std::count(leftEarly.begin(), leftEarly.end(), i) != 0;
      const std::string expected = Contents(i, static_cast<size_t>(sizes[i]));
      std::string got;
      // The stream's reads as the parser makes them, and odd small ones.
      const int want = i % 2 ? 5 : 16 * 1024;
      std::vector<char> chunk(static_cast<size_t>(want));
      for (int count = want; count == want && !(early && !got.empty());) {
        count = stream.Read(chunk.data(), want);
        ASSERT_GE(count, 0);
        ASSERT_LE(count, want);  // also where a read spans two buffers
        got.append(chunk.data(), static_cast<size_t>(count));
        // Fewer bytes than asked only at the end, which the next read confirms.
        if (count < want) {
          EXPECT_EQ(got.size(), expected.size());
          EXPECT_EQ(stream.Read(chunk.data(), want), 0);
        }
      }
      EXPECT_EQ(got, early ? expected.substr(0, got.size()) : expected);
      EXPECT_TRUE(stream.Close());
      // Closed on the reader's side too: on Windows a file held open there
      // could not be replaced.
      if (early) {
        EXPECT_TRUE(FxPlatformDeleteFile(paths[i].c_str()).IsOk());
      }
    }
    // Never more read ahead than the bound, or one buffer when that is more.
    EXPECT_LE(readAhead.PeakBytesAhead(), std::max(n, b));
    EXPECT_GT(readAhead.PeakBytesAhead(), 0u);
  }
}

// Reads file `file` of Contents, 100 bytes, through the read-ahead.
void ExpectRead(cReadAhead& readAhead, const cFxWString& path, size_t file) {
  cFxFile stream;
  char bytes[200];
  ASSERT_TRUE(readAhead.OpenNext(path, stream));
  ASSERT_EQ(stream.Read(bytes, sizeof bytes), 100);
  EXPECT_EQ(std::string(bytes, 100), Contents(file, 100));
}

TEST(ReadAhead, AFileNotQueuedIsReadAsItStandsAndAFailedReadFailsTheStream) {
  TempDir dir;
  const std::vector<cFxWString> paths = MakeFiles(dir, {100, 100, 100});
  cReadAhead readAhead(4, 64, 16);
  readAhead.Queue(paths[1]);
  readAhead.Queue(paths[2]);
  // A file the run did not queue does not take the place of the next one.
  for (size_t file : {0u, 1u, 2u}) ExpectRead(readAhead, paths[file], file);
#ifdef __linux__
  // A file that opens but cannot be read: the process's memory at address 0.
  const cFxWString unreadable("/proc/self/mem");
  readAhead.Queue(unreadable);
  readAhead.Queue(paths[1]);
  cFxFile stream;
  char bytes[10];
  ASSERT_TRUE(readAhead.OpenNext(unreadable, stream));
  FxSetErrorMessage("%s", "");
  EXPECT_EQ(stream.Read(bytes, 10), -1);
  EXPECT_STREQ(FxGetErrorMessage(), "Input/output error");
  EXPECT_EQ(stream.Read(bytes, 10), -1);
  stream.Close();
  ExpectRead(readAhead, paths[1], 1);
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
  TempDir dir;
  const std::vector<cFxWString> paths = MakeFiles(dir, std::vector<long>(24, 5000));
  const auto run = [&] {
    FxSetPreExitHook(ReportThreads);
    cReadAhead readAhead(8, 1024, 256);
    for (const cFxWString& path : paths)
      if (readAhead.HasRoom()) readAhead.Queue(path);
    cFxFile stream;
    char bytes[100];
    if (readAhead.OpenNext(paths[0], stream) && stream.Read(bytes, sizeof bytes) == 100) FxFatalError("%s", "stopped");
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(kFatalExitStatus), "^threads: 1\nERROR: stopped\n");
}

}  // namespace
