#pragma once
// The PNG reader's own decoding route: chunk walk with CRC checks, image
// parameters, IDAT gathering, decompression (system zlib when present, else
// or after a zlib failure our inflate) and scan-line reconstruction into a
// c32bppDIB. One object serves one load. Why a load failed is recorded in
// the surface (c32bppDIB::LastError).
//
// CRCs are checked with zlib's crc32 when zlib is present, except that a
// stored CRC of 0 leaves its chunk unchecked; a build with SORTIA_FUZZ_NO_CRC
// defined checks none, so that fuzzing reaches past them.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/surface/load_error.h"

class c32bppDIB;

class PngDecoder {
public:
    // Parses a whole PNG image held in `input` into `dibClass`. `fromFile`
    // selects the file rules (a file shorter than 56 bytes is not signature
    // tested). Returns true when the data carries the PNG signature, whether
    // or not pixels could be decoded; a decoded image shows in the surface
    // (Handle non-null, ImageType ImagePNG), otherwise the surface is empty.
    // Never throws.
    bool ParsePNG(std::span<const std::uint8_t> input, bool fromFile, c32bppDIB& dibClass);

    static bool IsPNGSignature(std::span<const std::uint8_t> input);

    // Bits per pixel and filter unit (bytes per complete pixel, at least 1).
    struct PixelSize {
        std::int32_t bits = 0;
        std::int32_t unit = 1;
    };
    PixelSize GetPixelSize() const;

private:
    // Records why the load failed in the surface; returns false.
    bool fail(LoadError error, std::string detail = {});
    // True when the walk reached IEND; otherwise it has recorded why not.
    bool walkChunks(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& idat);
    bool crcMatches(std::span<const std::uint8_t> typeAndData, std::uint32_t storedCrc) const;
    bool ReadIHDR(std::span<const std::uint8_t> data, std::uint32_t crc, std::span<const std::uint8_t> typeAndData);
    bool ReadPLTE(std::span<const std::uint8_t> data, std::uint32_t crc, std::span<const std::uint8_t> typeAndData);
    void ReadTRNS(std::span<const std::uint8_t> data, std::uint32_t crc, std::span<const std::uint8_t> typeAndData);
    std::int64_t GetDataSize() const;
    // `output` holds the scan lines' expected size, of unspecified content.
    void DecodeImageData(const std::vector<std::uint8_t>& compressed, std::span<std::uint8_t> output);

    // Reconstruction and colour conversion (png_reconstruct.cpp).
    struct Pass {
        std::int32_t rowStart, colStart, rowStep, colStep;
    };
    static const std::array<Pass, 8> kPasses;
    std::int32_t passCols(int pass) const;
    std::int32_t passRows(int pass) const;
    void CreateDefaultPalette();
    // Scan-line bytes of one row of cols pixels, without its filter byte.
    std::size_t rowBytes(std::int32_t cols) const;
    bool DecodeNonInterlaced(std::span<std::uint8_t> data);
    bool DecodeInterlaced(std::span<std::uint8_t> data);
    // Undoes the row's filter in place; `above` is the previous row of the
    // pass, all zeros for its first. False for an unknown filter type.
    static bool unfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                            std::size_t unit);
    // Premultiplied B, G, R, A of every palette or grey value, and how many
    // of them the palette holds (built once per image).
    void buildLookup();
    // Writes the pass's row of unfiltered samples into the surface row.
    // Returns -1, or the first palette index beyond the palette (nothing
    // recorded: the caller decides when the load fails).
    int writeRow(const std::uint8_t* src, std::uint8_t* dstRow, int pass) const;
    bool failPaletteIndex(int index);

    std::int32_t m_Width = 0;
    std::int32_t m_Height = 0;
    std::uint8_t m_BitDepth = 0;
    std::uint8_t m_ColorType = 0;
    std::uint8_t m_Interlace = 0;
    std::vector<std::uint8_t> m_Palette;
    std::vector<std::uint8_t> m_TransData;
    std::int32_t m_TransColor = -1;
    std::array<std::uint32_t, 256> m_lookup{};
    std::size_t m_lookupEntries = 0;
    std::int64_t m_expectedSize = 0;
    bool m_checkCrc = false;
    c32bppDIB* m_Host = nullptr;
};
