// The handle owners give back what they hold, in the order GDI needs.
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_handles.h"

namespace {

gdi::HBITMAP newBitmap(int w, int h)
{
    gdi::BITMAPINFOHEADER header;
    header.biWidth = w;
    header.biHeight = h;
    header.biBitCount = 32;
    return gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, nullptr);
}

TEST(Handles, SelectionRestoresTheReplacedBitmapOnce)
{
    gdi::UniqueDC dc = gdi::screenCompatibleDC();
    ASSERT_TRUE(dc);
    gdi::UniqueBitmap first(newBitmap(2, 2));
    gdi::UniqueBitmap second(newBitmap(3, 3));
    {
        gdi::Selection outer(dc.get(), first.get());
        ASSERT_TRUE(outer);
        EXPECT_EQ(gdi::SetPixel(dc.get(), 1, 1, gdi::RGB(1, 2, 3)), gdi::RGB(1, 2, 3));
        {
            gdi::Selection inner(dc.get(), second.get());
            EXPECT_EQ(gdi::SetPixel(dc.get(), 2, 2, gdi::RGB(4, 5, 6)), gdi::RGB(4, 5, 6));
            // Selected bitmaps cannot be deleted.
            EXPECT_FALSE(gdi::DeleteObject(second.get()));
            gdi::Selection moved = std::move(inner);
            EXPECT_FALSE(inner);
            EXPECT_TRUE(moved);
        }
        // The inner selection gave `first` back: its pixel is there again.
        EXPECT_EQ(gdi::GetPixel(dc.get(), 1, 1), gdi::RGB(1, 2, 3));
        EXPECT_EQ(gdi::GetPixel(dc.get(), 2, 2), gdi::CLR_INVALID);
    }
    // Both are free again: deleting them succeeds.
    EXPECT_TRUE(gdi::DeleteObject(first.release()));
    EXPECT_TRUE(gdi::DeleteObject(second.release()));
}

TEST(Handles, NothingToSelectRestoresNothing)
{
    gdi::UniqueDC dc = gdi::screenCompatibleDC();
    gdi::UniqueBitmap bitmap(newBitmap(1, 1));
    const gdi::Selection none(dc.get(), nullptr);
    EXPECT_FALSE(none);
    const gdi::Selection noDc(nullptr, bitmap.get());
    EXPECT_FALSE(noDc);
    // A bitmap selected elsewhere is refused, and the refusal undoes nothing.
    gdi::UniqueDC other = gdi::screenCompatibleDC();
    gdi::Selection there(other.get(), bitmap.get());
    ASSERT_TRUE(there);
    const gdi::Selection refused(dc.get(), bitmap.get());
    EXPECT_FALSE(refused);
}

TEST(Handles, ScopeEndOrderLeavesNothingSelected)
{
    gdi::HBITMAP raw = newBitmap(1, 1);
    {
        gdi::UniqueBitmap bitmap(raw);
        gdi::UniqueDC dc = gdi::screenCompatibleDC();
        gdi::Selection selected(dc.get(), bitmap.get());
        ASSERT_TRUE(selected);
        // Ends in reverse: selection, DC, bitmap. Were the bitmap deleted
        // first, DeleteObject would refuse it and it would leak (the
        // sanitizer build reports that).
    }
    SUCCEED();
}

}  // namespace
