// The path steps the run drivers share: the key base cut from the start
// directory and a key path's way back to a native path.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "app/RunSupport.h"

namespace {

// Native paths written with "/" for readability, turned into this
// platform's separator.
cFxWString Native(const std::string& path) {
  std::u16string units(path.begin(), path.end());
  for (char16_t& unit : units)
    if (unit == u'/') unit = cFxNativeSeparator;
  return cFxWString(units.c_str(), static_cast<uint32_t>(units.size()));
}

TEST(RunSupport, KeyBaseLeavesTheSeparatorAfterARootToTheKeyPath) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/home/u/data", "/home/u/data"},
      {"/", ""},
      {"", ""},
  };
  for (const auto& [start, base] : cases)
    EXPECT_TRUE(KeyBaseOf(Native(start)) == Native(base)) << start;
}

TEST(RunSupport, KeyPathTurnsEveryBackslashIntoTheNativeSeparator) {
  const std::vector<std::pair<std::u16string, std::string>> cases = {
      {u"\\a.xml", "/a.xml"},
      {u"\\Rolling Stock\\sub\\b.bin", "/Rolling Stock/sub/b.bin"},
      {u"no separator.xml", "no separator.xml"},
      {u"", ""},
  };
  for (const auto& [key, native] : cases)
    EXPECT_TRUE(NativeKeyPath(cFxWString(key.c_str())) == Native(native)) << native;
}

}  // namespace
