// The PNG row kernels against the rules written out plainly, one byte or
// pixel at a time (the PNG standard's filters, premultiplied alpha as
// floor(c x a / 255)), on random rows of every length up to a few vector
// widths, so that the vector bodies and their tails all run.
#include "imaging/formats/png_rows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A row of `length` bytes with the kernels' padding behind it, holding
// `fill` there so that reads past the row are harmless and writes visible.
Bytes padded(const Bytes& row, std::uint8_t fill = 0xA7)
{
    Bytes out(row);
    out.resize(row.size() + pngrows::kRowPadding, fill);
    return out;
}

Bytes randomBytes(std::mt19937& rng, std::size_t n)
{
    Bytes b(n);
    for (auto& v : b)
        v = std::uint8_t(rng());
    return b;
}

// The predictor as the PNG standard states it: p = a + b - c, the nearest
// of a, b, c to p, ties in that order.
int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

Bytes unfilteredByTheRules(int filter, const Bytes& filtered, const Bytes& above, std::size_t unit)
{
    Bytes out(filtered.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int a = i >= unit ? out[i - unit] : 0;
        const int b = above[i];
        const int c = i >= unit ? above[i - unit] : 0;
        const int predictor = filter == 0 ? 0 : filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2 : paeth(a, b, c);
        out[i] = std::uint8_t(filtered[i] + predictor);
    }
    return out;
}

TEST(PngRows, FiltersUndoneAsTheStandardSays)
{
    std::mt19937 rng(7);
    for (std::size_t unit : {1, 2, 3, 4, 6, 8}) {
        for (std::size_t pixels = 1; pixels <= 40; ++pixels) {
            const std::size_t length = pixels * unit;
            // Bytes near 0 and 255 as well as random ones, so that sums wrap
            // and the predictor's ties come up.
            Bytes filtered = randomBytes(rng, length), above = randomBytes(rng, length);
            if (pixels % 3 == 0)
                for (std::size_t i = 0; i < length; ++i)
                    above[i] = std::uint8_t(rng() % 2 ? 0 : 255);
            for (int filter = 0; filter <= 4; ++filter) {
                const Bytes in = padded(filtered), prev = padded(above);
                Bytes out(length + pngrows::kRowPadding, 0x3C);
                ASSERT_TRUE(pngrows::unfilterRow(std::uint8_t(filter), in.data(), prev.data(), out.data(), length, unit));
                out.resize(length);
                EXPECT_EQ(out, unfilteredByTheRules(filter, filtered, above, unit))
                    << "filter " << filter << ", unit " << unit << ", " << pixels << " pixels";
            }
        }
    }
}

TEST(PngRows, UnknownFilterTypeWritesNothing)
{
    const Bytes row = padded({1, 2, 3, 4}), above = padded({0, 0, 0, 0});
    for (int filter : {5, 7, 255}) {
        Bytes out(4 + pngrows::kRowPadding, 0x3C);
        EXPECT_FALSE(pngrows::unfilterRow(std::uint8_t(filter), row.data(), above.data(), out.data(), 4, 1));
        EXPECT_EQ(out, Bytes(4 + pngrows::kRowPadding, 0x3C));
    }
}

std::uint32_t premultipliedByTheRules(int r, int g, int b, int a)
{
    return std::uint32_t(b * a / 255) | std::uint32_t(g * a / 255) << 8 | std::uint32_t(r * a / 255) << 16 |
           std::uint32_t(a) << 24;
}

// Pixels out of a conversion of `cols`, and whether the bytes behind them
// stayed as they were.
struct Converted {
    std::vector<std::uint32_t> pixels;
    bool untouchedBehind = true;
};

template <typename Convert>
Converted convert(std::size_t cols, Convert&& run)
{
    Bytes dst(cols * 4 + 16, 0xEE);
    run(dst.data());
    Converted c;
    for (std::size_t k = 0; k < cols; ++k)
        c.pixels.push_back(std::uint32_t(dst[4 * k]) | std::uint32_t(dst[4 * k + 1]) << 8 |
                           std::uint32_t(dst[4 * k + 2]) << 16 | std::uint32_t(dst[4 * k + 3]) << 24);
    for (std::size_t i = cols * 4; i < dst.size(); ++i)
        c.untouchedBehind = c.untouchedBehind && dst[i] == 0xEE;
    return c;
}

