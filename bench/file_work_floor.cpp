// The file system's share of a source update or replacement: the file work
// alone, done to every ".xml" data file of a tree as the commit queue does
// it, with nothing parsed and nothing written anew.
//
// For each data file: read it whole, create "<name>.temp" beside it, write
// the same bytes and close it; every 64 copies of a thread are put on the
// disk with one request (FxPlatformSyncFiles), then each takes its data
// file's place (FxPlatformReplaceFile). The files are shared among a few
// threads, as the queue's writer and settlers share them. Whatever a run
// that replaces each file through a temporary sibling does, it spends this
// much on top of its parsing, or overlaps it; so the time printed here,
// set beside -sx's on the same tree and file system, tells how close to
// twice -sx's time -su and -sr can come there at all.
//
// The data files keep their bytes but not their identity (each becomes a
// new file): run it on a copy of a tree, as -su and -sr are run.
//
// Usage: file_work_floor <tree> [threads]     (default 4)
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Core/platform/FxPlatform.h"

namespace {

namespace fs = std::filesystem;

// Copies put on the disk with one request, as the commit queue batches them.
constexpr size_t cBatchFiles = 64;
constexpr size_t cReadBytes = 64 * 1024;

bool IsDataFile(const fs::path& path) {
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".xml";
}

std::u16string Units(const std::string& native) {
  return FxPlatformNameUnits(native.data(), static_cast<uint32_t>(native.size()));
}

bool ReadWhole(const std::string& path, std::vector<char>& bytes, std::string& reason) {
  intptr_t handle = 0;
  uint64_t size = 0;
  cFxOsResult result = FxPlatformOpenFileForReading(path.c_str(), handle, size);
  if (!result.IsOk()) {
    reason = result.Text();
    return false;
  }
  bytes.clear();
  for (;;) {
    const size_t at = bytes.size();
    bytes.resize(at + cReadBytes);
    size_t got = 0;
    result = FxPlatformReadFile(handle, bytes.data() + at, cReadBytes, got);
    bytes.resize(at + got);
    if (!result.IsOk() || got == 0) break;
  }
  reason = result.Text();
  return FxPlatformCloseFile(handle).IsOk() && result.IsOk();
}

bool WriteCopy(const std::string& path, const std::vector<char>& bytes, std::string& reason) {
  intptr_t handle = 0;
  cFxOsResult result = FxPlatformCreateTemporaryFile(path.c_str(), handle);
  if (result.IsOk()) {
    result = FxPlatformWriteFile(handle, bytes.data(), bytes.size());
    const cFxOsResult closed = FxPlatformCloseFile(handle);
    if (result.IsOk()) result = closed;
  }
  reason = result.Text();
  return result.IsOk();
}

// Puts a batch of copies on the disk, then lets each take its place.
bool Settle(const std::vector<std::string>& dataFiles, std::string& reason) {
  std::vector<std::u16string> copies;
  for (const std::string& file : dataFiles) copies.push_back(Units(file + ".temp"));
  const std::vector<cFxOsResult> synced = FxPlatformSyncFiles(copies);
  for (size_t i = 0; i < dataFiles.size(); ++i) {
    cFxOsResult result = synced[i];
    if (result.IsOk()) result = FxPlatformReplaceFile(copies[i].c_str(), Units(dataFiles[i]).c_str());
    if (!result.IsOk()) {
      reason = result.Text();
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: file_work_floor <tree> [threads]\n");
    return 2;
  }
  const unsigned threads = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 4;
  std::vector<std::string> files;
  uint64_t bytes = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(argv[1], error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file() || !IsDataFile(it->path())) continue;
    files.push_back(it->path().string());
    bytes += it->file_size();
  }
  if (error || files.empty() || threads == 0) {
    std::fprintf(stderr, "no data files under %s\n", argv[1]);
    return 1;
  }

  std::atomic<bool> failed{false};
  const auto work = [&](unsigned first) {
    std::vector<char> content;
    std::vector<std::string> batch;
    std::string reason;
    for (size_t i = first; i < files.size() && !failed; i += threads) {
      if (!ReadWhole(files[i], content, reason) || !WriteCopy(files[i] + ".temp", content, reason)) break;
      batch.push_back(files[i]);
      if (batch.size() == cBatchFiles) {
        if (!Settle(batch, reason)) break;
        batch.clear();
      }
    }
    if (reason.empty() && !Settle(batch, reason) && reason.empty()) reason = "not settled";
    if (!reason.empty()) {
      std::fprintf(stderr, "%s\n", reason.c_str());
      failed = true;
    }
  };

  const std::clock_t cpuStart = std::clock();
  const auto wallStart = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work, t);
  for (std::thread& worker : workers) worker.join();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  if (failed) return 1;
  std::printf("%zu data files, %.1f MB, %u threads: %.3f s wall, %.3f s CPU, %.1f MB/s\n", files.size(),
              static_cast<double>(bytes) / 1e6, threads, wall, cpu, static_cast<double>(bytes) / 1e6 / wall);
  return 0;
}
