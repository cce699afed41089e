#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "tests/support/small_filesystem.h"

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

// Both writers of the engine, over an existing file.
struct Writer {
    const char* name;
    std::function<bool(c32bppDIB&, const QString&)> save;
};
const Writer kWriters[] = {
    {"bmp", [](c32bppDIB& dib, const QString& path) { return dib.SaveToFile(path, false); }},
    {"png", [](c32bppDIB& dib, const QString& path) {
         ByteArray unused;
         return cPNGparser().SaveTo(path, unused, dib);
     }},
};

// A surface of noise, so that even compressed it takes tens of kilobytes.
void makeNoise(c32bppDIB& dib)
{
    ASSERT_TRUE(dib.InitializeDIB(120, 100));
    std::uint32_t seed = 7;
    for (int i = 0; i < 120 * 100 * 4; ++i) {
        seed = seed * 1664525u + 1013904223u;
        dib.BitsPointer()[i] = std::uint8_t(seed >> 24);
    }
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST(Saving, AWriteThatFailsHalfwayKeepsTheOldFile)
{
    c32bppDIB dib;
    makeNoise(dib);
    for (const Writer& w : kWriters) {
        QTemporaryDir dir;
        const QString path = dir.filePath("picture");
        const QByteArray old(500, 'o');
        writeFile(path, old);
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        // The file-size limit makes the write fail after its first kilobyte
        // (with EFBIG instead of a signal).
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = w.save(dib, path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        EXPECT_FALSE(written) << w.name;
        EXPECT_EQ(contents(path), old) << w.name;
        EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner), QFileDevice::ReadOwner)
            << w.name << ": the read-only file keeps its permissions";
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"picture"})
            << w.name << ": no temporary file is left";
        // Without the limit the same save replaces the file.
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_TRUE(w.save(dib, path)) << w.name;
        EXPECT_GT(contents(path).size(), 1024) << w.name;
    }
}

TEST(Saving, AFullDiskKeepsTheOldFile)
{
    c32bppDIB dib;
    makeNoise(dib);
    for (const Writer& w : kWriters) {
        QTemporaryDir mountPoint;
        const int result = testsupport::runOnSmallFilesystem(
            mountPoint.path().toStdString(), 64 * 1024, [&](const std::string& folder) {
                const QString path = QString::fromStdString(folder) + "/picture";
                const QByteArray old(8 * 1024, 'o');
                QFile f(path);
                if (!f.open(QIODevice::WriteOnly) || f.write(old) != old.size())
                    return 10;
                f.close();
                // Fill what is left, one block at a time, until the disk is full.
                QFile filler(QString::fromStdString(folder) + "/filler");
                if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                    return 11;
                const QByteArray block(4096, 'f');
                while (filler.write(block) == block.size()) {
                }
                filler.close();
                if (w.save(dib, path))
                    return 1;  // reported success on a full disk
                if (contents(path) != old)
                    return 2;  // the old file was damaged
                if (QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden).size() != 2)
                    return 3;  // a temporary file was left behind
                return testsupport::kBodyPassed;
            });
        if (result == testsupport::kNoSmallFilesystem)
            GTEST_SKIP() << "this machine cannot mount a private tmpfs (no mount or user namespace)";
        EXPECT_EQ(result, testsupport::kBodyPassed) << w.name << ": 1 claimed success, 2 damaged, 3 left a file";
    }
}

}  // namespace
