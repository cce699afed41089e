// Every PngSuite image, decoded through zlib and through our own inflate,
// against an independent reference decoder whose output is premultiplied
// the way the surface stores pixels (truncating; 16-bit samples by their
// high byte; 16-bit transparency keys compared as whole samples).
#include <gtest/gtest.h>
#include <png.h>

#include <QFile>
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/zlib/zlib_library.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kSuite = fs::path(SORTIA_TESTDATA_DIR) / "pngsuite";

// Reference pixels, top-down, premultiplied B, G, R, A.
bool referenceDecode(const fs::path& file, int& width, int& height, Bytes& out)
{
    FILE* fp = std::fopen(file.c_str(), "rb");
    if (!fp)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    Bytes raw;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_read_info(png, info);
    png_set_expand(png);  // palette and low depths to 8 bits, tRNS to an alpha channel
    png_set_gray_to_rgb(png);
    const int depth = png_get_bit_depth(png, info);
    if (!(png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_filler(png, 0xFFFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = int(png_get_image_width(png, info));
    height = int(png_get_image_height(png, info));
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    raw.resize(rowBytes * std::size_t(height));
    for (int y = 0; y < height; ++y)
        rows.push_back(raw.data() + std::size_t(y) * rowBytes);
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(fp);

    const int sampleBytes = depth == 16 ? 2 : 1;
    out.assign(std::size_t(width) * std::size_t(height) * 4, 0);
    for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
        const std::uint8_t* s = raw.data() + i * 4 * std::size_t(sampleBytes);
        const int r = s[0], g = s[sampleBytes], b = s[2 * sampleBytes], a = s[3 * sampleBytes];
        if (a == 0)
            continue;
        std::uint8_t* d = out.data() + i * 4;
        d[0] = std::uint8_t(b * a / 255);
        d[1] = std::uint8_t(g * a / 255);
        d[2] = std::uint8_t(r * a / 255);
        d[3] = std::uint8_t(a);
    }
    return true;
}

// The surface's pixels turned top-down.
Bytes topDown(const c32bppDIB& dib)
{
    Bytes out;
    const std::size_t scan = std::size_t(dib.ScanWidth());
    for (int y = dib.Height() - 1; y >= 0; --y) {
        const std::uint8_t* row = dib.BitsPointer() + std::size_t(y) * scan;
        out.insert(out.end(), row, row + scan);
    }
    return out;
}

Bytes readFile(const fs::path& file)
{
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

std::vector<fs::path> suiteFiles(bool corrupt)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kSuite)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".png" && (name[0] == 'x') == corrupt)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Loads through the file entry point, and through the stream entry point from
// inside a larger array with a non-zero lower bound.
void loadBothWays(const fs::path& file, c32bppDIB& fromFile, c32bppDIB& fromStream)
{
    cPNGparser parser;
    parser.LoadFile(QString::fromStdString(file.string()), fromFile);
    Bytes bytes = readFile(file);
    Bytes padded(bytes.size() + 12, 0xAA);
    if (!bytes.empty())
        std::memcpy(padded.data() + 5, bytes.data(), bytes.size());
    const ByteArray array(padded, -3);
    cPNGparser().LoadStream(array, fromStream, -3 + 5, std::int32_t(bytes.size()));
}

class PngSuite : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { zlib::setSimulateAbsent(!GetParam()); }
    void TearDown() override { zlib::setSimulateAbsent(false); }
};

TEST_P(PngSuite, ValidImagesMatchTheReference)
{
    const auto files = suiteFiles(false);
    ASSERT_GT(files.size(), 100u);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        int width = 0, height = 0;
        Bytes expected;
        ASSERT_TRUE(referenceDecode(file, width, height, expected));
        c32bppDIB fromFile, fromStream;
        loadBothWays(file, fromFile, fromStream);
        for (const c32bppDIB* dib : {&fromFile, &fromStream}) {
            ASSERT_NE(dib->Handle(), nullptr);
            EXPECT_EQ(dib->ImageType(), ImagePNG);
            ASSERT_EQ(dib->Width(), width);
            ASSERT_EQ(dib->Height(), height);
            EXPECT_TRUE(topDown(*dib) == expected);
        }
    }
}

TEST_P(PngSuite, CorruptImagesLoadNothing)
{
    const bool zlibPresent = GetParam();
    const auto corrupt = suiteFiles(true);
    ASSERT_GT(corrupt.size(), 10u);
    for (const fs::path& file : corrupt) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        c32bppDIB fromFile, fromStream;
        loadBothWays(file, fromFile, fromStream);
        // Without zlib no checksum is checked: the files whose only fault
        // is a checksum then load.
        const bool checksumOnly = name == "xcsn0g01.png" || name == "xhdn0g08.png";
        const bool loads = !zlibPresent && checksumOnly;
        EXPECT_EQ(fromFile.Handle() != nullptr, loads);
        EXPECT_EQ(fromStream.Handle() != nullptr, loads);
    }
}

INSTANTIATE_TEST_SUITE_P(Decompressor, PngSuite, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Zlib" : "OwnInflate"; });

}  // namespace
