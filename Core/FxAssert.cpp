// Support for the assertion macros.
#include "API/core/FxAssert.h"

#include <cstring>

#include "Core/platform/FxPlatform.h"

void FxAssertBreak() { FxPlatformDebugBreak(); }

// Signatures look like "static void tHolder<A, B>::Destroy() [with A = ...]"
// (GCC, Clang) or "tHolder<class A,struct B>::Destroy" (MSVC). Template
// arguments may hold spaces and parentheses, so both scans skip what lies
// between angle brackets; Clang also names "(anonymous namespace)".
void FxQualifiedFunctionName(const char* signature, char* out, uint32_t capacity) {
  if (capacity == 0) return;
  out[0] = '\0';
  if (signature == nullptr) return;

  // The parameter list starts at the first '(' outside angle brackets.
  static const char cAnonymous[] = "(anonymous namespace)";
  int32_t end = 0;
  int32_t depth = 0;
  for (; signature[end] != '\0'; ++end) {
    const char c = signature[end];
    if (c == '(' && strncmp(signature + end, cAnonymous, sizeof cAnonymous - 1) == 0) {
      end += static_cast<int32_t>(sizeof cAnonymous - 2);
    } else if (c == '<') {
      ++depth;
    } else if (c == '>' && depth > 0) {
      --depth;
    } else if (c == '(' && depth == 0) {
      break;
    }
  }
  // The name starts after the last space outside brackets before it.
  int32_t start = end;
  depth = 0;
  while (start > 0) {
    const char c = signature[start - 1];
    if (c == '>' || c == ')') {
      ++depth;
    } else if ((c == '<' || c == '(') && depth > 0) {
      --depth;
    } else if (c == ' ' && depth == 0) {
      break;
    }
    --start;
  }
  uint32_t length = static_cast<uint32_t>(end - start);
  if (length > capacity - 1) length = capacity - 1;
  for (uint32_t i = 0; i < length; ++i) out[i] = signature[start + static_cast<int32_t>(i)];
  out[length] = '\0';
}
