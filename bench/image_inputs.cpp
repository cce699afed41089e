#include "image_inputs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

namespace bench {
namespace {

// A small, fast generator: the same sequence on every machine.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return std::uint32_t(m_state >> 16);
    }
    int range(int n) { return int(next() % std::uint32_t(n)); }

private:
    std::uint64_t m_state;
};

std::uint8_t clampByte(double v)
{
    return std::uint8_t(std::clamp(v, 0.0, 255.0));
}

// 4 x 4 ordered dither thresholds, 0 .. 15.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Index of the 6 x 7 x 6 colour cube entry nearest the dithered colour; the
// cube starts at entry 4 (entries 0 to 3 are the transparent ones).
int cubeIndex(const std::uint8_t* rgb, int x, int y)
{
    const double bias = (kBayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
    const int levels[3] = {6, 7, 6};
    int index = 0;
    for (int c = 0; c < 3; ++c) {
        const double step = 255.0 / (levels[c] - 1);
        const int q = std::clamp(int(std::lround(rgb[c] / step + bias)), 0, levels[c] - 1);
        index = index * levels[c] + q;
    }
    return 4 + index;
}

std::uint8_t cubeLevel(int index, int channel)
{
    const int levels[3] = {6, 7, 6};
    int rest = index - 4;
    int q[3];
    for (int c = 2; c >= 0; --c) {
        q[c] = rest % levels[c];
        rest /= levels[c];
    }
    return std::uint8_t(std::lround(q[channel] * 255.0 / (levels[channel] - 1)));
}

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<std::uint8_t> greyOf(const Pixels& p)
{
    std::vector<std::uint8_t> grey(std::size_t(p.width) * p.height);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        const std::uint8_t* s = &p.samples[i * std::size_t(p.channels)];
        grey[i] = p.channels >= 3 ? std::uint8_t((s[0] * 77 + s[1] * 150 + s[2] * 29) >> 8) : s[0];
    }
    return grey;
}

// The rows the reference encoder is given, in its layout for the options.
std::vector<Bytes> pngRows(const Pixels& p, const PngOptions& options, int& colourType, int& depth)
{
    std::vector<Bytes> rows(std::size_t(p.height));
    const std::size_t n = std::size_t(p.width);
    if (options.palette) {
        colourType = PNG_COLOR_TYPE_PALETTE;
        depth = 8;
        for (int y = 0; y < p.height; ++y) {
            rows[std::size_t(y)].resize(n);
            for (int x = 0; x < p.width; ++x)
                rows[std::size_t(y)][std::size_t(x)] =
                    std::uint8_t(cubeIndex(&p.samples[(std::size_t(y) * n + std::size_t(x)) * std::size_t(p.channels)], x, y));
        }
        return rows;
    }
    if (options.bitDepth == 1) {
        colourType = PNG_COLOR_TYPE_GRAY;
        depth = 1;
        const std::vector<std::uint8_t> grey = greyOf(p);
        for (int y = 0; y < p.height; ++y) {
            rows[std::size_t(y)].assign((n + 7) / 8, 0);
            for (int x = 0; x < p.width; ++x)
                if (grey[std::size_t(y) * n + std::size_t(x)] > kBayer[y & 3][x & 3] * 16 + 8)
                    rows[std::size_t(y)][std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x & 7));
        }
        return rows;
    }
    colourType = p.channels == 4 ? PNG_COLOR_TYPE_RGBA : p.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    depth = options.bitDepth;
    const int bytes = depth / 8;
    for (int y = 0; y < p.height; ++y) {
        Bytes& row = rows[std::size_t(y)];
        const std::uint8_t* src = &p.samples[std::size_t(y) * n * std::size_t(p.channels)];
        for (std::size_t i = 0; i < n * std::size_t(p.channels); ++i) {
            row.push_back(src[i]);
            if (bytes == 2)
                row.push_back(std::uint8_t(src[i] ^ (i * 37)));  // a low byte that varies
        }
    }
    return rows;
}

}  // namespace

