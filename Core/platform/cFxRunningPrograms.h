// The children a backend has started without waiting for them and not yet
// reaped, each named by a token: the same bookkeeping for a POSIX process
// id and a Windows process handle. No part of the seam itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

template <typename tChild>
class cFxRunningPrograms {
 public:
  struct sProgram {
    uint32_t mToken;  // never 0, which names no child
    tChild mChild;
  };

  // Takes `child` on and answers the token that names it.
  uint32_t Add(tChild child) {
    if (++mLastToken == 0) ++mLastToken;
    mPrograms.push_back({mLastToken, child});
    return mLastToken;
  }
  // Gives up the child at `index` of Programs(), once reaped, and answers it.
  sProgram Remove(size_t index) {
    const sProgram program = mPrograms[index];
    mPrograms.erase(mPrograms.begin() + static_cast<std::ptrdiff_t>(index));
    return program;
  }
  void Clear() { mPrograms.clear(); }
  const std::vector<sProgram>& Programs() const { return mPrograms; }

 private:
  std::vector<sProgram> mPrograms;
  uint32_t mLastToken = 0;
};
