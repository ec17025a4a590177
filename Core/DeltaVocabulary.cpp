// The serialised object format's XML vocabulary.
#include "API/core/DeltaVocabulary.h"

const cFxWString gDeltaNamespacePrefix(u"d");
// A host that never resolves: the URI only names the namespace, and
// readers go by its path.
const cFxWString gDeltaNamespaceUri(u"http://delta.invalid/Zoq/2003/Delta");
const cFxWString gDeltaBlob(u"blob");
const cFxWString gDeltaElement(u"e");
const cFxWString gDeltaId(u"id");
const cFxWString gDeltaNil(u"nil");
const cFxWString gDeltaRef(u"ref");
const cFxWString gDeltaSize(u"size");
const cFxWString gDeltaType(u"type");
const cFxWString gDeltaHex(u"hex");
const cFxWString gDeltaHexEncoding(u"hex");
const cFxWString gDeltaPrecision(u"precision");
const cFxWString gDeltaTemplate(u"template");
const cFxWString gDeltaVersion(u"version");
const cFxWString gDeltaString(u"string");
const cFxWString gDeltaAltEncoding(u"alt_encoding");
const cFxWString gDeltaNumElements(u"numElements");
const cFxWString gDeltaElementType(u"elementType");
