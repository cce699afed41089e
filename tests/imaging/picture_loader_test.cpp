#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/mod_parsers.h"
#include "platform/picture/picture.h"
#include "tests/imaging/png_builder.h"

namespace {

using pngtest::Bytes;

// A 3 x 2 RGB PNG padded behind IEND to `size` bytes (readers stop at IEND).
Bytes pngOfSize(std::size_t size)
{
    Bytes file = pngtest::png(pngtest::ihdr(3, 2, 8, 2), {}, Bytes(2 * 10, 7));
    if (file.size() < size)
        file.resize(size, 0);
    return file;
}

// A 1 x 1 GIF89a with a two-colour table, padded behind its trailer.
Bytes gifFile()
{
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0x00, 0x00, 0, 0, 0,
                 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
    gif.resize(80, 0);
    return gif;
}

class Loader : public testing::Test {
protected:
    QString write(const QString& name, const Bytes& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path;
    }
    void loadSomething(c32bppDIB& dib) { ASSERT_TRUE(dib.LoadPicture_Stream(ByteArray(pngOfSize(0)), 0, 0, 0, 0, false)); }

    QTemporaryDir m_dir;
};

TEST_F(Loader, RefusedUpFrontLeavesTheEarlierImage)
{
    const Bytes big = pngOfSize(0);
    const struct {
        const char* name;
        QString path;
    } refused[] = {
        {"missing file", m_dir.filePath("none.png")},
        {"56 bytes", write("small.png", Bytes(big.begin(), big.begin() + 56))},
        {"directory", m_dir.path()},
        {"empty name", QString()},
    };
    for (const auto& r : refused) {
        c32bppDIB dib;
        loadSomething(dib);
        EXPECT_FALSE(dib.LoadPicture_File(r.path, 0, 0, false)) << r.name;
        EXPECT_NE(dib.Handle(), nullptr) << r.name;
    }
    c32bppDIB dib;
    loadSomething(dib);
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(), 0, 0, 0, 0, false));
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(Bytes(56, 1)), 0, 0, 0, 0, false));
    EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(Bytes(100, 1)), 0, 0, 50, 60, false));  // past the end
    EXPECT_NE(dib.Handle(), nullptr);
}

TEST_F(Loader, AttemptedLoadThatFailsEmptiesTheSurface)
{
    Bytes broken = pngOfSize(0);
    broken[16 + 3] = 0;  // IHDR width 0
    const Bytes junk(57, 0x5A);
    for (const Bytes& bytes : {junk, broken}) {
        c32bppDIB fromFile, fromStream;
        loadSomething(fromFile);
        loadSomething(fromStream);
        EXPECT_FALSE(fromFile.LoadPicture_File(write("bad.bin", bytes), 0, 0, false));
        EXPECT_EQ(fromFile.Handle(), nullptr);
        EXPECT_FALSE(fromStream.LoadPicture_Stream(ByteArray(bytes), 0, 0, 0, 0, false));
        EXPECT_EQ(fromStream.Handle(), nullptr);
    }
}

TEST_F(Loader, PngFromFileKeepsTheWholeFile)
{
    const Bytes file = pngOfSize(57);
    ASSERT_EQ(file.size(), pngOfSize(0).size());  // already above 56 bytes
    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_File(write("a.png", file), 256, 256, true));
    EXPECT_EQ(dib.ImageType(), ImagePNG);
    EXPECT_EQ(dib.Width(), 3);
    ByteArray kept;
    ASSERT_TRUE(dib.GetOrginalFormat(kept));
    EXPECT_EQ(kept.data, file);
    EXPECT_EQ(kept.lowerBound, 0);

    c32bppDIB unsaved;
    ASSERT_TRUE(unsaved.LoadPicture_File(write("a.png", file), 0, 0, false));
    EXPECT_FALSE(unsaved.GetOrginalFormat(kept));
}

TEST_F(Loader, StreamBoundsAndKeptArray)
{
    const Bytes png = pngOfSize(0);
    Bytes larger(10, 0xEE);
    larger.insert(larger.end(), png.begin(), png.end());
    larger.insert(larger.end(), 5, 0xDD);

    // Start below the lower bound and length 0: the whole array.
    c32bppDIB whole;
    EXPECT_TRUE(whole.LoadPicture_Stream(ByteArray(png, 7), 0, 0, -100, 0, false));
    EXPECT_EQ(whole.Width(), 3);

    c32bppDIB inner;
    ASSERT_TRUE(inner.LoadPicture_Stream(ByteArray(larger, -4), -1, -1, -4 + 10, std::int32_t(png.size()), true));
    ByteArray kept;
    ASSERT_TRUE(inner.GetOrginalFormat(kept));
    EXPECT_EQ(kept.data, larger);
    EXPECT_EQ(kept.lowerBound, -4);
}

