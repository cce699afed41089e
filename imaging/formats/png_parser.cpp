// The PNG reader's entry points: thin adapters from a file or a byte range
// to the decoder, which sees the whole image as one span.
#include "imaging/formats/png_parser.h"

#include <QFile>

#include "imaging/formats/png_decoder.h"
#include "imaging/surface/c32bppdib.h"

namespace {

ReadOutcome outcome(bool isPng)
{
    // A PNG whose pixels could not be decoded is still this reader's: the
    // empty surface tells the dispatch that nothing loaded.
    return isPng ? ReadOutcome::Accepted : ReadOutcome::NotMine;
}

}  // namespace

ReadOutcome cPNGparser::LoadFile(const QString& FileName, c32bppDIB& dibClass)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        return ReadOutcome::NotMine;
    const QByteArray bytes = file.readAll();
    file.close();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    PngDecoder decoder;
    return outcome(decoder.ParsePNG(std::span(data, std::size_t(bytes.size())), true, dibClass));
}

ReadOutcome cPNGparser::LoadStream(const ByteArray& Stream, c32bppDIB& dibClass, std::int32_t streamOffset,
                                   std::int32_t streamLength)
{
    // The range must lie inside the array; one that does not is refused
    // rather than read.
    const std::span<const std::uint8_t> view = Stream.range(streamOffset, streamLength);
    if (view.empty())
        return streamLength > 0 ? ReadOutcome::Failed : ReadOutcome::NotMine;
    PngDecoder decoder;
    return outcome(decoder.ParsePNG(view, false, dibClass));
}
