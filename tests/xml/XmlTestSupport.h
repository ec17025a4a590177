// Helpers of the XML suites: in-memory OS files behind a real cFxFile (so a
// stream, parser or writer can be run at any buffer size), a writer's
// output, texts shown compactly.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "API/core/cFxString.h"
#include "API/core/cFxOsFileSystem.h"
#include "xml/cFxFile.h"
#include "xml/cXmlParser.h"
#include "xml/cXmlWriter.h"

namespace xmltest {

// What a cMemoryFile holds and saw; outlives the file object a stream
// destroys when it closes.
struct sMemoryFile {
  std::string mData;
  size_t mPosition = 0;
  size_t mFailAt = std::string::npos;  // a read from this position fails
  int mShortWriteLimit = -1;           // a write takes at most this many bytes
  int mShortReadLimit = -1;            // a read gives at most this many bytes
  std::vector<int> mReads;             // sizes asked for
  std::vector<int> mWrites;            // sizes handed over
  bool mDestroyed = false;
};

// An in-memory OS file that reads and writes its record at its position.
// Writes reaching past 1 MiB fail: a writer gone wrong (a depth wrapped
// round to four billion TABs) must not fill the memory.
class cMemoryFile : public cFxOsFile {
 public:
  explicit cMemoryFile(sMemoryFile& record) : mRecord(record) {}
  // A file with a record of its own, serving `bytes`.
  explicit cMemoryFile(std::string bytes, size_t failAt = std::string::npos) : mRecord(mOwn) {
    mOwn.mData = std::move(bytes);
    mOwn.mFailAt = failAt;
  }
  ~cMemoryFile() override { mRecord.mDestroyed = true; }

  bool Close() override { return true; }
  bool Flush() override { return true; }
  int Read(void* buffer, int count) override {
    sMemoryFile& r = mRecord;
    r.mReads.push_back(count);
    if (r.mPosition == r.mFailAt) return -1;
    size_t take = std::min({static_cast<size_t>(count), r.mData.size() - std::min(r.mPosition, r.mData.size()),
                            r.mFailAt - r.mPosition});
    if (r.mShortReadLimit >= 0) take = std::min(take, static_cast<size_t>(r.mShortReadLimit));
    r.mData.copy(static_cast<char*>(buffer), take, r.mPosition);
    r.mPosition += take;
    return static_cast<int>(take);
  }
  int Write(const void* buffer, int count) override {
    sMemoryFile& r = mRecord;
    r.mWrites.push_back(count);
    if (r.mPosition + static_cast<size_t>(count) > (1u << 20)) return -1;
    const int take = r.mShortWriteLimit >= 0 ? std::min(count, r.mShortWriteLimit) : count;
    if (r.mData.size() < r.mPosition) r.mData.resize(r.mPosition);
    r.mData.replace(r.mPosition, static_cast<size_t>(take), static_cast<const char*>(buffer), static_cast<size_t>(take));
    r.mPosition += static_cast<size_t>(take);
    return take;
  }
  bool Tell(int& position) override { return position = static_cast<int>(mRecord.mPosition), true; }
  bool Seek(int position) override { return position >= 0 && (mRecord.mPosition = static_cast<size_t>(position), true); }
  bool SeekRelative(int delta) override { return Seek(static_cast<int>(mRecord.mPosition) + delta); }
  bool SeekFromEnd(int delta) override { return Seek(static_cast<int>(mRecord.mData.size()) + delta); }

 private:
  sMemoryFile mOwn;
  sMemoryFile& mRecord;
};

// Runs `calls` on a writer begun on a stream that writes through a buffer
// of `bufferSize` bytes; answers the bytes written.
inline std::string WriteDocument(const std::function<void(cXmlWriter&)>& calls, int bufferSize = 128) {
  sMemoryFile out;
  cFxFile file;
  file.Attach(new cMemoryFile(out), 0, 0, bufferSize);
  cXmlWriter writer;
  writer.Begin(file);
  calls(writer);
  file.Close();
  return out.mData;
}

// A text with CR, LF and TAB escaped, other units below 0x20 or from 0x7F up
// as \uXXXX.
inline std::string Show(const cFxWString& text) {
  std::string out;
  for (uint32_t i = 0; i < text.Length(); ++i) {
    const wchar16 unit = text.c_str()[i];
    char code[8] = {static_cast<char>(unit)};
    if (unit == u'\r' || unit == u'\n' || unit == u'\t') {
      std::snprintf(code, sizeof code, "\\%c", unit == u'\r' ? 'r' : unit == u'\n' ? 'n' : 't');
    } else if (unit < 0x20 || unit >= 0x7F) {
      std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(unit));
    }
    out += code;
  }
  return out;
}

inline std::string ShowName(const cFxWString& ns, const cFxWString& name) {
  return ns.IsEmpty() ? Show(name) : "{" + Show(ns) + "}" + Show(name);
}

}  // namespace xmltest
