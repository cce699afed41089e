// The BMP reader. (To be completed.)
#include "imaging/formats/bmp_parser.h"

ReadOutcome cBMPparser::LoadStream(const ByteArray&, c32bppDIB&, std::int32_t, std::int32_t)
{
    return ReadOutcome::NotMine;
}
bool cBMPparser::ConvertstdPicTo32bpp(const picture::Picture*, c32bppDIB&, std::int32_t) { return false; }