Pixels photo(int width, int height, int channels)
{
    Pixels p{width, height, channels, Bytes(std::size_t(width) * height * channels)};
    Random random(std::uint64_t(width) * 131 + height);
    const double cx = width * 0.5, cy = height * 0.48, radius = std::min(width, height) * 0.42;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Texture strength varies over the picture: smooth sky, busy foliage.
            const double busy = 0.5 + 0.5 * std::sin(x * 0.0021) * std::sin(y * 0.0033 + 1.0);
            const double amplitude = 1.5 + 18.0 * busy * busy;
            const bool edge = ((x / 97 + y / 61) % 7) == 0;  // a few hard-edged objects
            std::uint8_t* px = &p.samples[(std::size_t(y) * width + x) * channels];
            for (int c = 0; c < std::min(channels, 3); ++c) {
                double v = 118 + 55 * std::sin(x * 0.0071 + c * 1.3) * std::cos(y * 0.0053 - c * 0.7) +
                           35 * std::sin((x + y) * 0.0029 + c * 2.1) + (edge ? 40 - c * 25 : 0);
                v += (int(random.range(2001)) - 1000) / 1000.0 * amplitude;
                px[c] = clampByte(v);
            }
            if (channels == 4) {
                // A subject cut out of its background, with a soft edge.
                const double d = std::hypot(x - cx, (y - cy) * 1.2) - radius;
                px[3] = clampByte(d < -12 ? 255 : d > 12 ? 0 : 255 * (12 - d) / 24);
            }
        }
    }
    return p;
}

Pixels icon(int size, int variant)
{
    Pixels p{size, size, 4, Bytes(std::size_t(size) * size * 4)};
    const double r = size * (0.30 + 0.03 * (variant % 5));
    const double c = (size - 1) / 2.0;
    const double hue = variant * 0.61;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // A rounded square or a disc, shaded from the top left, with an
            // anti-aliased edge and a soft shadow.
            const double dx = std::abs(x - c), dy = std::abs(y - c);
            const double corner = variant % 2 ? r * 0.35 : r;
            const double qx = std::max(dx - (r - corner), 0.0), qy = std::max(dy - (r - corner), 0.0);
            const double d = std::hypot(qx, qy) - corner;
            const double shade = 0.75 + 0.25 * ((c - x) + (c - y)) / (2 * r);
            std::uint8_t* px = &p.samples[(std::size_t(y) * size + x) * 4];
            for (int k = 0; k < 3; ++k)
                px[k] = clampByte((128 + 110 * std::sin(hue + k * 2.1)) * shade);
            const double shadow = std::clamp(0.35 - (std::hypot(x - c - 2, y - c - 3) - r) / 8.0, 0.0, 0.35);
            px[3] = clampByte(d < -0.5 ? 255 : d > 0.5 ? 255 * shadow : 255 * (0.5 - d));
            if ((x - int(c)) % 7 == 0 && d < -3 && variant % 3 == 0)
                px[0] = px[1] = px[2] = 250;  // a glyph line
        }
    }
    return p;
}

Pixels screenshot(int width, int height)
{
    Pixels p{width, height, 3, Bytes(std::size_t(width) * height * 3, 0)};
    Random random(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = &p.samples[(std::size_t(y) * width + x) * 3];
            const bool title = y % 240 < 24, frame = x % 320 == 0 || y % 240 == 0;
            const std::uint8_t base = title ? 60 : 236;
            px[0] = px[1] = base;
            px[2] = std::uint8_t(title ? 140 : 240);
            if (frame)
                px[0] = px[1] = px[2] = 120;
        }
    }
    // Lines of glyph-like marks.
    for (int line = 30; line + 12 < height; line += 18) {
        for (int x = 8; x + 8 < width;) {
            const int glyph = 4 + random.range(6);
            for (int gx = 0; gx < glyph; ++gx)
                for (int gy = 0; gy < 11; ++gy)
                    if (random.range(3) == 0) {
                        std::uint8_t* px = &p.samples[(std::size_t(line + gy) * width + x + gx) * 3];
                        px[0] = px[1] = px[2] = 30;
                    }
            x += glyph + 2 + (random.range(8) == 0 ? 6 : 0);
        }
    }
    return p;
}

