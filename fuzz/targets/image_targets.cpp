// Targets of the image readers and of the loading front door.
#include <sys/mman.h>
#include <unistd.h>

#include <climits>

#include <QString>

#include "fuzz/fuzz_targets.h"
#include "imaging/formats/bmp_parser.h"
#include "imaging/formats/gif_parser.h"
#include "imaging/formats/ico_parser.h"
#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/zlib/zlib_library.h"

namespace fuzz {

namespace {

// The button's icon limit keeps each input fast; the code paths are those
// of any limit.
c32bppDIB& freshSurface(c32bppDIB& dib)
{
    dib.setPixelLimit(imaging::kIconPixelLimit);
    return dib;
}

// Reads every byte of the surface, so that one smaller than it claims
// shows up under the sanitizers.
void touch(const c32bppDIB& dib)
{
    if (!dib.Handle())
        return;
    unsigned sum = 0;
    const std::size_t bytes = std::size_t(dib.ScanWidth()) * std::size_t(dib.Height());
    for (std::size_t i = 0; i < bytes; ++i)
        sum += dib.BitsPointer()[i];
    volatile unsigned sink = sum;
    (void)sink;
}

// A reader that keeps the bytes but loads nothing must say why.
void check(ReadOutcome outcome, const c32bppDIB& dib)
{
    touch(dib);
    if (outcome == ReadOutcome::Accepted && !dib.Handle())
        expect(dib.LastError() != LoadError::None, "a reader loaded nothing and gave no reason");
    if (outcome != ReadOutcome::Accepted)
        expect(!dib.Handle(), "a reader that declined left an image");
}

ByteArray arrayOf(std::span<const std::uint8_t> input)
{
    return ByteArray(std::vector<std::uint8_t>(input.begin(), input.end()), 0);
}

void runPngReader(std::span<const std::uint8_t> input, bool zlibPresent)
{
    zlib::setSimulateAbsent(!zlibPresent);
    c32bppDIB dib;
    const ReadOutcome outcome =
        cPNGparser().LoadStream(arrayOf(input), freshSurface(dib), 0, std::int32_t(input.size()));
    check(outcome, dib);
    zlib::setSimulateAbsent(false);
}

}  // namespace

void runPng(std::span<const std::uint8_t> input)
{
    runPngReader(input, true);
}

void runPngWithoutZlib(std::span<const std::uint8_t> input)
{
    runPngReader(input, false);
}

void runGif(std::span<const std::uint8_t> input)
{
    c32bppDIB dib;
    check(cGIFparser().LoadStream(arrayOf(input), freshSurface(dib), 0, std::int32_t(input.size())), dib);
}

void runIco(std::span<const std::uint8_t> input)
{
    c32bppDIB dib;
    check(cICOparser().LoadStream(arrayOf(input), 32, 32, freshSurface(dib), 0, std::int32_t(input.size())), dib);
}

void runBmp(std::span<const std::uint8_t> input)
{
    c32bppDIB dib;
    check(cBMPparser().LoadStream(arrayOf(input), freshSurface(dib), 0, std::int32_t(input.size())), dib);
}

// The whole front door, from a byte array and from a file (an anonymous
// in-memory file, named through /proc), as the buttons load their icons.
void runLoader(std::span<const std::uint8_t> input)
{
    zlib::setSimulateAbsent(false);
    c32bppDIB fromStream;
    const bool loaded = freshSurface(fromStream).LoadPicture_Stream(arrayOf(input), 256, 256, 0, 0, false);
    touch(fromStream);
    expect(loaded == (fromStream.Handle() != nullptr), "the result and the surface disagree");
    expect(loaded == (fromStream.LastError() == LoadError::None), "a failed load gave no reason");

    // The same bytes at the very top of the array's index range, the last
    // one a step past the largest 32-bit index: bounds counted in 32 bits
    // would wrap there and change the result.
    if (input.size() > 1 && input.size() <= std::size_t(INT32_MAX)) {
        const ByteArray top(std::vector<std::uint8_t>(input.begin(), input.end()),
                            std::int32_t(std::int64_t(INT32_MAX) - std::int64_t(input.size()) + 2));
        c32bppDIB atTop;
        const bool topLoaded = freshSurface(atTop).LoadPicture_Stream(top, 256, 256, top.lowerBound, 0, false);
        touch(atTop);
        expect(topLoaded == loaded && atTop.LastError() == fromStream.LastError(),
               "the array's lower bound changed the result");
    }

    const int fd = memfd_create("sortia-fuzz", 0);
    if (fd < 0)
        return;
    if (::write(fd, input.data(), input.size()) == ssize_t(input.size())) {
        c32bppDIB fromFile;
        const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
        const bool fileLoaded = freshSurface(fromFile).LoadPicture_File(path, 256, 256, false);
        touch(fromFile);
        expect(fileLoaded == (fromFile.LastError() == LoadError::None), "a failed file load gave no reason");
    }
    ::close(fd);
}

}  // namespace fuzz
