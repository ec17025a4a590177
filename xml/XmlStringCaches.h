// The parser's process-wide caches of names, short texts and attributes.
//
// Recently made strings are kept by content, so that meeting one again
// costs a hash and a compare instead of an intern-table walk or an
// allocation. Names are interned (equal names, one handle); short texts
// recur (type names, small numbers, the layout between tags) and share one
// buffer. Tag names, attribute names and attribute values are also kept by
// their bytes as they stand in the input, so the common case needs no
// decoding either.
// The caches live as long as the process, so they stay warm from one data
// file to the next. One thread only, as everything in the parser. The
// lookups are inline: the parser meets them for every name and text.
#pragma once

#include <cstdint>
#include <cstring>

#include "API/core/cFxString.h"

// The hash of a name, built one unit at a time while the name is read.
inline uint32_t XmlHashStep(uint32_t hash, uint32_t unit) { return hash * 37u + unit; }

inline uint32_t XmlHash(const wchar16* units, uint32_t length) {
  uint32_t hash = 0;
  for (uint32_t i = 0; i < length; ++i) hash = XmlHashStep(hash, units[i]);
  return hash;
}

// A direct-mapped table of strings by their units: a miss replaces the
// entry in its slot with what `make` builds.
class cStringCache {
 public:
  template <class tMake>
  const cFxWString& Get(const wchar16* units, uint32_t length, uint32_t hash, const tMake& make) {
    sEntry& entry = mEntries[(hash ^ (hash >> 11)) & (cSize - 1)];
    if (entry.mHash != hash || entry.mLength != length ||
        std::memcmp(entry.mString.c_str(), units, length * sizeof(wchar16)) != 0) {
      entry.mString = make(units, length);
      entry.mHash = hash;
      entry.mLength = length;
    }
    return entry.mString;
  }

 private:
  struct sEntry {
    uint32_t mHash = 0;
    uint32_t mLength = 0;
    cFxWString mString;
  };
  static constexpr uint32_t cSize = 1024;
  sEntry mEntries[cSize];
};

// The caches are made on first use and last as long as the process; the
// accessors are inline, since the parser asks for them on every name.
inline cStringCache& XmlNameCache() {
  static cStringCache cache;
  return cache;
}
inline cStringCache& XmlTextCache() {
  static cStringCache cache;
  return cache;
}

namespace kXmlStringCache {
// Longer strings are made afresh, so what the caches keep stays small.
constexpr uint32_t cMaxCachedName = 128;
constexpr uint32_t cMaxCachedText = 24;
}  // namespace kXmlStringCache

// The interned string of a name or URI whose hash is `hash`; an empty one
// stays the null handle.
inline cFxWString XmlInternName(const wchar16* units, uint32_t length, uint32_t hash) {
  if (length > kXmlStringCache::cMaxCachedName) return cFxWString::Intern(units, length);
  if (length == 0) return cFxWString();
  return XmlNameCache().Get(units, length, hash, [](const wchar16* text, uint32_t count) {
    return cFxWString::Intern(text, count);
  });
}

// The string of a text or attribute value; an empty one is the null handle.
inline cFxWString XmlMakeText(const wchar16* units, uint32_t length) {
  if (length > kXmlStringCache::cMaxCachedText) return cFxWString(units, length);
  if (length == 0) return cFxWString();
  return XmlTextCache().Get(units, length, XmlHash(units, length),
                            [](const wchar16* text, uint32_t count) { return cFxWString(text, count); });
}

// Whether the `length` bytes at `a` and `b` are the same. Eight bytes at a
// time: most names are a word or two long. The last word ends at the last
// byte and may overlap the one before it, so no length needs a
// byte-by-byte tail; below eight bytes, two four-byte words do the same.
template <class tWord>
inline tWord XmlWordAt(const uint8_t* bytes) {
  tWord word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}
inline bool XmlSameBytes(const uint8_t* a, const uint8_t* b, uint32_t length) {
  if (length >= 8) {
    for (uint32_t at = 0; at + 8 < length; at += 8) {
      if (XmlWordAt<uint64_t>(a + at) != XmlWordAt<uint64_t>(b + at)) return false;
    }
    return XmlWordAt<uint64_t>(a + length - 8) == XmlWordAt<uint64_t>(b + length - 8);
  }
  if (length >= 4) {
    return XmlWordAt<uint32_t>(a) == XmlWordAt<uint32_t>(b) &&
           XmlWordAt<uint32_t>(a + length - 4) == XmlWordAt<uint32_t>(b + length - 4);
  }
  for (; length != 0; ++a, ++b, --length) {
    if (*a != *b) return false;
  }
  return true;
}

// A direct-mapped table of values by the input bytes they were made from,
// at most tMaxLength (> 0) of them: a miss has `make` fill the entry in the
// slot.
template <class tValue, uint32_t tMaxLength, uint32_t tSize>
class tByteKeyedCache {
 public:
  static constexpr uint32_t cMaxLength = tMaxLength;

