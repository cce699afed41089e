// Targets of the decompressors: our inflate alone, our inflate against
// zlib, and the GIF LZW decoder.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/inflate.h"

namespace fuzz {

namespace {

// The first two bytes of an input give the output size, so that the fuzzer
// controls where the buffer ends.
std::size_t outputSize(std::span<const std::uint8_t> input)
{
    return std::size_t(input[0]) | (std::size_t(input[1]) << 8);
}

}  // namespace

// Input: output size (2 bytes), flags (bit 0: deflate64; bits 1-7: the
// stretch of the decoding a piece at a time), a zlib stream.
void runInflate(std::span<const std::uint8_t> input)
{
    if (input.size() < 3)
        return;
    const bool deflate64 = input[2] & 1;
    const std::span<const std::uint8_t> stream = input.subspan(3);
    std::vector<std::uint8_t> first(outputSize(input), 0xA5);
    std::vector<std::uint8_t> second(first);
    // One decoder used twice must decode the same: nothing of the first
    // stream (its fixed tables, its bit buffer) may leak into the second.
    Inflater inflater;
    const InflateStatus status = inflater.inflate(stream, first, deflate64);
    const std::size_t written = inflater.written();
    expect(written <= first.size(), "inflate wrote past its output");
    expect(inflater.inflate(stream, second, deflate64) == status, "a second run gave another status");
    expect(inflater.written() == written && first == second, "a second run gave other bytes");

    // Decoded a stretch at a time, as the PNG reader does, the stream gives
    // the same status and bytes; each stretch ends at or past its mark
    // unless the stream is finished.
    std::vector<std::uint8_t> pieces(first.size(), 0x5A);
    const std::size_t stretch = 1 + std::size_t(input[2] >> 1) * 37;
    inflater.start(stream, pieces, deflate64);
    InflateStatus pieceStatus = InflateStatus::Ok;
    for (std::size_t mark = stretch; !inflater.finished(); mark += stretch) {
        pieceStatus = inflater.decodeUntil(mark);
        expect(inflater.finished() || inflater.written() >= std::min(mark, pieces.size()),
               "a stretch ended before its mark");
        expect(pieceStatus == InflateStatus::Ok || inflater.finished(), "a failure did not finish the stream");
    }
    expect(pieceStatus == status && inflater.written() == written, "pieces gave another status or length");
    expect(std::equal(first.begin(), first.begin() + std::ptrdiff_t(written), pieces.begin()),
           "pieces gave other bytes");
}

namespace {

struct ZlibResult {
    enum { Ended, MoreThanRoom, Failed } outcome = Failed;
    std::vector<std::uint8_t> bytes;  // what zlib produced before it stopped
};

// zlib's raw inflate over the deflate data behind the two header bytes,
// which our decoder skips unexamined (and our trailer is never read). The
// room is one byte more than ours, to tell "ends at the buffer's end" from
// "goes on past it".
ZlibResult zlibInflate(std::span<const std::uint8_t> stream, std::size_t room)
{
    ZlibResult result;
    result.bytes.assign(room, 0);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return result;
    const std::span<const std::uint8_t> deflate = stream.subspan(std::min<std::size_t>(2, stream.size()));
    z.next_in = const_cast<Bytef*>(deflate.data());
    z.avail_in = uInt(deflate.size());
    z.next_out = result.bytes.data();
    z.avail_out = uInt(room);
    const int r = inflate(&z, Z_FINISH);
    result.bytes.resize(room - z.avail_out);
    if (r == Z_STREAM_END)
        result.outcome = ZlibResult::Ended;
    else if (r == Z_BUF_ERROR && z.avail_out == 0)
        result.outcome = ZlibResult::MoreThanRoom;
    inflateEnd(&z);
    return result;
}

// Refusals that our decoder makes on purpose and zlib does not: incomplete
// codes (zlib lets a code of one or no symbols through), and a stored block
// with no bytes after its length fields.
bool deliberateRefusal(InflateStatus status, std::span<const std::uint8_t> stream)
{
    static constexpr std::uint8_t kEmptyStoredTail[4] = {0x00, 0x00, 0xFF, 0xFF};
    switch (status) {
    case InflateStatus::IncompleteLiteralCode:
    case InflateStatus::IncompleteDistanceCode:
        return true;
    case InflateStatus::StoredOverrun:
        return stream.size() >= 4 && std::memcmp(stream.data() + stream.size() - 4, kEmptyStoredTail, 4) == 0;
    default:
        return false;
    }
}

}  // namespace

// Input: output size (2 bytes), a zlib stream. Both decoders fail, or give
// the same bytes; where zlib's output is larger than ours can hold, ours
// stops at its end (a match) or refuses (a literal or stored block).
void runInflateVersusZlib(std::span<const std::uint8_t> input)
{
    if (input.size() < 2)
        return;
    const std::size_t room = outputSize(input);
    const std::span<const std::uint8_t> stream = input.subspan(2);
    std::vector<std::uint8_t> ours(room);
    Inflater inflater;
    const InflateStatus status = inflater.inflate(stream, ours, false);
    const std::size_t written = inflater.written();
    const ZlibResult zlib = zlibInflate(stream, room + 1);

    // Whatever ours wrote, zlib wrote too, the same.
    expect(written <= zlib.bytes.size(), "ours decoded bytes that zlib refused");
    expect(std::equal(ours.begin(), ours.begin() + std::ptrdiff_t(written), zlib.bytes.begin()),
           "ours and zlib decoded different bytes");
    const bool zlibFits = zlib.outcome == ZlibResult::Ended && zlib.bytes.size() <= room;
    const bool zlibOverflows = zlib.outcome == ZlibResult::MoreThanRoom ||
                               (zlib.outcome == ZlibResult::Ended && zlib.bytes.size() > room);
    if (status == InflateStatus::Ok) {
        if (written < room)
            expect(zlibFits && zlib.bytes.size() == written, "ours ended where zlib did not");
        else
            expect(zlib.bytes.size() >= room, "ours filled its buffer with data zlib refused");
        return;
    }
    if (deliberateRefusal(status, stream))
        return;
    if (zlibOverflows)
        expect(status == InflateStatus::OutputFull || status == InflateStatus::StoredOverrun,
               "ours failed otherwise than for want of room where zlib went on");
    else
        expect(!zlibFits, "ours refused a stream that zlib decoded");
}

// Input: minimum code size (1 byte), output size (2 bytes), LZW codes.
void runGifLzw(std::span<const std::uint8_t> input)
{
    if (input.size() < 3)
        return;
    const int minCodeSize = input[0] % 10;
    std::vector<std::uint8_t> out(std::size_t(input[1]) | (std::size_t(input[2]) << 8));
    const GifDecodeError error = decodeGifLzw(input.subspan(3), minCodeSize, out);
    expect(error != GifDecodeError::None || (minCodeSize >= 2 && minCodeSize <= 8), "a bad code size decoded");
    // Decoded indices never exceed the codes a literal can have.
    if (error == GifDecodeError::None)
        for (std::uint8_t index : out)
            expect(index < (1 << minCodeSize), "an index beyond the code size");
}

}  // namespace fuzz
