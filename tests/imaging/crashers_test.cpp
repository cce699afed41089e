// Damaged images must fail cleanly, never read or write outside a buffer:
// every valid PngSuite file cut short at many points and with bytes flipped,
// through the whole loading front door, with zlib and with our own inflate.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/image_limits.h"
#include "platform/zlib/zlib_library.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> suiteFiles()
{
    const QDir suite(QStringLiteral(SORTIA_TESTDATA_DIR "/pngsuite"));
    std::vector<Bytes> files;
    for (const QString& name : suite.entryList({QStringLiteral("*.png")})) {
        QFile f(suite.filePath(name));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray b = f.readAll();
            files.emplace_back(b.begin(), b.end());
        }
    }
    // An empty list would pass every test below without testing anything.
    EXPECT_GT(files.size(), 100u) << "no PngSuite files found in " << suite.path().toStdString();
    return files;
}

// Loads and, when something loaded, touches every pixel so that a surface
// smaller than it claims shows up under the sanitizers.
void loadAndTouch(const Bytes& bytes)
{
    c32bppDIB dib;
    if (!dib.LoadPicture_Stream(ByteArray(bytes), 16, 16, 0, 0, false))
        return;
    unsigned sum = 0;
    for (std::size_t i = 0; i < std::size_t(dib.ScanWidth()) * std::size_t(dib.Height()); ++i)
        sum += dib.BitsPointer()[i];
    EXPECT_GE(sum, 0u);
}

class Crashers : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { zlib::setSimulateAbsent(!GetParam()); }
    void TearDown() override { zlib::setSimulateAbsent(false); }
};

TEST_P(Crashers, TruncatedFiles)
{
    for (const Bytes& file : suiteFiles())
        for (std::size_t cut = 57; cut < file.size(); cut += 1 + file.size() / 23)
            loadAndTouch(Bytes(file.begin(), file.begin() + std::ptrdiff_t(cut)));
}

TEST_P(Crashers, FlippedBytes)
{
    std::uint32_t seed = 2463534242u;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    for (const Bytes& file : suiteFiles()) {
        for (int round = 0; round < 24; ++round) {
            Bytes damaged = file;
            // Behind IHDR: without zlib no checksum protects the header, and a
            // damaged size legitimately decodes to a huge zero-padded image.
            for (int k = 0; k < 1 + round % 4; ++k)
                damaged[33 + next() % (damaged.size() - 33)] ^= std::uint8_t(1 + next() % 255);
            loadAndTouch(damaged);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Decompressor, Crashers, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Zlib" : "OwnInflate"; });

// Inputs that once took minutes and gigabytes, or skipped a check: each is
// refused before anything is allocated for it, and says why.
TEST(KnownCrashers, RefusedWithTheirReason)
{
    const struct {
        const char* file;
        bool zlibPresent;
        std::int64_t pixelLimit;
        LoadError error;  // None: it loads
    } cases[] = {
        {"png/png-8192x8192-in-68-bytes.png", true, imaging::kDefaultPixelLimit, LoadError::SizeBeyondData},
        {"png/png-8192x8192-in-68-bytes.png", false, imaging::kDefaultPixelLimit, LoadError::SizeBeyondData},
        {"png/png-23170x23170-in-65-bytes.png", true, imaging::kDefaultPixelLimit, LoadError::TooManyPixels},
        {"png/png-23170x23170-in-65-bytes.png", true, INT64_MAX, LoadError::SizeBeyondData},
        {"png/png-23170x23170-in-65-bytes.png", false, INT64_MAX, LoadError::SizeBeyondData},
        // A stored CRC of 0 leaves its chunk unchecked: the file loads though
        // its IDAT's bytes have another CRC...
        {"png/png-idat-crc-zero.png", true, imaging::kDefaultPixelLimit, LoadError::None},
        {"png/png-idat-crc-zero.png", false, imaging::kDefaultPixelLimit, LoadError::None},
        // ... and a huge picture whose CRC fields are all 0 gets past the
        // checksums to be refused by the limits, with zlib or without.
        {"png/png-23170x23170-crc-zero.png", true, imaging::kDefaultPixelLimit, LoadError::TooManyPixels},
        {"png/png-23170x23170-crc-zero.png", false, imaging::kDefaultPixelLimit, LoadError::TooManyPixels},
        {"png/png-23170x23170-crc-zero.png", true, INT64_MAX, LoadError::SizeBeyondData},
        {"png/png-23170x23170-crc-zero.png", false, INT64_MAX, LoadError::SizeBeyondData},
        // IDAT data but no IHDR, so no size and a bit depth of 0: the
        // expected scan lines are none, and the data does not fit them.
        {"png/png-without-ihdr-depth-zero.png", true, imaging::kDefaultPixelLimit, LoadError::BadCompressedData},
        {"png/png-without-ihdr-depth-zero.png", false, imaging::kDefaultPixelLimit, LoadError::BadCompressedData},
        // Without zlib our own inflate read a cut stream's short output as
        // success: 9 bytes of data made a 16-bit RGBA picture of 8192 x 8192.
        {"png_nozlib/png-8192x8192-rgba16-in-66-bytes.png", false, imaging::kDefaultPixelLimit,
         LoadError::SizeBeyondData},
        {"png_nozlib/png-8192x8192-rgba16-in-66-bytes.png", false, INT64_MAX, LoadError::SizeBeyondData},
        {"png_nozlib/png-8192x8192-rgba16-in-66-bytes.png", true, INT64_MAX, LoadError::SizeBeyondData},
    };
    for (const auto& c : cases) {
        zlib::setSimulateAbsent(!c.zlibPresent);
        c32bppDIB dib;
        dib.setPixelLimit(c.pixelLimit);
        const bool loaded = dib.LoadPicture_File(QStringLiteral(SORTIA_TESTDATA_DIR "/crashers/") + c.file, 0, 0, false);
        EXPECT_EQ(loaded, c.error == LoadError::None) << c.file << " zlib " << c.zlibPresent;
        EXPECT_EQ(dib.LastError(), c.error) << c.file << " zlib " << c.zlibPresent;
    }
    zlib::setSimulateAbsent(false);
}

}  // namespace
