#pragma once
// ICO and CUR: the directory entry that best fits a wanted size.

#include <cstdint>

#include "imaging/surface/byte_array.h"

class c32bppDIB;
namespace picture {
class Picture;
}

class cICOparser {
public:
    ReadOutcome LoadStream(const ByteArray& inStream, std::int32_t desiredWidth, std::int32_t desiredHeight,
                           c32bppDIB& cHost, std::int32_t streamOffset, std::int32_t streamLength);
    bool ConvertstdPicTo32bpp(const picture::Picture* stdPic, c32bppDIB& cHost);
};
