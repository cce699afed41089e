#pragma once
// QR codes of short texts (a draw's anchor), for the screen and for paper.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace exporter {

// The modules of a QR code, row by row, without the quiet zone around it.
struct QrCode {
    int size = 0;                    // modules per side
    std::vector<std::uint8_t> dark;  // size * size entries, 1 for a dark module
    bool isDark(int x, int y) const { return dark[std::size_t(y) * std::size_t(size) + std::size_t(x)] != 0; }
};

// The text as bytes, at error correction level M (a photo of a projector
// screen may lose some modules to glare); nullopt when it does not fit or
// the encoder fails.
std::optional<QrCode> EncodeQr(std::string_view text);

}  // namespace exporter
