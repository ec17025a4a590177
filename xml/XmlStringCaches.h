// The parser's process-wide caches of names, short texts and whole
// attributes.
//
// Recently made strings are kept by content, so that meeting one again
// costs a hash and a compare instead of an intern-table walk or an
// allocation. Names are interned (equal names, one handle); short texts
// recur (type names, small numbers, the layout between tags) and share one
// buffer. Tag names and whole attributes are also kept by their bytes as
// they stand in the input, so the common case needs no decoding either.
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
    if (entry.mLength != length || !SameBytes(entry.mBytes, bytes, length)) {
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

  // Eight bytes at a time: most names are a word or two long. The last
  // word ends at the last byte and may overlap the one before it, so no
  // length needs a byte-by-byte tail; below eight bytes, two four-byte
  // words do the same.
  static bool SameBytes(const uint8_t* a, const uint8_t* b, uint32_t length) {
    if (length >= 8) {
      for (uint32_t at = 0; at + 8 < length; at += 8) {
        if (Word<uint64_t>(a + at) != Word<uint64_t>(b + at)) return false;
      }
      return Word<uint64_t>(a + length - 8) == Word<uint64_t>(b + length - 8);
    }
    if (length >= 4) {
      return Word<uint32_t>(a) == Word<uint32_t>(b) &&
             Word<uint32_t>(a + length - 4) == Word<uint32_t>(b + length - 4);
    }
    for (; length != 0; ++a, ++b, --length) {
      if (*a != *b) return false;
    }
    return true;
  }
  template <class tWord>
  static tWord Word(const uint8_t* bytes) {
    tWord word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
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

// Whole attributes of start tags by their bytes, from the name to the
// closing quote: data files repeat a few, such as d:type="cDeltaString",
// on nearly every element, so one compare gives prefix, name and value.
// A parser that makes no values keys its entries by the qualified name
// alone; their value is the empty string.
struct sXmlAttributeStrings {
  cFxWString mPrefix;
  cFxWString mName;
  cFxWString mValue;
};
typedef tByteKeyedCache<sXmlAttributeStrings, 64, 256> tAttributeCache;
inline tAttributeCache& XmlAttributeCache() {
  static tAttributeCache cache;
  return cache;
}
