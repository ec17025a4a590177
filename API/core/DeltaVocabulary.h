// Element and attribute names of the serialised object format's XML form,
// in the format's own namespace. Built at start-up, released at exit.
#pragma once

#include "API/core/cFxString.h"

extern const cFxWString gDeltaNamespacePrefix;  // "d"
extern const cFxWString gDeltaNamespaceUri;     // ends in "/Zoq/2003/Delta"
extern const cFxWString gDeltaBlob;             // "blob"
extern const cFxWString gDeltaElement;          // "e"
extern const cFxWString gDeltaId;               // "id"
extern const cFxWString gDeltaNil;              // "nil"
extern const cFxWString gDeltaRef;              // "ref"
extern const cFxWString gDeltaSize;             // "size"
extern const cFxWString gDeltaType;             // "type"
extern const cFxWString gDeltaHex;              // "hex": the attribute
extern const cFxWString gDeltaHexEncoding;      // "hex": the encoding it names
extern const cFxWString gDeltaPrecision;        // "precision"
extern const cFxWString gDeltaTemplate;         // "template"
extern const cFxWString gDeltaVersion;          // "version"
extern const cFxWString gDeltaString;           // "string"
extern const cFxWString gDeltaAltEncoding;      // "alt_encoding"
extern const cFxWString gDeltaNumElements;      // "numElements"
extern const cFxWString gDeltaElementType;      // "elementType"
