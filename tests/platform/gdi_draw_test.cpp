// Fills, DIB rows, outlines, lines and regions of the raster layer.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/gdi.h"
#include "tests/support/test_canvas.h"

using namespace gdi;

namespace {

constexpr COLORREF kMarker = RGB(1, 2, 3);

// A canvas of w x h filled with kMarker (as SetPixel writes it: alpha 0).
struct Canvas : TestCanvas {
    explicit Canvas(int w, int h, bool bottomUp = true) : TestCanvas(w, h, {3, 2, 1, 0}, bottomUp) {}
};

TRIVERTEX vertex(int x, int y, int r, int g, int b)
{
    // Channels travel as byte x 256 in signed 16-bit fields.
    TRIVERTEX v;
    v.x = x;
    v.y = y;
    v.Red = std::int16_t(std::uint16_t(r * 256));
    v.Green = std::int16_t(std::uint16_t(g * 256));
    v.Blue = std::int16_t(std::uint16_t(b * 256));
    return v;
}

}  // namespace

// ---- GradientFill ----

struct GradientCase {
    const char* name;
    std::uint32_t mode;
    int index;       // row (vertical) or column (horizontal) inside the fill
    int expectGrey;  // high byte of 0xFF00 * index / 256
};

class GradientFillTest : public ::testing::TestWithParam<GradientCase> {};

