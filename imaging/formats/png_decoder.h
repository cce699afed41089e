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

#include "imaging/formats/inflate.h"
#include "imaging/surface/load_error.h"

class c32bppDIB;

// The decompressed scan lines as they become final: all at once after zlib,
// or a stretch at a time from our inflate, so that each row is
// reconstructed while it is still in the cache.
class ScanLines {
public:
    // Everything decoded already.
    explicit ScanLines(std::span<std::uint8_t> all);
    // Decoded into `buffer` by `inflater` (started on it) as rows are asked for.
    ScanLines(std::span<std::uint8_t> buffer, Inflater& inflater);

    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    // True when bytes [0, end) are final: decoded, or zeros where the data
    // ended early. False once decompression has failed.
    bool reach(std::size_t end);
    // Decodes what is left of the stream; its status (Ok for complete data).
    InflateStatus finish();

private:
    std::span<std::uint8_t> m_bytes;
    Inflater* m_inflater = nullptr;
    std::size_t m_ready = 0;
};

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
    // `output` holds the scan lines' expected size, of unspecified content,
    // with pngrows::kRowPadding more bytes behind it.
    void DecodeImageData(const std::vector<std::uint8_t>& compressed, std::span<std::uint8_t> output);
    // Makes the surface's pixels from the scan lines, or records why not.
    void reconstruct(ScanLines& lines);

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
    // The scan lines are read, not changed; pngrows::kRowPadding bytes behind
    // them must be readable. False when the rows could not all be made: the
    // data failed to decompress, or a row failure is pending (rowFailure).
    bool DecodeNonInterlaced(ScanLines& lines);
    bool DecodeInterlaced(ScanLines& lines);
    // Premultiplied B, G, R, A of every palette or grey value, and how many
    // of them the palette holds (built once per image).
    void buildLookup();
    // Writes `cols` pixels of unfiltered samples side by side into `dst`.
    // Returns -1, or the first palette index beyond the palette (nothing
    // recorded: the caller decides when the load fails).
    int convertRow(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols) const;
    // Keeps why the rows failed for reconstruct to record; returns false.
    bool rowFailure(LoadError error, std::string detail = {});
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
    std::vector<std::uint32_t> m_expanded;  // pngrows::expandLookup of m_lookup, for depths below 8
    std::int64_t m_expectedSize = 0;
    LoadError m_rowError = LoadError::None;
    std::string m_rowErrorDetail;
    bool m_checkCrc = false;
    c32bppDIB* m_Host = nullptr;
};
