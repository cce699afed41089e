#pragma once
// Why a load left the surface empty. The loaders keep their boolean results;
// the reason is carried beside them (c32bppDIB::LastError) for callers that
// want to tell the user.

#include <string>

enum class LoadError {
    None,               // the last load produced an image
    NoSource,           // no file of that name, an empty name or array, no picture
    TooSmall,           // 56 bytes or less: no picture worth offering to the readers
    Unreadable,         // the file exists but cannot be read
    OutsideArray,       // the range asked for lies outside the byte array
    UnknownFormat,      // none of the readers recognised the bytes
    Truncated,          // the data ends before the picture does
    Corrupt,            // the data contradicts itself (header fields, chunks, directory)
    BadChecksum,        // a chunk's CRC does not match its bytes
    Unsupported,        // a variant of the format this engine does not decode
    TooManyPixels,      // more pixels than the pixel limit allows
    SizeBeyondData,     // declares far more pixels than its compressed data could hold
    BadCompressedData,  // the inflate or LZW decoder refused the data
    OutOfMemory,        // memory ran out while loading
};

// One sentence in the user's language (lang::uiLanguage) for the reason.
std::string loadErrorText(LoadError error);
