// Helpers of the bridge's suite: running the built program, and writing
// translations files readably.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Documents.h"
#include "support/TestSupport.h"

namespace bridge_test {

inline test::ProcessResult Bridge(const std::vector<std::string>& args, const std::string& cwd) {
  return test::Run(GLOSSMILL_BRIDGE_EXE, args, cwd);
}

// Whether `text` holds `part`; when not, the failure shows both.
inline ::testing::AssertionResult Holds(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// The UTF-16LE bytes of a translations file; "%" as in TranslationsText.
inline std::string File(const std::u16string& text) { return test::Utf16Le(test::TranslationsText(text)); }

// `count` empty text columns.
inline std::u16string Empty(int count) {
  std::u16string columns;
  for (int i = 0; i < count; ++i) columns += u"\t\"\"";
  return columns;
}

}  // namespace bridge_test
