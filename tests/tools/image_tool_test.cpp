// sortia-image as a user runs it: its one-line report, its BMP output and
// its exit statuses.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString kSuite = QStringLiteral(SORTIA_TESTDATA_DIR "/pngsuite/");

struct ToolRun {
    int status;
    QString out;
    QString err;
};

ToolRun run(const QStringList& args)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SORTIA_IMAGE_PROGRAM), args);
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(process.readAllStandardError()).trimmed()};
}

TEST(ImageTool, Info)
{
    const struct {
        QStringList args;
        int status;
        QString out;
    } cases[] = {
        {{"info", kSuite + "basn6a08.png"}, 0, "type=10 alpha=1 width=32 height=32"},
        {{"info", kSuite + "basn0g08.png", "--no-zlib"}, 0, "type=10 alpha=0 width=32 height=32"},
        {{"info", kSuite + "s01i3p01.png", "--size", "16x16"}, 0, "type=10 alpha=0 width=1 height=1"},
        {{"info", kSuite + "xc9n2c08.png"}, 1, ""},
        {{"info", kSuite + "missing.png"}, 1, ""},
        {{"info"}, 2, ""},
        {{"info", kSuite + "basn6a08.png", "--size", "big"}, 2, ""},
        {{"paint", kSuite + "basn6a08.png"}, 2, ""},
    };
    for (const auto& c : cases) {
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.out, c.out) << c.args.join(' ').toStdString();
    }
}

// One line per file, "<file> <median ms>"; files that do not load are
// reported and set the exit status.
TEST(ImageTool, BenchPrintsTheMedianOfEachFile)
{
    const struct {
        QStringList args;
        int status;
        QStringList files;  // those with a line, in order
    } cases[] = {
        {{"bench", kSuite + "basn6a08.png", kSuite + "basi0g01.png", "--repeat", "3"}, 0,
         {kSuite + "basn6a08.png", kSuite + "basi0g01.png"}},
        {{"bench", kSuite + "basn2c08.png", "--no-zlib"}, 0, {kSuite + "basn2c08.png"}},
        {{"bench", kSuite + "xc9n2c08.png", kSuite + "basn6a08.png", "--repeat", "2"}, 1, {kSuite + "basn6a08.png"}},
        {{"bench"}, 2, {}},
        {{"bench", kSuite + "basn6a08.png", "--repeat", "0"}, 2, {}},
    };
    for (const auto& c : cases) {
        const ToolRun r = run(c.args);
        const std::string label = c.args.join(' ').toStdString();
        EXPECT_EQ(r.status, c.status) << label;
        const QStringList lines = r.out.isEmpty() ? QStringList() : r.out.split('\n');
        ASSERT_EQ(lines.size(), c.files.size()) << label << ": " << r.out.toStdString();
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList fields = lines[i].split(' ');
            ASSERT_EQ(fields.size(), 2) << lines[i].toStdString();
            EXPECT_EQ(fields[0], c.files[i]);
            bool ok = false;
            EXPECT_GE(fields[1].toDouble(&ok), 0.0);
            EXPECT_TRUE(ok) << lines[i].toStdString();
        }
    }
}

TEST(ImageTool, SaysWhyNothingLoaded)
{
    const struct {
        QStringList args;
        QString reason;
    } cases[] = {
        {{"info", kSuite + "xc9n2c08.png"}, "The picture is damaged (a header field is out of range)."},
        {{"info", kSuite + "xcsn0g01.png"}, "A checksum in the picture does not match its data (IDAT)."},
        {{"info", kSuite + "missing.png"}, "There is no such file or no data to read."},
        {{"info", kSuite + "basn6a08.png", "--max-pixels", "1023"},
         "The picture has more pixels than allowed here (32 x 32 pixels, at most 1023 allowed)."},
    };
    for (const auto& c : cases) {
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.endsWith(c.reason)) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("sortia-image: nothing loaded from " + c.args[1] + ": ")) << r.err.toStdString();
    }
    EXPECT_EQ(run({"info", kSuite + "basn6a08.png", "--max-pixels", "1024"}).status, 0);
    EXPECT_EQ(run({"info", kSuite + "basn6a08.png", "--max-pixels", "none"}).status, 2);
}

TEST(ImageTool, ConvertWritesThe32BppBmp)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out.bmp");
    for (const char* flag : {"", "--no-zlib"}) {
        QStringList args = {"convert", kSuite + "basn6a08.png", out};
        if (*flag)
            args << flag;
        ASSERT_EQ(run(args).status, 0);
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bmp = f.readAll();
        ASSERT_EQ(bmp.size(), 54 + 32 * 32 * 4);
        EXPECT_EQ(bmp.left(2), "BM");
        // Written over the previous run's file without asking.
    }
    EXPECT_EQ(run({"convert", kSuite + "xd0n2c08.png", dir.filePath("none.bmp")}).status, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("none.bmp")));
}

TEST(ImageTool, ConvertWritesPngByItsName)
{
    QTemporaryDir dir;
    const QString packed = dir.filePath("packed.png");
    const QString stored = dir.filePath("stored.PNG");
    ASSERT_EQ(run({"convert", kSuite + "basn6a08.png", packed}).status, 0);
    ASSERT_EQ(run({"convert", kSuite + "basn6a08.png", stored, "--no-zlib"}).status, 0);
    for (const QString& file : {packed, stored}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
        EXPECT_EQ(run({"info", file}).out, "type=10 alpha=1 width=32 height=32");
    }
    // Without zlib the image data goes into stored blocks.
    EXPECT_GT(QFile(stored).size(), QFile(packed).size());
}

}  // namespace