TEST_F(Loader, ReadersAreTriedInOrder)
{
    // A BMP written by the surface itself reaches the BMP reader after the
    // PNG, GIF and ICO readers declined it.
    c32bppDIB source;
    ASSERT_TRUE(source.InitializeDIB(4, 3));
    for (int i = 0; i < 48; ++i)
        source.BitsPointer()[i] = i % 4 == 3 ? 255 : std::uint8_t(i);
    ByteArray bmp;
    ASSERT_TRUE(source.SaveToStream(bmp));
    const struct {
        const char* name;
        Bytes bytes;
        std::int32_t width;
        std::int32_t type;
    } cases[] = {
        {"png", pngOfSize(0), 3, ImagePNG},
        {"gif", gifFile(), 1, ImageGIF},
        {"bmp", bmp.data, 4, -1},
    };
    for (const auto& c : cases) {
        for (bool viaFile : {true, false}) {
            c32bppDIB dib;
            const bool ok = viaFile ? dib.LoadPicture_File(write(QString("f.%1").arg(c.name), c.bytes), 0, 0, false)
                                    : dib.LoadPicture_Stream(ByteArray(c.bytes), 0, 0, 0, 0, false);
            ASSERT_TRUE(ok) << c.name << " via file " << viaFile;
            EXPECT_EQ(dib.Width(), c.width) << c.name;
            if (c.type >= 0)
                EXPECT_EQ(dib.ImageType(), c.type) << c.name;
            else
                EXPECT_NE(dib.ImageType(), ImagePNG);
        }
    }
    c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_Stream(bmp, 0, 0, 0, 0, false));
    EXPECT_EQ(std::memcmp(dib.BitsPointer(), source.BitsPointer(), 48), 0);
}

TEST_F(Loader, CorruptPngSuiteFilesFailCleanly)
{
    const QDir suite(QStringLiteral(SORTIA_TESTDATA_DIR "/pngsuite"));
    const QStringList corrupt = suite.entryList({QStringLiteral("x*.png")});
    ASSERT_GT(corrupt.size(), 10);
    for (const QString& name : corrupt) {
        QFile f(suite.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        c32bppDIB dib;
        EXPECT_FALSE(dib.LoadPicture_Stream(ByteArray(Bytes(bytes.begin(), bytes.end())), 0, 0, 0, 0, false))
            << name.toStdString();
        EXPECT_FALSE(dib.LoadPicture_File(suite.filePath(name), 0, 0, false)) << name.toStdString();
        EXPECT_EQ(dib.Handle(), nullptr);
    }
}

TEST_F(Loader, PictureObjectsAndHandles)
{
    c32bppDIB dib;
    EXPECT_FALSE(dib.LoadPicture_StdPicture(nullptr));
    EXPECT_FALSE(dib.LoadPicture_ByHandle(nullptr));

    gdi::BITMAPINFOHEADER header;
    header.biWidth = 5;
    header.biHeight = 2;
    header.biBitCount = 32;
    void* bits = nullptr;
    gdi::HBITMAP bitmap = gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, &bits);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(dib.LoadPicture_ByHandle(bitmap));  // the handle passes to the picture
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.Height(), 2);
}

TEST_F(Loader, ProgramResources)
{
    // A custom section holds the bytes of a file; a picture kind goes
    // through the platform picture loader.
    c32bppDIB custom;
    ASSERT_TRUE(custom.LoadPicture_Resource("101", "CUSTOM", 0, 0, 0, 0));
    EXPECT_EQ(custom.ImageType(), ImagePNG);
    EXPECT_EQ(custom.Width(), 32);
    c32bppDIB bitmap;
    ASSERT_TRUE(bitmap.LoadPicture_Resource("7", "0", 0, 0, 0, 0));
    EXPECT_EQ(bitmap.Width(), 32);
    EXPECT_NE(bitmap.ImageType(), ImagePNG);
}

TEST_F(Loader, MissingResourceEmptiesTheSurface)
{
    c32bppDIB dib;
    loadSomething(dib);
    EXPECT_FALSE(dib.LoadPicture_Resource("102", "CUSTOM", 0, 0, 0, 0));
    EXPECT_EQ(dib.Handle(), nullptr);
    loadSomething(dib);
    EXPECT_FALSE(dib.LoadPicture_Resource("7", "1", 0, 0, 0, 0));  // no icon 7
    EXPECT_EQ(dib.Handle(), nullptr);
}

TEST(ModParsers, IsArrayEmpty)
{
    EXPECT_TRUE(modParsers::IsArrayEmpty(ByteArray()));
    EXPECT_FALSE(modParsers::IsArrayEmpty(ByteArray({0})));
}

}  // namespace
