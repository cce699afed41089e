// The ICO and CUR reader. (To be completed.)
#include "imaging/formats/ico_parser.h"

ReadOutcome cICOparser::LoadStream(const ByteArray&, std::int32_t, std::int32_t, c32bppDIB&, std::int32_t,
                                   std::int32_t)
{
    return ReadOutcome::NotMine;
}
bool cICOparser::ConvertstdPicTo32bpp(const picture::Picture*, c32bppDIB&) { return false; }
