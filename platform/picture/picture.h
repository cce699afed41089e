#pragma once
// A picture object: what the system picture loader makes of a file's bytes
// (bitmaps of every kind, JPEG, GIF, icons), with its kind, its size in
// 0.01 mm and a render call onto a device context.

#include <cstdint>
#include <limits>
#include <memory>
#include <span>

#include "platform/gdi/gdi.h"

class QImage;

namespace picture {

enum PictureType : std::int16_t { PICTYPE_NONE = 0, PICTYPE_BITMAP = 1, PICTYPE_METAFILE = 2, PICTYPE_ICON = 3, PICTYPE_ENHMETAFILE = 4 };

// What GetIconInfo reports about an icon picture. Both bitmaps belong to the
// caller, who deletes them. The mask is 32 bpp: a white pixel is a set mask
// bit (transparent), a black one a clear bit.
struct IconInfo {
    bool fIcon = true;  // false for a cursor
    gdi::HBITMAP hbmColor = nullptr;
    gdi::HBITMAP hbmMask = nullptr;
};

class Picture {
public:
    // Takes an image as decoded; sourceBitsPerPixel is the depth of the data
    // it came from (what GetObject reports for the picture's bitmap). An
    // icon keeps its transparent pixels as its mask. nullptr when the image
    // is empty or no bitmap can be made.
    static std::unique_ptr<Picture> fromImage(const QImage& image, PictureType type, std::int32_t sourceBitsPerPixel,
                                              bool isCursor = false);
    // Wraps a 32-bpp bitmap handle as a bitmap picture; with takeOwnership
    // the bitmap is deleted with the picture.
    static std::unique_ptr<Picture> fromBitmap(gdi::HBITMAP bitmap, bool takeOwnership);

    virtual ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    virtual std::int16_t Type() const { return m_type; }
    // Size in 0.01 mm at 96 pixels per inch.
    std::int32_t Width() const;
    std::int32_t Height() const;
    // The picture's 32-bpp bitmap (Blue, Green, Red, Alpha; straight alpha for
    // sources with an alpha channel, 255 otherwise); owned by the picture.
    gdi::HBITMAP Handle() const { return m_bitmap; }
    // Bits per pixel of the source data: 1, 4, 8, 16, 24, or 32 when the
    // source has an alpha channel.
    std::int32_t BitsPerPixel() const { return m_bitsPerPixel; }

    // Draws the picture stretched into the rectangle (x, y, cx, cy) of the
    // DC's bitmap. The source rectangle is in 0.01 mm with its origin at the
    // picture's bottom-left: (0, Height(), Width(), -Height()) is the whole
    // picture upright. Bitmap pixels are copied with their four bytes; icons
    // leave the destination untouched under their mask. False when nothing
    // could be drawn.
    bool Render(gdi::HDC dc, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy, std::int32_t xSrc,
                std::int32_t ySrc, std::int32_t cxSrc, std::int32_t cySrc) const;

    // The icon's colour and mask bitmaps (copies); false for other types.
    bool GetIconInfo(IconInfo& info) const;

protected:
    // For stand-ins that only report a Type(): they have no bitmap, so
    // converting or rendering them yields nothing.
    Picture() = default;

private:
    std::int16_t m_type = PICTYPE_NONE;
    gdi::HBITMAP m_bitmap = nullptr;
    bool m_ownsBitmap = true;
    bool m_cursor = false;
    std::int32_t m_bitsPerPixel = 0;
};

// Lengths in 0.01 mm and in screen pixels at 96 per inch (n x 1440 / 2540 /
// 15 twips per pixel), rounded half to even. Every conversion between the
// two goes through these.
std::int32_t himetricToPixels(std::int32_t himetric);
std::int32_t pixelsToHimetric(std::int32_t pixels);

// Decodes the bytes with the platform's image reader; nullptr when it cannot.
// Icons and cursors become icon pictures, everything else bitmap pictures.
// A picture of more than pixelLimit pixels is refused, from its header where
// the format states its size (before decoding), else by the reader's memory
// limit; *overLimit then tells the caller why.
constexpr std::int64_t kNoPixelLimit = std::numeric_limits<std::int64_t>::max();
std::unique_ptr<Picture> ArrayToPicture(std::span<const std::uint8_t> bytes, std::int64_t pixelLimit = kNoPixelLimit,
                                        bool* overLimit = nullptr);

}  // namespace picture
