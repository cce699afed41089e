// The picture object over Qt's image readers: kinds, sizes in 0.01 mm,
// source depths, and the render call's source-rectangle convention.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "platform/gdi/gdi.h"
#include "platform/picture/picture.h"
#include "tests/support/test_canvas.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encode(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return Bytes(data.begin(), data.end());
}

// A 2 x 3 picture: top row red, the rest blue.
QImage twoByThree()
{
    QImage image(2, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(255, 0, 0));
    return image;
}

TEST(Picture, KindsAndDepthsOfDecodedFiles)
{
    struct Case {
        const char* format;
        QImage::Format imageFormat;
        std::int16_t type;
        std::int32_t bits;
    };
    const Case cases[] = {
        {"BMP", QImage::Format_RGB888, picture::PICTYPE_BITMAP, 24},
        {"JPEG", QImage::Format_RGB32, picture::PICTYPE_BITMAP, 24},
        {"PNG", QImage::Format_ARGB32, picture::PICTYPE_BITMAP, 32},
        {"ICO", QImage::Format_ARGB32, picture::PICTYPE_ICON, 32},
    };
    for (const Case& c : cases) {
        QImage image(96, 48, c.imageFormat);
        image.fill(QColor(10, 20, 30, 200));
        const auto pic = picture::ArrayToPicture(encode(image, c.format));
        ASSERT_NE(pic, nullptr) << c.format;
        EXPECT_EQ(pic->Type(), c.type) << c.format;
        EXPECT_EQ(pic->BitsPerPixel(), c.bits) << c.format;
        EXPECT_EQ(pic->Width(), 2540) << c.format;  // one inch at 96 pixels per inch
        EXPECT_EQ(pic->Height(), 1270) << c.format;
    }
    EXPECT_EQ(picture::ArrayToPicture(Bytes(100, 0x33)), nullptr);
    EXPECT_EQ(picture::ArrayToPicture({}), nullptr);
}

TEST(Picture, RenderNamesTheUprightPictureWithANegativeHeight)
{
    const auto pic = picture::ArrayToPicture(encode(twoByThree(), "BMP"));
    ASSERT_NE(pic, nullptr);
    TestCanvas canvas(4, 6, {0, 0, 0, 0}, true);
    const gdi::HDC dc = canvas.dc;

    // Upright, stretched to 4 x 6: the top two rows are red.
    ASSERT_TRUE(pic->Render(dc, 0, 0, 4, 6, 0, pic->Height(), pic->Width(), -pic->Height()));
    EXPECT_EQ(gdi::GetPixel(dc, 3, 1), gdi::RGB(255, 0, 0));
    EXPECT_EQ(gdi::GetPixel(dc, 3, 2), gdi::RGB(0, 0, 255));
    // Named from the top edge downwards the picture comes out upside down.
    ASSERT_TRUE(pic->Render(dc, 0, 0, 4, 6, 0, 0, pic->Width(), pic->Height()));
    EXPECT_EQ(gdi::GetPixel(dc, 0, 5), gdi::RGB(255, 0, 0));
    EXPECT_EQ(gdi::GetPixel(dc, 0, 0), gdi::RGB(0, 0, 255));
}

TEST(Picture, IconInfoOnlyForIcons)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(qRgba(0, 255, 0, 255));
    image.setPixel(1, 2, qRgba(0, 0, 0, 0));
    const auto icon = picture::ArrayToPicture(encode(image, "ICO"));
    ASSERT_NE(icon, nullptr);
    picture::IconInfo info;
    ASSERT_TRUE(icon->GetIconInfo(info));
    EXPECT_TRUE(info.fIcon);
    gdi::HDC dc = gdi::CreateCompatibleDC(nullptr);
    gdi::HBITMAP old = gdi::SelectObject(dc, info.hbmMask);
    EXPECT_EQ(gdi::GetPixel(dc, 1, 2), gdi::RGB(255, 255, 255));
    EXPECT_EQ(gdi::GetPixel(dc, 2, 1), gdi::RGB(0, 0, 0));
    gdi::SelectObject(dc, old);
    gdi::DeleteDC(dc);
    gdi::DeleteObject(info.hbmColor);
    gdi::DeleteObject(info.hbmMask);

    const auto bitmap = picture::ArrayToPicture(encode(image, "PNG"));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_FALSE(bitmap->GetIconInfo(info));
}

TEST(Picture, HundredthsOfAMillimetreAndPixels)
{
    // One pixel is 2540 / 96 = 26.458 units of 0.01 mm.
    const struct {
        std::int32_t himetric, pixels;
    } toPixels[] = {{0, 0}, {13, 0}, {14, 1}, {26, 1}, {2646, 100}, {-26, -1}, {2540, 96}, {2147483647, 81164736}};
    for (const auto& c : toPixels)
        EXPECT_EQ(picture::himetricToPixels(c.himetric), c.pixels) << c.himetric;
    // 12 pixels are exactly 317.5 units: halves go to the even neighbour.
    const struct {
        std::int32_t pixels, himetric;
    } toHimetric[] = {{0, 0}, {1, 26}, {12, 318}, {36, 952}, {-12, -318}, {96, 2540}, {2147483647, 2147483647}};
    for (const auto& c : toHimetric)
        EXPECT_EQ(picture::pixelsToHimetric(c.pixels), c.himetric) << c.pixels;
}

}  // namespace
