// Icon and cursor picture objects into surfaces.
#include <cstring>

#include "imaging/formats/ico_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/gdi/gdi_handles.h"
#include "platform/picture/picture.h"

namespace {

// Reads a bitmap's colours into the host, as GetDIBits would: row by row,
// bottom-up. Its alpha is of no use here, the mask decides it.
void readColours(gdi::HBITMAP bitmap, c32bppDIB& host)
{
    const gdi::UniqueDC dc = gdi::screenCompatibleDC();
    const gdi::Selection selected(dc.get(), bitmap);
    for (std::int32_t r = 0; r < host.Height(); ++r) {
        std::uint8_t* p = host.BitsPointer() + std::size_t(r) * std::size_t(host.ScanWidth());
        for (std::int32_t x = 0; x < host.Width(); ++x, p += 4) {
            const gdi::COLORREF c = gdi::GetPixel(dc.get(), x, host.Height() - 1 - r);
            p[0] = std::uint8_t(gdi::GetBValue(c));
            p[1] = std::uint8_t(gdi::GetGValue(c));
            p[2] = std::uint8_t(gdi::GetRValue(c));
        }
    }
}

// Reads the lowest rows of the mask bitmap (one per surface row) and makes
// masked pixels transparent, the rest opaque. True when any pixel is masked.
bool applyMaskBitmap(gdi::HBITMAP mask, std::int32_t maskHeight, c32bppDIB& host)
{
    const gdi::UniqueDC dc = gdi::screenCompatibleDC();
    const gdi::Selection selected(dc.get(), mask);
    bool anySet = false;
    for (std::int32_t r = 0; r < host.Height(); ++r) {
        // Surface row r counts from the bottom; the DC counts from the top.
        const int maskY = maskHeight - 1 - r;
        std::uint8_t* p = host.BitsPointer() + std::size_t(r) * std::size_t(host.ScanWidth());
        for (std::int32_t x = 0; x < host.Width(); ++x, p += 4) {
            const gdi::COLORREF bit = gdi::GetPixel(dc.get(), x, maskY);
            if (bit != 0 && bit != gdi::CLR_INVALID) {
                std::memset(p, 0, 4);
                anySet = true;
            } else {
                p[3] = 255;
            }
        }
    }
    return anySet;
}

bool convertIcon(const picture::Picture& pic, const picture::IconInfo& info, c32bppDIB& host)
{
    gdi::BITMAP maskInfo;
    if (!gdi::GetObject(info.hbmMask, &maskInfo))
        return false;
    if (info.hbmColor) {
        gdi::BITMAP colourInfo;
        if (!gdi::GetObject(info.hbmColor, &colourInfo) || !host.acceptsSize(colourInfo.bmWidth, colourInfo.bmHeight) ||
            !host.InitializeDIB(colourInfo.bmWidth, colourInfo.bmHeight))
            return false;
        readColours(info.hbmColor, host);
    } else {
        // A monochrome icon's mask holds both halves, AND above XOR.
        if (!host.acceptsSize(maskInfo.bmWidth, maskInfo.bmHeight / 2) ||
            !host.InitializeDIB(maskInfo.bmWidth, maskInfo.bmHeight / 2))
            return false;
        pic.Render(host.LoadDIBinDC(true), 0, 0, host.Width(), host.Height(), 0, pic.Height(), pic.Width(),
                   -pic.Height());
        host.LoadDIBinDC(false);
    }
    host.setAlpha(applyMaskBitmap(info.hbmMask, maskInfo.bmHeight, host));
    host.setImageType(info.fIcon ? ImageIcon : ImageCursor);
    return true;
}

}  // namespace

bool cICOparser::ConvertstdPicTo32bpp(const picture::Picture* stdPic, c32bppDIB& cHost)
{
    if (!stdPic || stdPic->Type() != picture::PICTYPE_ICON)
        return false;
    picture::IconInfo info;
    if (!stdPic->GetIconInfo(info))
        return false;
    // Both bitmaps are ours to delete.
    const gdi::UniqueBitmap colour(info.hbmColor);
    const gdi::UniqueBitmap mask(info.hbmMask);
    const bool converted = convertIcon(*stdPic, info, cHost);
    if (!converted)
        cHost.DestroyDIB();
    return converted;
}
