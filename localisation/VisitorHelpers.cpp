#include "localisation/VisitorHelpers.h"

#include "Core/platform/FxPlatform.h"
#include "xml/cXmlElement.h"

bool TextEquals(const cFxWString& a, const cFxWString& b) {
  const uint32_t length = a.Length();
  if (length != b.Length()) return false;
  const wchar16* unitsA = a.c_str();
  const wchar16* unitsB = b.c_str();
  for (uint32_t i = 0; i < length; ++i) {
    if (unitsA[i] != unitsB[i]) return false;
  }
  return true;
}

bool TextEquals(const cFxWString& a, const wchar16* text) {
  if (text == nullptr) return a.IsEmpty();
  // Names are mostly told apart by their first units; the length, which
  // asks the string heap, is needed only once `text` has matched so far.
  // The buffer's terminator differs from every unit of `text`, so a
  // shorter `a` stops the loop at its end.
  const wchar16* units = a.c_str();
  uint32_t i = 0;
  for (; text[i] != 0; ++i) {
    if (units[i] != text[i]) return false;
  }
  return a.Length() == i;
}

cFxWString MakeRelativePath(const cFxWString& filePath, const cFxWString& startDirectory) {
  const uint32_t skip = startDirectory.Length();
  if (skip >= filePath.Length()) return cFxWString();
  return filePath.Substring(static_cast<int32_t>(skip));
}

cFxWString MakeKeyPath(const cFxWString& relativePath) {
  if (cFxNativeSeparator == u'\\' || relativePath.FindChar(cFxNativeSeparator) < 0)
    return relativePath;
  const uint32_t length = relativePath.Length();
  cFxWString keyPath = cFxWString::Allocate(length);
  // Read the source only after the allocation: it may have moved the buffer.
  const wchar16* from = relativePath.c_str();
  wchar16* to = keyPath.Data();
  for (uint32_t i = 0; i < length; ++i) to[i] = from[i] == cFxNativeSeparator ? u'\\' : from[i];
  return keyPath;
}

cFxWString MakeEntryId(const cFxWString& englishText) {
  const uint32_t length = englishText.Length();
  const wchar16* units = englishText.c_str();
  uint32_t tabs = 0;
  bool spaces = false;
  for (uint32_t i = 0; i < length; ++i) {
    if (units[i] == u'\t') ++tabs;
    if (units[i] == u' ') spaces = true;
  }
  if (tabs == 0 && !spaces) return englishText;

  cFxWString id = cFxWString::Allocate(length + tabs);
  // Re-read the source after the allocation: the string heap may compact.
  CopyEntryId(englishText.c_str(), length, id.Data());
  return id;
}

uint32_t CopyEntryId(const wchar16* text, uint32_t length, wchar16* out) {
  wchar16* const start = out;
  // One pass does both replacements: the backslash-t that a TAB becomes
  // holds no space, so replacing spaces afterwards changes nothing more.
  for (uint32_t i = 0; i < length; ++i) {
    const wchar16 unit = text[i];
    if (unit == u'\t') {
      *out++ = u'\\';
      *out++ = u't';
    } else {
      *out++ = unit == u' ' ? u'#' : unit;
    }
  }
  return static_cast<uint32_t>(out - start);
}

cFxWString GetAttributeOrEmpty(const cXmlElement& element, const wchar16* name) {
  const cFxWString* value = element.GetAttribute(name);
  return value ? *value : cFxWString();
}
