#pragma once
// GIF: the first image of a GIF 87a or 89a, with its transparent colour.

#include <cstdint>

#include "imaging/surface/byte_array.h"

class c32bppDIB;

class cGIFparser {
public:
    // NotMine when the bytes are no GIF (signature, image descriptor, colour
    // table); Failed when the range lies outside inStream. Anything else is
    // this reader's (Accepted), loaded or not: a GIF cut short or damaged
    // loads nothing, with the reason in cHost, and no later reader gets to
    // show half of it.
    ReadOutcome LoadStream(const ByteArray& inStream, c32bppDIB& cHost, std::int32_t streamOffset,
                           std::int32_t streamLength);
};
