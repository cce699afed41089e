// What the room sees of a winner, and the QR code of a draw's anchor read
// back as a phone would.

#include <gtest/gtest.h>

#include "draw/draw_record.h"
#include "export/masking.h"
#include "export/qr_code.h"
#include "tests/support/qr_decode.h"

namespace {

struct MaskCase {
    const char* full;
    const char* masked;
};

TEST(Masking, NamesKeepTheirFirstAndLastCharacter)
{
    const MaskCase cases[] = {
        {"张三丰", "张*丰"}, {"张三", "张*"},   {"欧阳娜娜", "欧**娜"}, {"张", "张"},
        {"", ""},            {"Ann Lee", "A** **e"}, {"Élodie", "É****e"},
        {"\xff\xfe" "ab", "***b"},  // bytes that are no text are masked one by one
    };
    for (const MaskCase& c : cases)
        EXPECT_EQ(exporter::MaskName(c.full), c.masked) << c.full;
}

TEST(Masking, LongNumbersKeepThreeAndFourDigits)
{
    const MaskCase cases[] = {
        {"13812345678", "138****5678"}, {"12345678", "123*5678"}, {"1234567", "1234567"},
        {"A10086", "A10086"},           {"", ""},
    };
    for (const MaskCase& c : cases)
        EXPECT_EQ(exporter::MaskNumber(c.full), c.masked) << c.full;
}

TEST(Masking, NamesakesStayApartByTheirNumbers)
{
    EXPECT_EQ(exporter::MaskName("钟丽强"), exporter::MaskName("钟丽强"));
    EXPECT_NE(exporter::MaskNumber("13800001111"), exporter::MaskNumber("13900002222"));
}

// The code drawn as a phone's camera sees it: four pixels a module and the
// quiet zone of four modules the standard asks for.
std::vector<std::string> readBack(const exporter::QrCode& qr)
{
    const int scale = 4, border = 4;
    const int side = (qr.size + 2 * border) * scale;
    std::vector<std::uint8_t> grey(std::size_t(side) * side, 255);
    for (int y = 0; y < qr.size; ++y)
        for (int x = 0; x < qr.size; ++x)
            if (qr.isDark(x, y))
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        grey[std::size_t((y + border) * scale + dy) * side + (x + border) * scale + dx] = 0;
    return testqr::decode(grey, side, side);
}

TEST(QrCode, AnAnchorReadsBackExactly)
{
    const std::string anchor = draw::AnchorText(12, std::string(64, 'a') + "");
    const std::optional<exporter::QrCode> qr = exporter::EncodeQr(anchor);
    ASSERT_TRUE(qr);
    EXPECT_EQ(readBack(*qr), std::vector<std::string>{anchor});
    EXPECT_EQ(anchor, "sortia-draw:12:" + std::string(64, 'a'));
}

TEST(QrCode, TextThatCannotBeEncodedIsRefused)
{
    EXPECT_FALSE(exporter::EncodeQr(std::string("a\0b", 3)));
    EXPECT_FALSE(exporter::EncodeQr(std::string(8000, 'x')));  // beyond the largest code
}

}  // namespace