  // The value of the `length` bytes at `bytes` (1 <= length <= cMaxLength).
  template <class tMake>
  const tValue& Get(const uint8_t* bytes, uint32_t length, const tMake& make) {
    sEntry& entry = mEntries[QuickHash(bytes, length) & (tSize - 1)];
    if (entry.mLength != length || !XmlSameBytes(entry.mBytes, bytes, length)) {
      // Not a match while half made.
      entry.mLength = 0;
      make(entry.mValue);
      std::memcpy(entry.mBytes, bytes, length);
      entry.mLength = length;
    }
    return entry.mValue;
  }

 private:
  static_assert((tSize & (tSize - 1)) == 0, "a power of two");
  struct sEntry {
    uint32_t mLength = 0;
    uint8_t mBytes[tMaxLength];
    tValue mValue;
  };

  // Length, ends and middle tell the names and attributes of a document
  // apart well enough for a cache, at a fixed cost whatever the length.
  static uint32_t QuickHash(const uint8_t* bytes, uint32_t length) {
    uint32_t hash = length;
    hash = XmlHashStep(hash, bytes[0]);
    hash = XmlHashStep(hash, bytes[length - 1]);
    hash = XmlHashStep(hash, bytes[length / 2]);
    return hash ^ (hash >> 7);
  }

  sEntry mEntries[tSize];
};

// Unprefixed ASCII tag names by their bytes: one found again costs a hash
// of its bytes and one compare, with no decoding and no copy.
typedef tByteKeyedCache<cFxWString, 80, 512> tTagNameCache;
inline tTagNameCache& XmlTagNameCache() {
  static tTagNameCache cache;
  return cache;
}

// The interned name of the `length` ASCII name bytes at `bytes`.
inline const cFxWString& XmlTagName(const uint8_t* bytes, uint32_t length) {
  return XmlTagNameCache().Get(bytes, length, [&](cFxWString& name) {
    wchar16 units[tTagNameCache::cMaxLength];
    for (uint32_t i = 0; i < length; ++i) units[i] = bytes[i];
    name = XmlInternName(units, length, XmlHash(units, length));
  });
}

// The names of start tags' attributes by the bytes they begin with: data
// files repeat a few names, such as d:type, on nearly every element, so the
// first four bytes of an attribute and one compare give its prefix and
// name, with no scan of its characters. An entry's key is the qualified
// name followed by its '=', which no name character equals, so a key that
// matches ends where the name does.
struct sXmlAttributeName {
  uint32_t mLength = 0;  // of the key; 0 while the slot is empty
  uint8_t mKey[64];
  cFxWString mPrefix;
  cFxWString mName;
  bool mHasColon = false;
};

class cAttributeNameCache {
 public:
  static constexpr uint32_t cMaxLength = sizeof(sXmlAttributeName::mKey);
  static constexpr uint32_t cLeadBytes = 4;

  // The entry whose key the bytes at `at` begin with, followed by at least
  // one more byte before `end`; null when the slot of `at` holds another.
  // `end` - `at` >= cLeadBytes.
  const sXmlAttributeName* Find(const uint8_t* at, const uint8_t* end) {
    const sXmlAttributeName& entry = mEntries[SlotOf(at)];
    if (entry.mLength == 0 || static_cast<uint32_t>(end - at) <= entry.mLength ||
        !XmlSameBytes(entry.mKey, at, entry.mLength))
      return nullptr;
    return &entry;
  }
  // Makes the `length` bytes at `at` (1 <= length <= cMaxLength, and at
  // least cLeadBytes readable there) the key of the entry in their slot,
  // with the given strings.
  const sXmlAttributeName& Store(const uint8_t* at, uint32_t length, const cFxWString& prefix,
                                 const cFxWString& name, bool hasColon) {
    sXmlAttributeName& entry = mEntries[SlotOf(at)];
    entry.mPrefix = prefix;
    entry.mName = name;
    entry.mHasColon = hasColon;
    std::memcpy(entry.mKey, at, length);
    entry.mLength = length;
    return entry;
  }

 private:
  static constexpr uint32_t cSlotBits = 8;
  static uint32_t SlotOf(const uint8_t* at) {
    return (XmlWordAt<uint32_t>(at) * 0x9E3779B1u) >> (32 - cSlotBits);
  }
  sXmlAttributeName mEntries[1u << cSlotBits];
};

inline cAttributeNameCache& XmlAttributeNames() {
  static cAttributeNameCache cache;
  return cache;
}

// Attribute values of plain bytes by those bytes, for a parser that makes
// values: ids and numbers differ, but type names and encodings recur.
typedef tByteKeyedCache<cFxWString, 64, 256> tAttributeValueCache;
inline tAttributeValueCache& XmlAttributeValueCache() {
  static tAttributeValueCache cache;
  return cache;
}
