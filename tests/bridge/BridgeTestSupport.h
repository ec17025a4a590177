// Helpers of the bridge's suite: running the built program, and writing
// translations files readably.
#pragma once

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace bridge_test {

inline test::ProcessResult Bridge(const std::vector<std::string>& args, const std::string& cwd) {
  return test::Run(GLOSSMILL_BRIDGE_EXE, args, cwd);
}

// The UTF-16LE bytes of a translations file; "%" stands for the columns
// between the key and the texts (TAB, "Vektrel", four TABs, "PC").
inline std::string File(const std::u16string& text) {
  std::u16string expanded;
  for (char16_t unit : text)
    expanded += unit == u'%' ? u"\tVektrel\t\t\t\tPC" : std::u16string(1, unit);
  return test::Utf16Le(expanded);
}

// `count` empty text columns.
inline std::u16string Empty(int count) {
  std::u16string columns;
  for (int i = 0; i < count; ++i) columns += u"\t\"\"";
  return columns;
}

}  // namespace bridge_test
