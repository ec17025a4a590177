#include "app/KeyPaths.h"

#include "Core/platform/FxPlatform.h"
#include "app/WriteBack.h"

namespace {

constexpr const char* cRefusedWhat = "refused key";

bool IsSeparator(wchar16 unit) {
  const wchar16 system = FxPlatformSystemUnit(unit);
  return system == u'\\' || system == u'/';
}

bool IsDot(wchar16 unit) { return FxPlatformSystemUnit(unit) == u'.'; }

}  // namespace

bool ResolveKeyPath(const cFxWString& keyPath, const cFxWString& keyBase, cFxWString& dataPath) {
  const wchar16* const units = keyPath.c_str();
  uint32_t length = 0;
  while (length < keyPath.Length() && FxPlatformSystemUnit(units[length]) != 0) ++length;
  if (length == 0 || !IsSeparator(units[0]) || (length > 1 && IsSeparator(units[1]))) return false;

  // The names left so far, each after a separator. No name holds a
  // separator, so the last one begins at the last separator past the base.
  std::u16string resolved(keyBase.c_str(), keyBase.Length());
  const size_t base = resolved.size();
  for (uint32_t start = 1; start <= length;) {
    uint32_t end = start;
    while (end < length && !IsSeparator(units[end])) ++end;
    const uint32_t size = end - start;
    if (size == 2 && IsDot(units[start]) && IsDot(units[start + 1])) {
      const size_t last = resolved.find_last_of(cFxNativeSeparator);
      if (last == std::u16string::npos || last < base) return false;
      resolved.resize(last);
    } else if (size != 0 && !(size == 1 && IsDot(units[start]))) {
      if (!FxPlatformIsPlainName(units + start, size)) return false;
      resolved += cFxNativeSeparator;
      resolved.append(units + start, size);
    }
    start = end + 1;
  }
  if (resolved.size() == base) return false;
  dataPath = cFxWString(resolved.data(), static_cast<uint32_t>(resolved.size()));
  return true;
}

cFxWString SpelledKeyPath(const cFxWString& keyPath, const cFxWString& keyBase) {
  if (cFxNativeSeparator == u'\\' || keyPath.FindChar(u'\\') < 0) return keyBase + keyPath;
  const wchar16 native[2] = {cFxNativeSeparator, 0};
  return keyBase + keyPath.Replace(cFxWString(u"\\"), cFxWString(native));
}

void ReportRefusedKey(const cFxWString& keyPath) {
  ReportFileFailure(cRefusedWhat, keyPath, cFxString(kKeyPath::cRefused));
}

std::string RefusedKeyLine(const cFxWString& keyPath) {
  return FileFailureLine(cRefusedWhat, keyPath, kKeyPath::cRefused);
}