TEST_P(GradientFillTest, BlackToWhiteOver256)
{
    const GradientCase c = GetParam();
    const bool vertical = c.mode == GRADIENT_FILL_RECT_V;
    Canvas canvas(vertical ? 3 : 256, vertical ? 256 : 3);
    const TRIVERTEX v[2] = {vertex(0, 0, 0, 0, 0), vertex(canvas.width, canvas.height, 255, 255, 255)};
    const GRADIENT_RECT mesh{0, 1};
    ASSERT_TRUE(GradientFill(canvas.dc, v, 2, &mesh, 1, c.mode));
    const int x = vertical ? 1 : c.index, y = vertical ? c.index : 1;
    EXPECT_EQ(canvas.colour(x, y), RGB(c.expectGrey, c.expectGrey, c.expectGrey));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, GradientFillTest,
    ::testing::Values(GradientCase{"VFirst", GRADIENT_FILL_RECT_V, 0, 0},
                      GradientCase{"VMiddle", GRADIENT_FILL_RECT_V, 128, 127},
                      GradientCase{"VLastShortOfEnd", GRADIENT_FILL_RECT_V, 255, 254},
                      GradientCase{"HFirst", GRADIENT_FILL_RECT_H, 0, 0},
                      GradientCase{"HSecond", GRADIENT_FILL_RECT_H, 1, 0},
                      GradientCase{"HLastShortOfEnd", GRADIENT_FILL_RECT_H, 255, 254}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GradientFill, EqualColoursFillExactlyTheRectangle)
{
    Canvas canvas(8, 6);
    const TRIVERTEX v[2] = {vertex(2, 1, 200, 100, 250), vertex(5, 4, 200, 100, 250)};
    const GRADIENT_RECT mesh{0, 1};
    ASSERT_TRUE(GradientFill(canvas.dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 1 && y < 4;
            EXPECT_EQ(canvas.colour(x, y), inside ? RGB(200, 100, 250) : kMarker) << x << "," << y;
        }
}

TEST(GradientFill, ClipsAndKeepsTheStepsOfTheWholeRectangle)
{
    // Rows -2..5 run 0x0000 to 0xFF00 over 8 rows; row 0 of the bitmap is step 2.
    Canvas canvas(2, 4);
    const TRIVERTEX v[2] = {vertex(-5, -2, 0, 0, 0), vertex(50, 6, 0, 0, 255)};
    const GRADIENT_RECT mesh{0, 1};
    ASSERT_TRUE(GradientFill(canvas.dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V));
    EXPECT_EQ(canvas.colour(0, 0), RGB(0, 0, (0xFF00 * 2 / 8) >> 8));
    EXPECT_EQ(canvas.colour(1, 3), RGB(0, 0, (0xFF00 * 5 / 8) >> 8));
}

TEST(GradientFill, RefusesBadMeshesAndModes)
{
    Canvas canvas(4, 4);
    const TRIVERTEX v[2] = {vertex(0, 0, 9, 9, 9), vertex(4, 4, 9, 9, 9)};
    const GRADIENT_RECT outOfRange{0, 2};
    const GRADIENT_RECT mesh{0, 1};
    EXPECT_FALSE(GradientFill(canvas.dc, v, 2, &outOfRange, 1, GRADIENT_FILL_RECT_V));
    EXPECT_FALSE(GradientFill(canvas.dc, v, 2, &mesh, 1, 2));  // triangles are not drawn here
    EXPECT_FALSE(GradientFill(nullptr, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V));
    EXPECT_EQ(canvas.colour(1, 1), kMarker);
}

// ---- SetDIBitsToDevice ----

TEST(SetDIBitsToDevice, BottomUpRowsLandReversedAndPaddingIsSkipped)
{
    // A 1-pixel wide, 3-row 24-bit DIB: each row is padded to 4 bytes.
    // Stored bottom row first: blue, green, red pixels in BGR order.
    const std::uint8_t bits[12] = {255, 0, 0, 0xEE, 0, 255, 0, 0xEE, 0, 0, 255, 0xEE};
    BITMAPINFOHEADER header;
    header.biWidth = 1;
    header.biHeight = 3;
    header.biBitCount = 24;
    Canvas canvas(3, 5);
    EXPECT_EQ(SetDIBitsToDevice(canvas.dc, 1, 1, 1, 3, 0, 0, 0, 3, bits, header, DIB_RGB_COLORS), 3);
    EXPECT_EQ(canvas.colour(1, 1), RGB(255, 0, 0));  // top row of the image is the last stored
    EXPECT_EQ(canvas.colour(1, 2), RGB(0, 255, 0));
    EXPECT_EQ(canvas.colour(1, 3), RGB(0, 0, 255));
    EXPECT_EQ(canvas.colour(1, 0), kMarker);
    EXPECT_EQ(canvas.colour(1, 4), kMarker);
    EXPECT_EQ(canvas.colour(2, 2), kMarker);
}

TEST(SetDIBitsToDevice, TopDownRowsKeepTheirOrder)
{
    const std::uint8_t bits[8] = {10, 20, 30, 0, 40, 50, 60, 0};
    BITMAPINFOHEADER header;
    header.biWidth = 1;
    header.biHeight = -2;
    header.biBitCount = 24;
    Canvas canvas(2, 2);
    SetDIBitsToDevice(canvas.dc, 0, 0, 1, 2, 0, 0, 0, 2, bits, header, DIB_RGB_COLORS);
    EXPECT_EQ(canvas.colour(0, 0), RGB(30, 20, 10));
    EXPECT_EQ(canvas.colour(0, 1), RGB(60, 50, 40));
}

TEST(SetDIBitsToDevice, ClipsAtTheBitmapEdges)
{
    // One row of four pixels written from x = -1 onto a 2-pixel bitmap.
    const std::uint8_t bits[12] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    BITMAPINFOHEADER header;
    header.biWidth = 4;
    header.biHeight = 1;
    header.biBitCount = 24;
    Canvas canvas(2, 1);
    SetDIBitsToDevice(canvas.dc, -1, 0, 4, 1, 0, 0, 0, 1, bits, header, DIB_RGB_COLORS);
    EXPECT_EQ(canvas.colour(0, 0), RGB(2, 2, 2));
    EXPECT_EQ(canvas.colour(1, 0), RGB(3, 3, 3));
    // Rows outside the bitmap are skipped without touching memory.
    SetDIBitsToDevice(canvas.dc, 0, 5, 4, 1, 0, 0, 0, 1, bits, header, DIB_RGB_COLORS);
    SetDIBitsToDevice(canvas.dc, 0, -7, 4, 1, 0, 0, 0, 1, bits, header, DIB_RGB_COLORS);
    EXPECT_EQ(canvas.colour(0, 0), RGB(2, 2, 2));
}

TEST(SetDIBitsToDevice, RefusesUnsupportedFormats)
{
    const std::uint8_t bits[4] = {};
    BITMAPINFOHEADER header;
    header.biWidth = 1;
    header.biHeight = 1;
    header.biBitCount = 8;
    Canvas canvas(1, 1);
    EXPECT_EQ(SetDIBitsToDevice(canvas.dc, 0, 0, 1, 1, 0, 0, 0, 1, bits, header, DIB_RGB_COLORS), 0);
    EXPECT_EQ(canvas.colour(0, 0), kMarker);
}

// ---- RoundRect ----

TEST(RoundRect, StraightEdgesExcludeRightAndBottom)
{
    const int w = 20, h = 10;
    Canvas canvas(w, h);
    SetDCPenColor(canvas.dc, RGB(255, 0, 0));
    ASSERT_TRUE(RoundRect(canvas.dc, 0, 0, w - 1, h - 1, 5, 5));
    const COLORREF red = RGB(255, 0, 0);
    for (int y = 3; y <= h - 5; ++y) {
        EXPECT_EQ(canvas.colour(0, y), red) << y;
        EXPECT_EQ(canvas.colour(w - 2, y), red) << y;
        EXPECT_EQ(canvas.colour(w - 1, y), kMarker) << y;
        EXPECT_EQ(canvas.colour(1, y), kMarker) << "inside is untouched " << y;
    }
    for (int x = 3; x <= w - 5; ++x) {
        EXPECT_EQ(canvas.colour(x, 0), red) << x;
        EXPECT_EQ(canvas.colour(x, h - 2), red) << x;
        EXPECT_EQ(canvas.colour(x, h - 1), kMarker) << x;
    }
    EXPECT_NE(canvas.colour(0, 0), red) << "a 5 x 5 corner is rounded";
}

TEST(RoundRect, CornersAreMirrorImages)
{
    const int w = 17, h = 12;
    Canvas canvas(w, h);
    SetDCPenColor(canvas.dc, RGB(0, 0, 255));
    RoundRect(canvas.dc, 0, 0, w, h, 9, 7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(canvas.colour(x, y), canvas.colour(w - 1 - x, y)) << x << "," << y;
            EXPECT_EQ(canvas.colour(x, y), canvas.colour(x, h - 1 - y)) << x << "," << y;
        }
}

TEST(RoundRect, SmallEllipsesGiveSquareCorners)
{
    for (const int ellipse : {0, 1}) {
        Canvas canvas(6, 5);
        SetDCPenColor(canvas.dc, RGB(9, 9, 9));
        RoundRect(canvas.dc, 0, 0, 5, 4, ellipse, ellipse);
        EXPECT_EQ(canvas.colour(0, 0), RGB(9, 9, 9)) << ellipse;
        EXPECT_EQ(canvas.colour(4, 3), RGB(9, 9, 9)) << ellipse;
        EXPECT_EQ(canvas.colour(2, 2), kMarker) << ellipse;
    }
}

// The outline is exactly the pixels of the filled shape (the region of the
// same corners) with a side neighbour outside it.
TEST(RoundRect, TracesTheBorderOfTheFilledShape)
{
    struct Shape {
        int w, h, ellipseWidth, ellipseHeight;
    };
    const Shape shapes[] = {{75, 23, 4, 4}, {40, 30, 39, 29}, {60, 12, 40, 11}, {9, 40, 8, 30}, {30, 20, 0, 0}};
    for (const Shape& shape : shapes) {
        Canvas canvas(shape.w + 2, shape.h + 2);
        SetDCPenColor(canvas.dc, RGB(200, 0, 0));
        ASSERT_TRUE(RoundRect(canvas.dc, 1, 1, shape.w + 1, shape.h + 1, shape.ellipseWidth, shape.ellipseHeight));
        HRGN region = CreateRoundRectRgn(1, 1, shape.w + 1, shape.h + 1, shape.ellipseWidth, shape.ellipseHeight);
        for (int y = 0; y < shape.h + 2; ++y)
            for (int x = 0; x < shape.w + 2; ++x) {
                const bool border = PtInRegion(region, x, y) &&
                                    (!PtInRegion(region, x - 1, y) || !PtInRegion(region, x + 1, y) ||
                                     !PtInRegion(region, x, y - 1) || !PtInRegion(region, x, y + 1));
                ASSERT_EQ(canvas.colour(x, y), border ? RGB(200, 0, 0) : kMarker)
                    << shape.w << "x" << shape.h << " corners " << shape.ellipseWidth << "x" << shape.ellipseHeight
                    << " at " << x << "," << y;
            }
        DeleteObject(region);
    }
}

// ---- Lines ----

struct LineCase {
    const char* name;
    int x1, y1, x2, y2;
    std::vector<std::pair<int, int>> drawn;
};

class LineToTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineToTest, DrawsAllButTheLastPoint)
{
    const LineCase c = GetParam();
    Canvas canvas(8, 8);
    SetDCPenColor(canvas.dc, RGB(7, 7, 7));
    MoveToEx(canvas.dc, c.x1, c.y1);
    ASSERT_TRUE(LineTo(canvas.dc, c.x2, c.y2));
    int count = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            count += canvas.colour(x, y) == RGB(7, 7, 7);
    EXPECT_EQ(count, int(c.drawn.size()));
    for (const auto& [x, y] : c.drawn)
        EXPECT_EQ(canvas.colour(x, y), RGB(7, 7, 7)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineToTest,
    ::testing::Values(LineCase{"Horizontal", 1, 1, 5, 1, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}},
                      LineCase{"Vertical", 2, 0, 2, 3, {{2, 0}, {2, 1}, {2, 2}}},
                      LineCase{"Diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
                      LineCase{"Backwards", 5, 4, 2, 4, {{5, 4}, {4, 4}, {3, 4}}},
                      LineCase{"PastTheEdge", 6, 7, 12, 7, {{6, 7}, {7, 7}}},
                      LineCase{"SinglePointIsEmpty", 3, 3, 3, 3, {}},
                      LineCase{"WhollyOutside", -100, -5, 100000, -5, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Regions ----

TEST(RoundRectRegion, SquareCornersCoverTheWholeBox)
{
    HRGN region = CreateRoundRectRgn(0, 0, 10, 6, 0, 0);
    EXPECT_TRUE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, 9, 5));
    EXPECT_FALSE(PtInRegion(region, 10, 3));
    EXPECT_FALSE(PtInRegion(region, 3, 6));
    EXPECT_FALSE(PtInRegion(region, -1, 0));
    DeleteObject(region);
}

TEST(RoundRectRegion, RoundedCornersAreCutAlike)
{
    const int w = 75, h = 23;
    HRGN region = CreateRoundRectRgn(0, 0, w, h, 4, 4);
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_FALSE(PtInRegion(region, w - 1, h - 1));
    EXPECT_TRUE(PtInRegion(region, w / 2, 0));
    EXPECT_TRUE(PtInRegion(region, 0, h / 2));
    EXPECT_TRUE(PtInRegion(region, w - 1, h / 2));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(PtInRegion(region, x, y), PtInRegion(region, w - 1 - x, h - 1 - y)) << x << "," << y;
    DeleteObject(region);
}

TEST(RoundRectRegion, EmptyBoxHasNoPoints)
{
    HRGN region = CreateRoundRectRgn(3, 3, 3, 9, 2, 2);
    EXPECT_FALSE(PtInRegion(region, 3, 4));
    DeleteObject(region);
}

// ---- Extreme coordinates: clipped before any walk, nothing outside is touched ----

TEST(ExtremeCoordinates, LongLinesAreClippedToTheBitmap)
{
    Canvas canvas(8, 8);
    SetDCPenColor(canvas.dc, RGB(7, 7, 7));
    MoveToEx(canvas.dc, -2000000000, -2000000000);
    ASSERT_TRUE(LineTo(canvas.dc, 2000000000, 2000000000));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(canvas.colour(i, i), RGB(7, 7, 7)) << i;
    EXPECT_EQ(canvas.colour(1, 0), kMarker);
    MoveToEx(canvas.dc, 4, -2147483647 - 1);
    ASSERT_TRUE(LineTo(canvas.dc, 4, 2147483647));
    EXPECT_EQ(canvas.colour(4, 0), RGB(7, 7, 7));
    EXPECT_EQ(canvas.colour(4, 7), RGB(7, 7, 7));
}

TEST(ExtremeCoordinates, HugeFillsAndRowsAreClipped)
{
    Canvas canvas(4, 4);
    const TRIVERTEX v[2] = {vertex(-2147483647 - 1, -2147483647 - 1, 5, 5, 5),
                            vertex(2147483647, 2147483647, 5, 5, 5)};
    const GRADIENT_RECT mesh{0, 1};
    ASSERT_TRUE(GradientFill(canvas.dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_H));
    EXPECT_EQ(canvas.colour(3, 3), RGB(5, 5, 5));

    const std::uint8_t bits[4] = {9, 9, 9, 0};
    BITMAPINFOHEADER header;
    header.biWidth = 1;
    header.biHeight = -1;
    header.biBitCount = 24;
    // Four billion rows requested, one present in the buffer: only row 0 is drawn.
    SetDIBitsToDevice(canvas.dc, 2, 0, 1, 4000000000u, 0, 0, 0, 1, bits, header, DIB_RGB_COLORS);
    EXPECT_EQ(canvas.colour(2, 0), RGB(9, 9, 9));
    EXPECT_EQ(canvas.colour(2, 1), RGB(5, 5, 5));

    SetDCPenColor(canvas.dc, RGB(1, 1, 1));
    EXPECT_TRUE(RoundRect(canvas.dc, -2147483647 - 1, 0, 2147483647, 3, 2147483647, 5));
    HRGN region = CreateRoundRectRgn(-2147483647 - 1, -5, 2147483647, 5, 3, 3);
    EXPECT_FALSE(PtInRegion(region, 0, 0));  // larger than any shape this layer builds
    DeleteObject(region);
}
