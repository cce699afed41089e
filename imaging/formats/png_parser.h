#pragma once
// PNG: the reader (file or byte range into a surface) and the writer.

#include <cstdint>

#include <QString>

#include "imaging/surface/byte_array.h"

class c32bppDIB;

class cPNGparser {
public:
    ReadOutcome LoadFile(const QString& FileName, c32bppDIB& dibClass);
    ReadOutcome LoadStream(const ByteArray& Stream, c32bppDIB& dibClass, std::int32_t streamOffset,
                           std::int32_t streamLength);
    // Writes the surface as PNG to FileName, or into outStream when FileName
    // is empty. True when written.
    bool SaveTo(const QString& FileName, ByteArray& outStream, const c32bppDIB& cHost);
};
