// The PNG reader. (To be completed.)
#include "imaging/formats/png_parser.h"

ReadOutcome cPNGparser::LoadFile(const QString&, c32bppDIB&) { return ReadOutcome::NotMine; }
ReadOutcome cPNGparser::LoadStream(const ByteArray&, c32bppDIB&, std::int32_t, std::int32_t)
{
    return ReadOutcome::NotMine;
}
