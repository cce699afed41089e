#pragma once
// ICO and CUR: the directory entry that best fits a wanted size.

#include <cstdint>
#include <vector>

#include "imaging/surface/byte_array.h"

class c32bppDIB;
namespace picture {
class Picture;
}

// One directory entry, as validation left it.
struct IconDirEntry {
    std::uint8_t widthByte = 0;   // 0 means 256
    std::uint8_t heightByte = 0;
    std::uint16_t planes = 1;     // 1: bitmap entry, 255: PNG entry
    std::int32_t bitCount = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t imageOffset = 0;  // from the file's first byte

    std::int32_t width() const { return widthByte ? widthByte : 256; }
    std::int32_t height() const { return heightByte ? heightByte : 256; }
};

// The entry that best fits desiredWidth x desiredHeight (below 1: 32), as a
// 0-based index, or -1 for none.
int chooseIconEntry(const std::vector<IconDirEntry>& entries, std::int32_t desiredWidth,
                    std::int32_t desiredHeight);

class cICOparser {
public:
    // NotMine when the bytes fail the header and directory checks; Failed
    // when an entry's offsets point outside the data; otherwise Accepted,
    // the chosen entry (if any and if decodable) loaded into cHost.
    ReadOutcome LoadStream(const ByteArray& inStream, std::int32_t desiredWidth, std::int32_t desiredHeight,
                           c32bppDIB& cHost, std::int32_t streamOffset, std::int32_t streamLength);
    // Converts an icon or cursor picture object; false for other pictures.
    bool ConvertstdPicTo32bpp(const picture::Picture* stdPic, c32bppDIB& cHost);
};
