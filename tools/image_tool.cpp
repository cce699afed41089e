// sortia-image info FILE [--size WxH] [--max-pixels N] [--no-zlib]
// sortia-image convert FILE OUT.bmp|OUT.png [--size WxH] [--max-pixels N] [--no-zlib]
// sortia-image bench FILE... [--repeat N] [--size WxH] [--max-pixels N] [--no-zlib]
// Loads FILE as the buttons load their icons (the wanted icon size defaults
// to 256 x 256), then prints what loaded or writes it as a 32-bpp BMP; bench
// loads each file N times (default 20) and prints "<file> <median ms>".
// --max-pixels sets the pixel limit (the engine's generous default
// otherwise). When nothing loads, the reason goes to standard error.
// Exit status: 0 done, 1 nothing loaded (or not written), 2 bad arguments.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/language/language.h"
#include "platform/zlib/zlib_library.h"

namespace {

struct Options {
    QString command;
    QString file;
    QString out;
    QStringList files;  // bench
    int repeat = 20;
    int iconCx = 256;
    int iconCy = 256;
    std::int64_t maxPixels = imaging::kDefaultPixelLimit;
    bool noZlib = false;
};

bool parseSize(const QString& text, Options& options)
{
    const auto match = QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(text);
    if (!match.hasMatch())
        return false;
    options.iconCx = match.captured(1).toInt();
    options.iconCy = match.captured(2).toInt();
    return true;
}

bool parseOptions(const QStringList& args, Options& options)
{
    QStringList positional;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--size")) {
            if (i + 1 >= args.size() || !parseSize(args[++i], options))
                return false;
        } else if (args[i] == QLatin1String("--max-pixels")) {
            bool ok = false;
            options.maxPixels = i + 1 < args.size() ? args[++i].toLongLong(&ok) : 0;
            if (!ok || options.maxPixels < 1)
                return false;
        } else if (args[i] == QLatin1String("--repeat")) {
            bool ok = false;
            options.repeat = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok || options.repeat < 1)
                return false;
        } else if (args[i] == QLatin1String("--no-zlib")) {
            options.noZlib = true;
        } else if (args[i].startsWith(QLatin1String("--"))) {
            return false;
        } else {
            positional << args[i];
        }
    }
    if (positional.isEmpty())
        return false;
    options.command = positional.takeFirst();
    if (options.command == QLatin1String("info") && positional.size() == 1) {
        options.file = positional[0];
        return true;
    }
    if (options.command == QLatin1String("bench") && !positional.isEmpty()) {
        options.files = positional;
        return true;
    }
    if (options.command == QLatin1String("convert") && positional.size() == 2) {
        options.file = positional[0];
        options.out = positional[1];
        return true;
    }
    return false;
}

void reportNothingLoaded(const QString& file, const c32bppDIB& image)
{
    std::fprintf(stderr, "%s\n",
                 lang::trf("sortia-image: nothing loaded from %1: %2", "sortia-image：未能从 %1 载入图片：%2",
                           {file.toStdString(), image.LastErrorText()})
                     .c_str());
}

// The median time of `repeat` loads of each file; a file that does not load
// is reported and skipped.
int bench(const Options& options)
{
    int status = 0;
    for (const QString& file : options.files) {
        std::vector<double> times;
        for (int i = 0; i < options.repeat; ++i) {
            c32bppDIB image;
            image.setPixelLimit(options.maxPixels);
            const auto start = std::chrono::steady_clock::now();
            const bool loaded = image.LoadPicture_File(file, options.iconCx, options.iconCy, false);
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            if (!loaded) {
                reportNothingLoaded(file, image);
                status = 1;
                break;
            }
            times.push_back(took.count());
        }
        if (times.empty())
            continue;
        std::sort(times.begin(), times.end());
        const std::size_t n = times.size();
        const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
        std::printf("%s %.3f\n", qPrintable(file), median);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(app.arguments(), options)) {
        std::fputs(lang::tr("usage: sortia-image info FILE [--size WxH] [--max-pixels N] [--no-zlib]\n"
                            "       sortia-image convert FILE OUT.bmp|OUT.png [--size WxH] [--max-pixels N] [--no-zlib]\n"
                            "       sortia-image bench FILE... [--repeat N] [--size WxH] [--max-pixels N] [--no-zlib]\n",
                            "用法：sortia-image info 文件 [--size 宽x高] [--max-pixels N] [--no-zlib]\n"
                            "      sortia-image convert 文件 输出.bmp|输出.png [--size 宽x高] [--max-pixels N] [--no-zlib]\n"
                            "      sortia-image bench 文件... [--repeat N] [--size 宽x高] [--max-pixels N] [--no-zlib]\n")
                       .c_str(),
                   stderr);
        return 2;
    }
    zlib::setSimulateAbsent(options.noZlib);
    if (options.command == QLatin1String("bench"))
        return bench(options);

    c32bppDIB image;
    image.setPixelLimit(options.maxPixels);
    if (!image.LoadPicture_File(options.file, options.iconCx, options.iconCy, false)) {
        reportNothingLoaded(options.file, image);
        return 1;
    }
    if (options.command == QLatin1String("info")) {
        std::printf("type=%d alpha=%d width=%d height=%d\n", int(image.ImageType()), image.Alpha() ? 1 : 0,
                    int(image.Width()), int(image.Height()));
        return 0;
    }
    // A .png name is written as PNG, anything else as a 32-bpp BMP.
    ByteArray unused;
    const bool written = options.out.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
                             ? cPNGparser().SaveTo(options.out, unused, image)
                             : image.SaveToFile(options.out, false);
    if (!written) {
        std::fprintf(stderr, "sortia-image: %s\n",
                     lang::trf("cannot write %1", "无法写入 %1", {options.out.toStdString()}).c_str());
        return 1;
    }
    return 0;
}
