// The button's image: loaded afresh on every paint and drawn at its natural
// size with its own alpha and the button's icon opacity.
#include "controls/lumenbutton/lumen_button.h"
#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/image_limits.h"
#include "platform/runtime/numeric.h"

void LumenButton::DrawIcon()
{
    if (!m_icon || !m_dc)
        return;
    // A file that does not load leaves the surface empty and nothing is drawn.
    // Decoded on every paint: the icon limit keeps an oversized picture from
    // stalling each repaint.
    c32bppDIB image;
    image.setPixelLimit(imaging::kIconPixelLimit);
    image.LoadPicture_File(m_iconSource, 256, 256, false);

    const int surfaceWidth = width();
    const int surfaceHeight = height();
    std::int32_t fitWidth = 0;
    std::int32_t fitHeight = 0;
    image.ScaleImage(surfaceWidth, surfaceWidth, fitWidth, fitHeight, 1);

    // Centred vertically, halves rounded to the even neighbour.
    const auto middle = std::int32_t(runtime::divideHalfEven(std::int64_t(surfaceHeight) - image.Height(), 2));
    std::int32_t x = fitWidth;
    std::int32_t y = fitHeight;
    if (m_iconAlignment == IconLeft) {
        x = 5;
        y = middle;
    } else if (m_iconAlignment == IconRight) {
        x = surfaceWidth - image.Width() - 5;
        y = middle;
    }
    image.Render(m_dc, x, y, 0, 0, m_transparencyICO);
}
