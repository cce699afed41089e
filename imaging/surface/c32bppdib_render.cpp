// Drawing, scaling and copying of the surface.
#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <cstring>

#include "imaging/surface/c32bppdib.h"

namespace {

// Opacity in percent (1 to 100) as a constant alpha: opacity / 100 x 255 to
// the nearest integer, halves going to the even neighbour (50 gives 128).
std::uint8_t constantAlpha(std::int64_t opacity)
{
    const std::int64_t scaled = opacity * 255;
    std::int64_t q = scaled / 100;
    const std::int64_t r = scaled % 100;
    if (r > 50 || (r == 50 && (q & 1)))
        ++q;
    return std::uint8_t(q);
}

// A computed size in the 32-bit range: a box near the range's end must not
// turn into an undefined conversion.
std::int32_t toInt32(double value)
{
    return std::int32_t(std::clamp(value, double(std::numeric_limits<std::int32_t>::min()),
                                   double(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace

bool c32bppDIB::Render(gdi::HDC destinationDC, std::int32_t X, std::int32_t Y, std::int32_t dX, std::int32_t dY,
                       std::int32_t Opacity)
{
    if (!m_dib || !destinationDC)
        return false;
    if (Opacity == 0)
        return true;
    const std::int64_t opacity = std::llabs(std::int64_t(Opacity));
    if (dX < 1)
        dX = m_width;
    if (dY < 1)
        dY = m_height;

    // The DIB must be selected into a DC to be a blit source: the own DC
    // when there is one, else a DC made for this call.
    gdi::UniqueDC temporary;
    gdi::HDC source = m_ownDC.get();
    if (!source) {
        temporary = gdi::screenCompatibleDC();
        source = temporary.get();
    }
    gdi::Selection selected;
    if (!m_selection)
        selected = gdi::Selection(source, m_dib.get());

    const int oldMode = gdi::SetStretchBltMode(destinationDC, gdi::HALFTONE);
    std::int64_t percent = opacity % 100;
    if (percent == 0)
        percent = 100;
    gdi::BLENDFUNCTION blend;
    blend.BlendOp = gdi::AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha = constantAlpha(percent);
    blend.AlphaFormat = m_alpha ? gdi::AC_SRC_ALPHA : 0;
    const bool drawn = gdi::AlphaBlend(destinationDC, X, Y, dX, dY, source, 0, 0, m_width, m_height, blend);
    if (oldMode)
        gdi::SetStretchBltMode(destinationDC, oldMode);
    return drawn;
}

void c32bppDIB::ScaleImage(std::int32_t destWidth, std::int32_t destHeight, std::int32_t& NewWidth,
                           std::int32_t& NewHeight, std::int32_t ScaleMode) const
{
    if (!m_dib)
        return;
    if (ScaleMode == 0 || ScaleMode == 1) {
        // The ratios are single-precision values, as the result depends on
        // their rounding (100 x 50 into 40 x 40 gives exactly 40 x 20).
        float xRatio = float(destWidth) / float(m_width);
        float yRatio = float(destHeight) / float(m_height);
        if (ScaleMode == 1 && xRatio > 1 && yRatio > 1) {
            xRatio = 1;
            yRatio = 1;
        }
        const float ratio = xRatio < yRatio ? xRatio : yRatio;
        NewWidth = toInt32(std::floor(double(m_width) * double(ratio)));
        NewHeight = toInt32(std::floor(double(m_height) * double(ratio)));
    } else if (ScaleMode == 2) {
        NewWidth = destWidth;
        NewHeight = destHeight;
    } else {
        NewWidth = m_width;
        NewHeight = m_height;
    }
}

void c32bppDIB::CopyImageTo(c32bppDIB* cDIBclass, bool CopyOriginalFormat) const
{
    if (!m_dib || !cDIBclass || cDIBclass == this)
        return;
    cDIBclass->DestroyDIB();
    // A target that cannot be made gets no pixels and stays empty.
    if (!cDIBclass->InitializeDIB(m_width, m_height) || !cDIBclass->BitsPointer())
        return;
    std::memcpy(cDIBclass->BitsPointer(), m_bits, std::size_t(m_width) * std::size_t(m_height) * 4);
    cDIBclass->setAlpha(m_alpha);
    cDIBclass->setImageType(m_imageType);
    if (CopyOriginalFormat && !m_sourceBytes.empty())
        cDIBclass->setSourceBytes(ByteArray(m_sourceBytes, m_sourceLowerBound));
}

bool c32bppDIB::GetOrginalFormat(ByteArray& outStream) const
{
    if (m_sourceBytes.empty())
        return false;
    outStream = ByteArray(m_sourceBytes, m_sourceLowerBound);
    return true;
}
