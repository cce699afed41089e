#pragma once
// BMP, and the catch-all for every format the platform picture loader reads.

#include <cstdint>

#include "imaging/surface/byte_array.h"

class c32bppDIB;
namespace picture {
class Picture;
}

class cBMPparser {
public:
    ReadOutcome LoadStream(const ByteArray& inStream, c32bppDIB& cHost, std::int32_t streamOffset,
                           std::int32_t streamLength);
    bool ConvertstdPicTo32bpp(const picture::Picture* stdPic, c32bppDIB& cHost, std::int32_t bitCount);
};
