// Support for the assertion macros.
#include "API/core/FxAssert.h"

#include <cstring>

#include "Core/platform/FxPlatform.h"

void FxAssertBreak() { FxPlatformDebugBreak(); }

namespace {

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether the keyword "operator" starts at `at`: its name ("operator<",
// "operator()", "operator bool") holds brackets and spaces that are no
// template arguments or parameters.
const char cOperator[] = "operator";
constexpr int32_t cOperatorLength = sizeof cOperator - 1;

bool IsOperatorAt(const char* signature, int32_t at) {
  return (at == 0 || !IsIdentifierChar(signature[at - 1])) &&
         strncmp(signature + at, cOperator, cOperatorLength) == 0 &&
         !IsIdentifierChar(signature[at + cOperatorLength]);
}

}  // namespace

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
  int32_t operatorAt = -1;
  for (; signature[end] != '\0'; ++end) {
    const char c = signature[end];
    if (depth == 0 && IsOperatorAt(signature, end)) {
      // The operator's name runs to its parameter list; "()" is its own.
      operatorAt = end;
      end += cOperatorLength;
      if (signature[end] == '(' && signature[end + 1] == ')') end += 2;
      while (signature[end] != '\0' && signature[end] != '(') ++end;
      break;
    } else if (c == '(' && strncmp(signature + end, cAnonymous, sizeof cAnonymous - 1) == 0) {
      end += static_cast<int32_t>(sizeof cAnonymous - 2);
    } else if (c == '<') {
      ++depth;
    } else if (c == '>' && depth > 0) {
      --depth;
    } else if (c == '(' && depth == 0) {
      break;
    }
  }
  // The name starts after the last space outside brackets before it (before
  // the keyword for an operator, whose name may hold spaces itself).
  int32_t start = operatorAt >= 0 ? operatorAt : end;
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