TEST(PngRows, ColourRowsBecomePremultipliedPixels)
{
    std::mt19937 rng(11);
    for (std::size_t cols = 1; cols <= 37; ++cols) {
        // Runs of opaque and of transparent pixels as well as any alpha, the
        // runs three pixels long so that groups of four mix them.
        Bytes rgba = randomBytes(rng, cols * 4), rgba16 = randomBytes(rng, cols * 8);
        for (std::size_t k = 0; k < cols; ++k) {
            const int kind = int(k / 3 + cols) % 3;
            if (kind < 2)
                rgba[4 * k + 3] = rgba16[8 * k + 6] = kind == 0 ? 255 : 0;
        }
        const Bytes rgb = randomBytes(rng, cols * 3), greyAlpha = randomBytes(rng, cols * 4);
        std::vector<std::uint32_t> want8, want16, wantRgb, wantKeyed, wantGrey8, wantGrey16;
        const std::uint32_t key = std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2];
        for (std::size_t k = 0; k < cols; ++k) {
            want8.push_back(premultipliedByTheRules(rgba[4 * k], rgba[4 * k + 1], rgba[4 * k + 2], rgba[4 * k + 3]));
            want16.push_back(
                premultipliedByTheRules(rgba16[8 * k], rgba16[8 * k + 2], rgba16[8 * k + 4], rgba16[8 * k + 6]));
            const std::uint32_t colour = std::uint32_t(rgb[3 * k]) << 16 | std::uint32_t(rgb[3 * k + 1]) << 8 | rgb[3 * k + 2];
            wantRgb.push_back(colour | 0xFF000000u);
            wantKeyed.push_back(colour == key ? 0 : colour | 0xFF000000u);
            wantGrey8.push_back(premultipliedByTheRules(greyAlpha[2 * k], greyAlpha[2 * k], greyAlpha[2 * k], greyAlpha[2 * k + 1]));
            wantGrey16.push_back(premultipliedByTheRules(greyAlpha[4 * k], greyAlpha[4 * k], greyAlpha[4 * k], greyAlpha[4 * k + 2]));
        }
        const struct {
            const char* name;
            Converted got;
            const std::vector<std::uint32_t>& want;
        } rows[] = {
            {"rgba8", convert(cols, [&](std::uint8_t* d) { pngrows::rgba8ToPixels(padded(rgba).data(), d, cols); }), want8},
            {"rgba16", convert(cols, [&](std::uint8_t* d) { pngrows::rgba16ToPixels(padded(rgba16).data(), d, cols); }), want16},
            {"rgb8", convert(cols, [&](std::uint8_t* d) { pngrows::rgb8ToPixels(padded(rgb).data(), d, cols); }), wantRgb},
            {"rgb8 keyed", convert(cols, [&](std::uint8_t* d) { pngrows::rgb8KeyedToPixels(padded(rgb).data(), d, cols, key); }),
             wantKeyed},
            {"grey alpha 8", convert(cols, [&](std::uint8_t* d) { pngrows::greyAlphaToPixels(padded(greyAlpha).data(), d, cols, 1); }),
             wantGrey8},
            {"grey alpha 16", convert(cols, [&](std::uint8_t* d) { pngrows::greyAlphaToPixels(padded(greyAlpha).data(), d, cols, 2); }),
             wantGrey16},
        };
        for (const auto& r : rows) {
            EXPECT_EQ(r.got.pixels, r.want) << r.name << ", " << cols << " pixels";
            EXPECT_TRUE(r.got.untouchedBehind) << r.name << ", " << cols << " pixels";
        }
    }
}

TEST(PngRows, PackedSamplesGoThroughTheTable)
{
    std::mt19937 rng(13);
    std::vector<std::uint32_t> table(256);
    for (auto& t : table)
        t = std::uint32_t(rng());
    for (int depth : {1, 2, 4, 8}) {
        std::vector<std::uint32_t> expanded(std::size_t(256) * std::size_t(8 / depth));
        pngrows::expandLookup(depth, table.data(), expanded.data());
        for (std::size_t cols = 1; cols <= 41; ++cols) {
            const Bytes samples = randomBytes(rng, (cols * std::size_t(depth) + 7) / 8);
            std::vector<int> values;
            for (std::size_t k = 0; k < cols; ++k) {
                const std::size_t bit = k * std::size_t(depth);
                values.push_back((samples[bit / 8] >> (8 - depth - int(bit % 8))) & ((1 << depth) - 1));
            }
            // Every value has an entry: the whole row is written.
            for (const std::uint32_t* spread : {static_cast<const std::uint32_t*>(expanded.data()), static_cast<const std::uint32_t*>(nullptr)}) {
                int result = 0;
                const Converted got = convert(cols, [&](std::uint8_t* d) {
                    result = pngrows::lookupToPixels(padded(samples).data(), d, cols, depth, table.data(), 256, spread);
                });
                EXPECT_EQ(result, -1);
                for (std::size_t k = 0; k < cols; ++k)
                    ASSERT_EQ(got.pixels[k], table[std::size_t(values[k])]) << depth << " bits, pixel " << k;
                EXPECT_TRUE(got.untouchedBehind);
            }
            // A table too short for some value: the first such value is
            // reported, the pixels before it written.
            const std::size_t entries = std::size_t(1) << (depth - 1);
            std::size_t first = 0;
            while (first < cols && std::size_t(values[first]) < entries)
                ++first;
            int result = 0;
            const Converted got = convert(cols, [&](std::uint8_t* d) {
                result = pngrows::lookupToPixels(padded(samples).data(), d, cols, depth, table.data(), entries, nullptr);
            });
            EXPECT_EQ(result, first < cols ? values[first] : -1) << depth << " bits, " << cols << " pixels";
            for (std::size_t k = 0; k < first; ++k)
                ASSERT_EQ(got.pixels[k], table[std::size_t(values[k])]);
        }
    }
}

}  // namespace
