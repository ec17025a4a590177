#include "xml/XmlStringCaches.h"

cStringCache& XmlNameCache() {
  static cStringCache cache;
  return cache;
}

cStringCache& XmlTextCache() {
  static cStringCache cache;
  return cache;
}

tTagNameCache& XmlTagNameCache() {
  static tTagNameCache cache;
  return cache;
}

tAttributeCache& XmlAttributeCache() {
  static tAttributeCache cache;
  return cache;
}
