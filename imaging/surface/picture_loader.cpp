// The loading front door: empties the surface, offers the bytes to the
// readers in the order PNG, GIF, ICO/CUR, BMP (the last one also covers
// whatever the platform picture loader reads) and keeps the source bytes
// when asked. Success is judged by the surface, not by the readers.
#include <QFile>
#include <QFileInfo>

#include "imaging/formats/bmp_parser.h"
#include "imaging/formats/gif_parser.h"
#include "imaging/formats/ico_parser.h"
#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/mod_parsers.h"
#include "platform/picture/picture.h"

namespace {

// Anything this size or smaller is no picture worth offering to the readers.
constexpr qint64 kSmallestPicture = 56;

enum class Next { TryNext, Stop, Abort };

// No exception from a reader reaches the caller: it counts as broken data.
template <typename Read>
ReadOutcome guarded(Read read)
{
    try {
        return read();
    } catch (...) {
        return ReadOutcome::Failed;
    }
}

// Broken data inside a reader's own format empties the surface; a file then
// goes on to the next reader, a byte array ends the load.
Next judge(ReadOutcome outcome, bool fromFile, c32bppDIB& dib)
{
    switch (outcome) {
    case ReadOutcome::NotMine:
        return Next::TryNext;
    case ReadOutcome::Accepted:
        return Next::Stop;
    case ReadOutcome::Failed:
        break;
    }
    dib.DestroyDIB();
    return fromFile ? Next::TryNext : Next::Abort;
}

std::vector<std::uint8_t> readAll(QFile& file)
{
    file.seek(0);
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

bool c32bppDIB::LoadPicture_File(const QString& FileName, std::int32_t iconCx, std::int32_t iconCy, bool SaveFormat)
{
    const QFileInfo info(FileName);
    if (FileName.isEmpty() || !info.exists() || info.isDir())
        return false;
    if (info.size() <= kSmallestPicture)
        return false;
    return LoadPictureData(FileName, ByteArray(), iconCx, iconCy, 0, 0, SaveFormat);
}

bool c32bppDIB::LoadPicture_Stream(const ByteArray& inStream, std::int32_t iconCx, std::int32_t iconCy,
                                   std::int32_t streamStart, std::int32_t streamLength, bool SaveFormat)
{
    if (modParsers::IsArrayEmpty(inStream))
        return false;
    if (streamStart < inStream.lowerBound)
        streamStart = inStream.lowerBound;
    if (streamLength == 0)
        streamLength = inStream.upperBound() - streamStart + 1;
    if (streamLength <= kSmallestPicture)
        return false;
    // A range reaching outside the array is refused before any reader sees it.
    if (inStream.range(streamStart, streamLength).empty())
        return false;
    return LoadPictureData(QString(), inStream, iconCx, iconCy, streamStart, streamLength, SaveFormat);
}

bool c32bppDIB::LoadPictureData(const QString& FileName, ByteArray inStream, std::int32_t iconCx,
                                std::int32_t iconCy, std::int32_t streamStart, std::int32_t streamLength,
                                bool SaveFormat)
{
    DestroyDIB();
    const bool fromFile = !FileName.isEmpty();
    try {
        QFile file(FileName);
        if (fromFile && !file.open(QIODevice::ReadOnly))
            return false;
        iconCx = std::max(iconCx, 0);
        iconCy = std::max(iconCy, 0);

        Next next = judge(guarded([&] {
                              return fromFile ? cPNGparser().LoadFile(FileName, *this)
                                              : cPNGparser().LoadStream(inStream, *this, streamStart, streamLength);
                          }),
                          fromFile, *this);
        if (next == Next::TryNext && fromFile) {
            inStream = ByteArray(readAll(file), 0);
            streamStart = 0;
            streamLength = std::int32_t(std::min<std::size_t>(inStream.data.size(), 0x7FFFFFFF));
        }
        if (next == Next::TryNext)
            next = judge(guarded([&] { return cGIFparser().LoadStream(inStream, *this, streamStart, streamLength); }),
                         fromFile, *this);
        if (next == Next::TryNext)
            next = judge(guarded([&] {
                             return cICOparser().LoadStream(inStream, iconCx, iconCy, *this, streamStart, streamLength);
                         }),
                         fromFile, *this);
        if (next == Next::TryNext)
            next = judge(guarded([&] { return cBMPparser().LoadStream(inStream, *this, streamStart, streamLength); }),
                         fromFile, *this);
        if (next == Next::Abort || !m_dib)
            return false;
        if (SaveFormat) {
            // The whole source is kept: the file, or the entire array with
            // its bounds, not only the range that held the picture.
            if (inStream.empty())
                setSourceBytes(readAll(file));
            else
                setSourceBytes(std::move(inStream));
        }
        return true;
    } catch (...) {
        DestroyDIB();
        return false;
    }
}

bool c32bppDIB::LoadPicture_Resource(const QString& ResIndex, const QString& ResSection, std::int32_t iconCx,
                                     std::int32_t iconCy, std::int32_t streamStart, std::int32_t streamLength)
{
    DestroyDIB();
    try {
        bool numeric = false;
        const int kind = ResSection.toShort(&numeric);
        QString section = ResSection;
        if (numeric) {
            static const char* const kKinds[] = {"bitmap", "icon", "cursor"};
            if (kind < 0 || kind > 2)
                return false;
            section = QString::fromLatin1(kKinds[kind]);
        }
        QFile resource(QStringLiteral(":/%1/%2").arg(section, ResIndex));
        if (!resource.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = resource.readAll();
        const ByteArray array(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 0);
        if (!numeric) {
            LoadPicture_Stream(array, iconCx, iconCy, streamStart, streamLength, false);
        } else {
            // Picture resources go through the platform picture loader, as
            // the system's resource loader hands out picture objects.
            const auto picture = modParsers::ArrayToPicture(array, 0, std::int32_t(array.data.size()));
            LoadPicture_StdPicture(picture.get());
        }
        return m_dib != nullptr;
    } catch (...) {
        DestroyDIB();
        return false;
    }
}

bool c32bppDIB::LoadPicture_StdPicture(const picture::Picture* Picture)
{
    if (!Picture)
        return false;
    try {
        if (Picture->Type() == picture::PICTYPE_BITMAP)
            cBMPparser().ConvertstdPicTo32bpp(Picture, *this, 0);
        else
            cICOparser().ConvertstdPicTo32bpp(Picture, *this);
    } catch (...) {
        DestroyDIB();
    }
    return m_dib != nullptr;
}

bool c32bppDIB::LoadPicture_ByHandle(gdi::HBITMAP Handle)
{
    if (!Handle)
        return false;
    // The handle passes to the picture object and ends with it: callers that
    // still need it pass a copy.
    const auto picture = picture::Picture::fromBitmap(Handle, true);
    if (!picture)
        return false;
    return LoadPicture_StdPicture(picture.get());
}
