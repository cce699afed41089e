// Runs the built sortia-artwork and checks the pictures the window needs:
// sizes, real alpha in the icons, four different backgrounds, and the same
// bytes on every run.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const char* const kPictures[] = {"bg1.jpg", "bg2.jpg",  "bg3.jpg",  "bg4.jpg",  "1.png",    "2.png",   "3.png",
                                 "1@2x.png", "2@2x.png", "3@2x.png", "1@4x.png", "2@4x.png", "3@4x.png"};

void ensureGuiApplication()
{
    static int argc = 1;
    static char name[] = "artwork_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
}

class ArtworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGuiApplication();
        std::string pattern = (fs::temp_directory_path() / "sortia-art-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    int run(const std::vector<std::string>& args)
    {
        std::string command = "'" SORTIA_ARTWORK_TOOL "'";
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        command += " 2>/dev/null";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string bytesOf(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path m_dir;
};

// Mean absolute difference of two same-sized pictures, per channel, 0 .. 255.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

TEST_F(ArtworkTest, WritesFourDistinctBackgroundsAndThreeAlphaIcons)
{
    ASSERT_EQ(run({(m_dir / "out").string()}), 0);
    std::vector<QImage> backgrounds;
    for (int i = 1; i <= 4; ++i) {
        const QImage image((m_dir / "out" / ("bg" + std::to_string(i) + ".jpg")).c_str(), "JPEG");
        ASSERT_FALSE(image.isNull()) << i;
        EXPECT_EQ(image.size(), QSize(790, 600)) << i;
        backgrounds.push_back(image);
    }
    for (std::size_t i = 0; i < backgrounds.size(); ++i)
        for (std::size_t j = i + 1; j < backgrounds.size(); ++j)
            EXPECT_GT(meanDifference(backgrounds[i], backgrounds[j]), 20.0) << "bg" << i + 1 << " and bg" << j + 1;

    for (const char* name : {"1.png", "2.png", "3.png"}) {
        const QImage icon((m_dir / "out" / name).c_str(), "PNG");
        ASSERT_FALSE(icon.isNull()) << name;
        EXPECT_EQ(icon.size(), QSize(40, 40)) << name;
        ASSERT_TRUE(icon.hasAlphaChannel()) << name;
        int transparent = 0, opaque = 0, partial = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const int alpha = qAlpha(icon.pixel(x, y));
                (alpha == 0 ? transparent : alpha == 255 ? opaque : partial)++;
            }
        EXPECT_EQ(qAlpha(icon.pixel(0, 39)), 0) << name << ": the corners show the button";
        EXPECT_GT(transparent, 200) << name;
        EXPECT_GT(opaque, 200) << name;
        EXPECT_GT(partial, 20) << name << ": edges should be smoothed";
    }
}

// The sharper copies are the same pictures with more pixels.
TEST_F(ArtworkTest, IconVariantsShowTheSamePicture)
{
    ASSERT_EQ(run({(m_dir / "out").string()}), 0);
    for (const char* icon : {"1", "2", "3"}) {
        const QImage designed((m_dir / "out" / (std::string(icon) + ".png")).c_str(), "PNG");
        for (int density : {2, 4}) {
            const std::string name = std::string(icon) + "@" + std::to_string(density) + "x.png";
            const QImage variant((m_dir / "out" / name).c_str(), "PNG");
            ASSERT_EQ(variant.size(), QSize(40 * density, 40 * density)) << name;
            const QImage reduced = variant.scaled(40, 40, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            EXPECT_LT(meanDifference(designed, reduced), 6.0) << name;
            EXPECT_EQ(qAlpha(variant.pixel(0, variant.height() - 1)), 0) << name;
        }
    }
}

TEST_F(ArtworkTest, PaintsTheProgramIconInTheThemeSizes)
{
    ASSERT_EQ(run({"--app-icons", (m_dir / "icons").string()}), 0);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string dimension = std::to_string(size) + "x" + std::to_string(size);
        const fs::path path = m_dir / "icons" / "hicolor" / dimension / "apps" / "sortia.png";
        const QImage icon(path.c_str(), "PNG");
        ASSERT_FALSE(icon.isNull()) << path;
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
    }
}

TEST_F(ArtworkTest, EveryRunWritesTheSameBytes)
{
    ASSERT_EQ(run({(m_dir / "a").string()}), 0);
    ASSERT_EQ(run({(m_dir / "b").string()}), 0);
    for (const char* name : kPictures) {
        const std::string a = bytesOf(m_dir / "a" / name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, bytesOf(m_dir / "b" / name)) << name;
    }
}

TEST_F(ArtworkTest, NeedsAnOutputFolder)
{
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"--app-icons"}), 2);
    std::ofstream(m_dir / "file") << "x";
    EXPECT_EQ(run({(m_dir / "file" / "sub").string()}), 1);
}

}  // namespace
