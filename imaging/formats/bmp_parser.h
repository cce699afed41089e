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
    // 32-bpp BI_RGB BMPs are read here with their alpha; anything else is
    // offered to the platform picture loader. NotMine when neither can read
    // the bytes (or a BMP says width < 1 or height 0), Failed when the range
    // lies outside inStream or a BMP's rows lie outside the data, else
    // Accepted (also when the pixel limit refused the picture).
    ReadOutcome LoadStream(const ByteArray& inStream, c32bppDIB& cHost, std::int32_t streamOffset,
                           std::int32_t streamLength);
    // Draws a bitmap (or metafile) picture into cHost. bitCount is the
    // source's bits per pixel, 0 to ask the picture. False for no picture or
    // a picture of type 0.
    bool ConvertstdPicTo32bpp(const picture::Picture* stdPic, c32bppDIB& cHost, std::int32_t bitCount);
};

// Result of the alpha check on 32-bpp pixels.
struct AlphaCheck {
    bool hasAlpha = false;
    std::int32_t imageType = 1;  // ImageBitmap, ImageBitmapARGB or ImageBitmapPARGB
};

// Decides whether width x height pixels (Blue, Green, Red, Alpha) carry
// alpha and whether it is premultiplied; straight alpha is premultiplied in
// place when allowPremultiply is set.
AlphaCheck ValidateAlpha(std::uint8_t* pixels, std::int32_t width, std::int32_t height, bool allowPremultiply);
