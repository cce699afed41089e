#pragma once
// The inputs of the image benchmarks, made afresh by every run so that the
// repository holds none: photo-like pictures (smooth shading, texture,
// edges), their PNG files as the reference encoder writes them, icons, GIF
// files and zlib streams of mixed data. Everything is deterministic.

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

using Bytes = std::vector<std::uint8_t>;

// Top-down 8-bit samples, channels interleaved (1 grey, 3 RGB, 4 RGBA).
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 0;
    Bytes samples;
};

Pixels photo(int width, int height, int channels);
// Rounded, shaded shapes on a transparent background, as icons are drawn.
Pixels icon(int size, int variant);
// Flat areas, frames and lines of text-like marks, as a screenshot has.
Pixels screenshot(int width, int height);

// How the reference encoder writes a PNG.
struct PngOptions {
    int bitDepth = 8;        // 16 widens every sample (low byte from the high one), 1 thresholds grey
    bool palette = false;    // quantised to 252 colours, a few of them transparent
    bool interlaced = false;
    bool paethOnly = false;  // every row Paeth-filtered; otherwise libpng chooses per row
};
Bytes encodePng(const Pixels& pixels, const PngOptions& options);

// An ICO file holding the picture at 16, 32 and its own size as 32-bpp
// bitmaps with AND masks.
Bytes encodeIco(const Pixels& rgba);

// A GIF of the picture quantised to 256 colours (index 0 transparent).
Bytes encodeGif(const Pixels& rgb, bool interlaced);

// A few megabytes of text, records, picture rows, runs and noise, mixed.
Bytes mixedData();
// zlib's compress2 at the level.
Bytes zlibCompress(const Bytes& raw, int level);
// The IDAT data of a PNG file joined: its zlib stream.
Bytes idatStream(const Bytes& png);

}  // namespace bench
