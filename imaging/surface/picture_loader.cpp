// The loading front door: empties the surface, offers the bytes to the
// readers in the order PNG, GIF, ICO/CUR, BMP (the last one also covers
// whatever the platform picture loader reads) and keeps the source bytes
// when asked. Success is judged by the surface, not by the readers.
#include <QFile>
#include <QFileInfo>

#include <limits>

#include "imaging/formats/bmp_parser.h"
#include "imaging/formats/gif_parser.h"
#include "imaging/formats/ico_parser.h"
#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "imaging/surface/mod_parsers.h"
#include "platform/language/language.h"
#include "platform/picture/picture.h"

namespace {

// Anything this size or smaller is no picture worth offering to the readers.
constexpr qint64 kSmallestPicture = 56;

enum class Next { TryNext, Stop, Abort };

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

bool c32bppDIB::refuse(LoadError error)
{
    m_lastError = error;
    m_lastErrorDetail.clear();
    return false;
}

bool c32bppDIB::finishLoad(LoadError otherwise)
{
    if (m_dib) {
        m_lastError = LoadError::None;
        m_lastErrorDetail.clear();
        return true;
    }
    if (m_lastError == LoadError::None)
        m_lastError = otherwise;
    return false;
}

bool c32bppDIB::LoadPicture_File(const QString& FileName, std::int32_t iconCx, std::int32_t iconCy, bool SaveFormat)
{
    const QFileInfo info(FileName);
    if (FileName.isEmpty() || !info.exists() || info.isDir())
        return refuse(LoadError::NoSource);
    if (info.size() <= kSmallestPicture)
        return refuse(LoadError::TooSmall);
    return LoadPictureData(FileName, ByteArray(), iconCx, iconCy, 0, 0, SaveFormat);
}

bool c32bppDIB::LoadPicture_Stream(const ByteArray& inStream, std::int32_t iconCx, std::int32_t iconCy,
                                   std::int32_t streamStart, std::int32_t streamLength, bool SaveFormat)
{
    if (modParsers::IsArrayEmpty(inStream))
        return refuse(LoadError::NoSource);
    if (streamStart < inStream.lowerBound)
        streamStart = inStream.lowerBound;
    if (streamLength == 0) {
        // Counted in 64 bits: an array near the end of the index range must
        // not wrap around.
        const std::int64_t rest = inStream.upperBound() - streamStart + 1;
        if (rest > std::numeric_limits<std::int32_t>::max())
            return refuse(LoadError::OutsideArray);
        streamLength = std::int32_t(rest);
    }
    if (streamLength <= kSmallestPicture)
        return refuse(LoadError::TooSmall);
    // A range reaching outside the array is refused before any reader sees it.
    if (inStream.range(streamStart, streamLength).empty())
        return refuse(LoadError::OutsideArray);
    return LoadPictureData(QString(), inStream, iconCx, iconCy, streamStart, streamLength, SaveFormat);
}

bool c32bppDIB::offerToReaders(const QString& FileName, ByteArray& inStream, std::int32_t iconCx,
                               std::int32_t iconCy, std::int32_t& streamStart, std::int32_t& streamLength)
{
    const bool fromFile = !FileName.isEmpty();
    Next next = judge(fromFile ? cPNGparser().LoadFile(FileName, *this)
                               : cPNGparser().LoadStream(inStream, *this, streamStart, streamLength),
                      fromFile, *this);
    if (next == Next::TryNext && fromFile) {
        QFile file(FileName);
        if (!file.open(QIODevice::ReadOnly))
            return refuse(LoadError::Unreadable);
        inStream = ByteArray(readAll(file), 0);
        streamStart = 0;
        streamLength = std::int32_t(std::min<std::size_t>(inStream.data.size(), 0x7FFFFFFF));
    }
    if (next == Next::TryNext)
        next = judge(cGIFparser().LoadStream(inStream, *this, streamStart, streamLength), fromFile, *this);
    if (next == Next::TryNext)
        next = judge(cICOparser().LoadStream(inStream, iconCx, iconCy, *this, streamStart, streamLength), fromFile,
                     *this);
    if (next == Next::TryNext)
        next = judge(cBMPparser().LoadStream(inStream, *this, streamStart, streamLength), fromFile, *this);
    if (next == Next::Abort)
        DestroyDIB();
    return m_dib != nullptr;
}

bool c32bppDIB::LoadPictureData(const QString& FileName, ByteArray inStream, std::int32_t iconCx,
                                std::int32_t iconCy, std::int32_t streamStart, std::int32_t streamLength,
                                bool SaveFormat)
{
    DestroyDIB();
    m_lastError = LoadError::None;
    m_lastErrorDetail.clear();
    const bool fromFile = !FileName.isEmpty();
    try {
        QFile file(FileName);
        if (fromFile && !file.open(QIODevice::ReadOnly))
            return refuse(LoadError::Unreadable);
        iconCx = std::max(iconCx, 0);
        iconCy = std::max(iconCy, 0);
        if (!offerToReaders(FileName, inStream, iconCx, iconCy, streamStart, streamLength))
            return finishLoad(LoadError::UnknownFormat);
        if (SaveFormat) {
            // The whole source is kept: the file, or the entire array with
            // its bounds, not only the range that held the picture.
            if (inStream.empty())
                setSourceBytes(readAll(file));
            else
                setSourceBytes(std::move(inStream));
        }
        return finishLoad(LoadError::None);
    } catch (const std::bad_alloc&) {
        // No reader lets an allocation failure out; this is the loader's own
        // copy of the file or of the kept source bytes.
        failLoad(LoadError::OutOfMemory);
        return false;
    }
}

bool c32bppDIB::LoadPicture_Resource(const QString& ResIndex, const QString& ResSection, std::int32_t iconCx,
                                     std::int32_t iconCy, std::int32_t streamStart, std::int32_t streamLength)
{
    DestroyDIB();
    m_lastError = LoadError::None;
    m_lastErrorDetail.clear();
    try {
        bool numeric = false;
        const int kind = ResSection.toShort(&numeric);
        QString section = ResSection;
        if (numeric) {
            static const char* const kKinds[] = {"bitmap", "icon", "cursor"};
            if (kind < 0 || kind > 2)
                return refuse(LoadError::NoSource);
            section = QString::fromLatin1(kKinds[kind]);
        }
        QFile resource(QStringLiteral(":/%1/%2").arg(section, ResIndex));
        if (!resource.open(QIODevice::ReadOnly))
            return refuse(LoadError::NoSource);
        const QByteArray bytes = resource.readAll();
        const ByteArray array(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 0);
        if (!numeric)
            return LoadPicture_Stream(array, iconCx, iconCy, streamStart, streamLength, false);
        // Picture resources go through the platform picture loader, as the
        // system's resource loader hands out picture objects.
        bool overLimit = false;
        const auto picture = picture::ArrayToPicture(array.data, m_pixelLimit, &overLimit);
        if (!picture)
            return refuse(overLimit ? LoadError::TooManyPixels : LoadError::UnknownFormat);
        return LoadPicture_StdPicture(picture.get());
    } catch (const std::bad_alloc&) {
        failLoad(LoadError::OutOfMemory);
        return false;
    }
}

bool c32bppDIB::LoadPicture_StdPicture(const picture::Picture* Picture)
{
    if (!Picture)
        return refuse(LoadError::NoSource);
    // The surface is not emptied here: a picture the readers refuse before
    // touching it leaves the earlier image, whose success is reported.
    m_lastError = LoadError::None;
    m_lastErrorDetail.clear();
    try {
        if (Picture->Type() == picture::PICTYPE_BITMAP)
            cBMPparser().ConvertstdPicTo32bpp(Picture, *this, 0);
        else
            cICOparser().ConvertstdPicTo32bpp(Picture, *this);
    } catch (const std::bad_alloc&) {
        failLoad(LoadError::OutOfMemory);
    }
    return finishLoad(LoadError::Unsupported);
}

bool c32bppDIB::LoadPicture_ByHandle(gdi::HBITMAP Handle)
{
    if (!Handle)
        return refuse(LoadError::NoSource);
    // The handle passes to the picture object and ends with it: callers that
    // still need it pass a copy.
    const auto picture = picture::Picture::fromBitmap(Handle, true);
    if (!picture)
        return refuse(LoadError::Unsupported);
    return LoadPicture_StdPicture(picture.get());
}
