// The button's image: loaded afresh on every paint and drawn at its natural
// size with its own alpha and the button's icon opacity. At a scale other
// than 1 the image is drawn at its natural size times the scale, from the
// sharpest file there is: beside "name.png" may lie "name@2x.png" (or @3x,
// @4x), the same picture with that many times the pixels.
#include <algorithm>
#include <cmath>
#include <cstring>

#include <QFileInfo>
#include <QImage>

#include "controls/lumenbutton/button_canvas.h"
#include "controls/lumenbutton/lumen_button_primitives.h"
#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/image_limits.h"
#include "platform/runtime/numeric.h"

namespace {

constexpr int kLargestVariant = 4;

// The file drawn at the scale, and how many pixels it has per designed pixel.
struct IconFile {
    QString path;
    int density = 1;
};

// The smallest variant that needs no enlarging, else the largest there is.
IconFile sharpestFile(const QString& source, double scale)
{
    IconFile best{source, 1};
    if (scale <= 1.0)
        return best;
    const QFileInfo info(source);
    const QString stem = info.path() + QLatin1Char('/') + info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int density = 2; density <= kLargestVariant; ++density) {
        const QString candidate = stem + QStringLiteral("@%1x").arg(density) + suffix;
        if (!QFileInfo::exists(candidate))
            continue;
        best = {candidate, density};
        if (density >= scale)
            break;
    }
    return best;
}

// The picture resampled to width x height (smooth, premultiplied alpha kept).
bool resample(const c32bppDIB& from, int width, int height, c32bppDIB& to)
{
    // The surface's rows are bottom-up; QImage's are top-down. Without alpha
    // the fourth byte means nothing and must not weigh the average.
    const QImage::Format format = from.Alpha() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const QImage source =
        QImage(from.BitsPointer(), from.Width(), from.Height(), from.ScanWidth(), format).mirrored();
    const QImage scaledImage =
        source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).mirrored();
    if (scaledImage.isNull() || !to.InitializeDIB(width, height))
        return false;
    for (int y = 0; y < height; ++y)
        std::memcpy(to.BitsPointer() + std::size_t(y) * std::size_t(to.ScanWidth()), scaledImage.constScanLine(y),
                    std::size_t(to.ScanWidth()));
    to.setAlpha(from.Alpha());
    to.setImageType(from.ImageType());
    return true;
}

// Loads the picture as it is drawn at the scale: its natural size times the scale.
void loadAtScale(const QString& source, double scale, c32bppDIB& image)
{
    const IconFile file = sharpestFile(source, scale);
    image.LoadPicture_File(file.path, 256, 256, false);
    if (scale == 1.0 || image.Width() <= 0 || image.Height() <= 0)
        return;
    const int width = std::max(1, lumen::roundHalfEven(image.Width() * scale / file.density));
    const int height = std::max(1, lumen::roundHalfEven(image.Height() * scale / file.density));
    if (width == image.Width() && height == image.Height())
        return;
    c32bppDIB resized;
    if (resample(image, width, height, resized))
        resized.CopyImageTo(&image, false);
}

}  // namespace

void ButtonCanvas::DrawIcon(const IconStyle& icon)
{
    if (!m_dc)
        return;
    // A file that does not load leaves the surface empty and nothing is drawn.
    // Decoded on every paint: the icon limit keeps an oversized picture from
    // stalling each repaint.
    c32bppDIB image;
    image.setPixelLimit(imaging::kIconPixelLimit);
    loadAtScale(icon.source, m_scale, image);

    std::int32_t fitWidth = 0;
    std::int32_t fitHeight = 0;
    image.ScaleImage(m_width, m_width, fitWidth, fitHeight, 1);

    // Centred vertically, halves rounded to the even neighbour.
    const auto middle = std::int32_t(runtime::divideHalfEven(std::int64_t(m_height) - image.Height(), 2));
    const int margin = scaled(5);
    std::int32_t x = fitWidth;
    std::int32_t y = fitHeight;
    if (icon.alignment == 1) {  // IconLeft
        x = margin;
        y = middle;
    } else if (icon.alignment == 2) {  // IconRight
        x = m_width - image.Width() - margin;
        y = middle;
    }
    image.Render(m_dc, x, y, 0, 0, icon.opacity);
}
