// The GIF reader. (To be completed.)
#include "imaging/formats/gif_parser.h"

ReadOutcome cGIFparser::LoadStream(const ByteArray&, c32bppDIB&, std::int32_t, std::int32_t)
{
    return ReadOutcome::NotMine;
}
