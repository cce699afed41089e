// The PNG writer: the surface is encoded here (there is no platform
// encoder), compressed by zlib's deflate (the strategy for filtered rows) when the library is there.
#include "imaging/formats/png_encode.h"
#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/mod_parsers.h"

bool cPNGparser::SaveTo(const QString& FileName, ByteArray& outStream, const c32bppDIB& cHost)
{
    if (!cHost.Handle())
        return false;
    if (FileName.isEmpty())
        outStream = ByteArray();
    // Without zlib (or while its absence is simulated) the data goes into stored blocks.
    std::vector<std::uint8_t> png = encodePng(cHost.BitsPointer(), cHost.Width(), cHost.Height(), cHost.Alpha(),
                                              zlib::compressFilteredFunction());
    if (png.empty())
        return false;
    if (!FileName.isEmpty())
        return modParsers::ReplaceFile(FileName, png);
    outStream = ByteArray(std::move(png), 0);
    return true;
}
