#pragma once
// GIF: the first image of a GIF 87a or 89a, with its transparent colour.

#include <cstdint>

#include "imaging/surface/byte_array.h"

class c32bppDIB;

class cGIFparser {
public:
    ReadOutcome LoadStream(const ByteArray& inStream, c32bppDIB& cHost, std::int32_t streamOffset,
                           std::int32_t streamLength);
};
