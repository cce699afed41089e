#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "imaging/surface/c32bppdib.h"

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

// 2 x 3: a transparent pixel first, then half-transparent white, the rest ramps.
void makeSurface(c32bppDIB& dib)
{
    ASSERT_TRUE(dib.InitializeDIB(2, 3));
    for (int i = 8; i < 24; ++i)
        dib.BitsPointer()[i] = std::uint8_t(i);
    for (int i = 4; i < 8; ++i)
        dib.BitsPointer()[i] = 128;
}

TEST(Saving, StreamLayoutByteForByte)
{
    c32bppDIB dib;
    makeSurface(dib);
    ByteArray out({1, 2, 3}, 4);
    ASSERT_TRUE(dib.SaveToStream(out));
    const std::vector<std::uint8_t>& b = out.data;
    ASSERT_EQ(b.size(), 78u);
    EXPECT_EQ(out.lowerBound, 0);
    const struct {
        std::size_t at;
        std::uint32_t value;
    } fields[] = {{2, 78}, {6, 0}, {10, 54}, {14, 40}, {18, 2}, {22, 3}, {30, 0}, {34, 24}, {38, 0}, {42, 0}, {46, 0}, {50, 0}};
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    for (const auto& f : fields)
        EXPECT_EQ(le32(b, f.at), f.value) << "offset " << f.at;
    EXPECT_EQ(b[26] | (b[27] << 8), 1);
    EXPECT_EQ(b[28] | (b[29] << 8), 32);
    const std::vector<std::uint8_t> pixels(b.begin() + 54, b.end());
    std::vector<std::uint8_t> expected(24, 0);
    std::fill(expected.begin() + 4, expected.begin() + 8, 128);
    for (int i = 8; i < 24; ++i)
        expected[std::size_t(i)] = std::uint8_t(i);
    EXPECT_EQ(pixels, expected);
}

TEST(Saving, EmptySurfaceWritesNothing)
{
    c32bppDIB dib;
    makeSurface(dib);
    dib.DestroyDIB();
    ByteArray out({1, 2, 3}, 4);
    EXPECT_FALSE(dib.SaveToStream(out));
    EXPECT_EQ(out.data.size(), 3u);
    EXPECT_EQ(out.lowerBound, 4);
    QTemporaryDir dir;
    EXPECT_FALSE(dib.SaveToFile(dir.filePath("x.bmp"), false));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.bmp")));
    makeSurface(dib);
    EXPECT_FALSE(dib.SaveToFile(QString(), false));
}

TEST(Saving, FileMatchesStreamAndOverwriteRules)
{
    c32bppDIB dib;
    makeSurface(dib);
    ByteArray stream;
    ASSERT_TRUE(dib.SaveToStream(stream));
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bmp");
    const QByteArray old("old contents");
    enum class Question { None, No, Yes };
    const struct {
        bool prompt;
        Question question;
        bool replaced;
        int asked;
    } cases[] = {{false, Question::No, true, 0},
                 {true, Question::No, false, 1},
                 {true, Question::Yes, true, 1},
                 {true, Question::None, false, 0}};  // nobody to ask: the file stays
    for (const auto& c : cases) {
        {
            QFile f(path);
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(old);
            f.close();
            // Read-only files are replaced too.
            f.setPermissions(QFile::ReadOwner);
        }
        int asked = 0;
        QString askedAbout;
        c32bppDIB::OverwriteQuestion question;
        if (c.question != Question::None)
            question = [&](const QString& name) {
                ++asked;
                askedAbout = name;
                return c.question == Question::Yes;
            };
        EXPECT_EQ(dib.SaveToFile(path, c.prompt, question), c.replaced);
        EXPECT_EQ(asked, c.asked);
        if (c.asked) {
            EXPECT_EQ(askedAbout, path);
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray contents = f.readAll();
        if (c.replaced)
            EXPECT_EQ(std::vector<std::uint8_t>(contents.begin(), contents.end()), stream.data);
        else
            EXPECT_EQ(contents, old);
    }
}

}  // namespace