namespace {

// libpng reports errors by longjmp: nothing here changes after the setjmp.
Bytes writePng(const std::vector<Bytes>& rows, int width, int height, int depth, int colourType,
               const PngOptions& options)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write a benchmark input");
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colourType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (options.palette) {
        std::vector<png_color> palette(256);
        for (int i = 4; i < 256; ++i)
            palette[std::size_t(i)] = {cubeLevel(i, 0), cubeLevel(i, 1), cubeLevel(i, 2)};
        png_set_PLTE(png, info, palette.data(), 256);
        png_byte alpha[4] = {0, 64, 128, 192};
        png_set_tRNS(png, info, alpha, 4, nullptr);
    }
    if (options.paethOnly)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
    png_write_info(png, info);
    const int passes = options.interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (const Bytes& row : rows)
            png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

Bytes encodePng(const Pixels& pixels, const PngOptions& options)
{
    int colourType = 0, depth = 8;
    const std::vector<Bytes> rows = pngRows(pixels, options, colourType, depth);
    return writePng(rows, pixels.width, pixels.height, depth, colourType, options);
}

Bytes encodeIco(const Pixels& rgba)
{
    // Smaller entries: every n-th pixel of the picture.
    const int sizes[3] = {16, 32, rgba.width};
    std::vector<Bytes> images;
    for (int size : sizes) {
        Bytes dib(40, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&dib[at], &v, 4); };
        put32(0, 40);
        put32(4, std::uint32_t(size));
        put32(8, std::uint32_t(size * 2));  // the XOR bitmap and the AND mask
        dib[12] = 1;
        dib[14] = 32;
        for (int y = size - 1; y >= 0; --y) {
            for (int x = 0; x < size; ++x) {
                const std::uint8_t* s = &rgba.samples[(std::size_t(y * rgba.height / size) * rgba.width +
                                                       std::size_t(x * rgba.width / size)) * 4];
                dib.insert(dib.end(), {s[2], s[1], s[0], s[3]});
            }
        }
        const std::size_t maskRow = std::size_t((size + 31) / 32) * 4;
        dib.insert(dib.end(), maskRow * std::size_t(size), 0);
        images.push_back(std::move(dib));
    }
    Bytes out = {0, 0, 1, 0, 3, 0};
    std::uint32_t offset = 6 + 16 * 3;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::uint32_t size = std::uint32_t(images[i].size());
        const std::uint8_t side = std::uint8_t(sizes[i] == 256 ? 0 : sizes[i]);
        out.insert(out.end(), {side, side, 0, 0, 1, 0, 32, 0});
        for (std::uint32_t v : {size, offset})
            for (int k = 0; k < 4; ++k)
                out.push_back(std::uint8_t(v >> (8 * k)));
        offset += size;
    }
    for (const Bytes& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

namespace {

int appendGifBytes(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// Rows in the order an interlaced GIF stores them: every 8th from 0, every
// 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<int> gifRowOrder(int height, bool interlaced)
{
    std::vector<int> order;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
        return order;
    }
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            order.push_back(y);
    return order;
}

}  // namespace

Bytes encodeGif(const Pixels& rgb, bool interlaced)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGifBytes, &error);
    std::vector<GifColorType> colours(256);
    for (int i = 4; i < 256; ++i)
        colours[std::size_t(i)] = {cubeLevel(i, 0), cubeLevel(i, 1), cubeLevel(i, 2)};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, rgb.width, rgb.height, 8, 0, map);
    const GifByteType control[4] = {0x01, 0, 0, 0};  // index 0 is transparent
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    EGifPutImageDesc(gif, 0, 0, rgb.width, rgb.height, interlaced, nullptr);
    std::vector<GifPixelType> line(std::size_t(rgb.width));
    for (int y : gifRowOrder(rgb.height, interlaced)) {
        for (int x = 0; x < rgb.width; ++x)
            line[std::size_t(x)] = GifPixelType(
                cubeIndex(&rgb.samples[(std::size_t(y) * rgb.width + x) * std::size_t(rgb.channels)], x, y));
        EGifPutLine(gif, line.data(), rgb.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Bytes mixedData()
{
    static const char* const kWords[] = {
        "the", "of", "and", "a", "to", "in", "is", "you", "that", "it", "he", "was", "for", "on", "are", "as",
        "with", "his", "they", "at", "be", "this", "have", "from", "or", "one", "had", "by", "word", "but",
        "not", "what", "all", "were", "we", "when", "your", "can", "said", "there", "use", "an", "each",
        "which", "she", "do", "how", "their", "if", "will", "up", "other", "about", "out", "many", "then",
        "them", "these", "so", "some", "her", "would", "make", "like", "him", "into", "time", "has", "look",
        "participant", "winner", "prize", "draw", "window", "button", "picture", "compression", "benchmark"};
    constexpr std::size_t kChunk = 64 * 1024;
    Random random(42);
    const Pixels picture = photo(1024, 512, 3);
    std::size_t picturePos = 0;
    Bytes out;
    for (int part = 0; out.size() < 4 * 1024 * 1024; ++part) {
        const std::size_t end = out.size() + kChunk;
        switch (part % 8) {
        case 0: case 1: case 2:  // prose, word frequencies falling off as in real text
            while (out.size() < end) {
                const int r = random.range(1000);
                const std::string word = kWords[(r * r / 1000) * (sizeof kWords / sizeof *kWords) / 1000];
                out.insert(out.end(), word.begin(), word.end());
                out.push_back(random.range(14) == 0 ? '.' : ' ');
                if (random.range(90) == 0)
                    out.push_back('\n');
            }
            break;
        case 3: case 4: {  // records: a counter, small fields, a measurement
            for (std::uint32_t id = std::uint32_t(part) * 100000; out.size() < end; ++id) {
                const std::uint32_t fields[4] = {id, std::uint32_t(random.range(16)), 1000u + random.range(50),
                                                 std::uint32_t(random.next() & 0xFFFF)};
                const auto* b = reinterpret_cast<const std::uint8_t*>(fields);
                out.insert(out.end(), b, b + sizeof fields);
            }
            break;
        }
        case 5: case 6:  // picture rows
            while (out.size() < end) {
                out.push_back(picture.samples[picturePos]);
                picturePos = (picturePos + 1) % picture.samples.size();
            }
            break;
        default:  // half runs and repeats, half noise
            while (out.size() < end - kChunk / 2)
                out.insert(out.end(), std::size_t(1 + random.range(300)), std::uint8_t(random.range(4)));
            while (out.size() < end)
                out.push_back(std::uint8_t(random.next()));
        }
    }
    return out;
}

Bytes zlibCompress(const Bytes& raw, int level)
{
    uLongf length = compressBound(uLong(raw.size()));
    Bytes out(length);
    if (compress2(out.data(), &length, raw.data(), uLong(raw.size()), level) != Z_OK)
        throw std::runtime_error("zlib could not compress a benchmark input");
    out.resize(length);
    return out;
}

Bytes idatStream(const Bytes& png)
{
    Bytes out;
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::uint32_t length = std::uint32_t(png[pos]) << 24 | std::uint32_t(png[pos + 1]) << 16 |
                                     std::uint32_t(png[pos + 2]) << 8 | png[pos + 3];
        if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0)
            out.insert(out.end(), png.begin() + std::ptrdiff_t(pos + 8), png.begin() + std::ptrdiff_t(pos + 8 + length));
        pos += 12 + length;
    }
    return out;
}

}  // namespace bench
