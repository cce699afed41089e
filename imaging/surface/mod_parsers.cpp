#include "imaging/surface/mod_parsers.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

#include "platform/picture/picture.h"

namespace modParsers {

bool IsArrayEmpty(const ByteArray& bytes)
{
    return bytes.empty();
}

std::int32_t ByteAlignOnWord(std::uint8_t bitCount, std::int32_t width)
{
    const std::int64_t bits = std::int64_t(bitCount) * width + 31;
    if (bits > std::numeric_limits<std::int32_t>::max() || bits < std::numeric_limits<std::int32_t>::min())
        return -1;
    return std::int32_t((bits & ~std::int64_t(31)) / 8);
}

std::int32_t ReverseLong(std::int32_t value)
{
    const auto v = std::uint32_t(value);
    return std::int32_t((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24));
}

std::unique_ptr<picture::Picture> ArrayToPicture(const ByteArray& bytes, std::int32_t first, std::int32_t count)
{
    const std::span<const std::uint8_t> range = bytes.range(first, count);
    if (range.empty())
        return nullptr;
    return picture::ArrayToPicture(range);
}

bool ReplaceFile(const QString& fileName, std::span<const std::uint8_t> bytes)
{
    const QFileInfo info(fileName);
    if (info.exists() || info.isSymLink()) {
        QFile::setPermissions(fileName, QFile::permissions(fileName) | QFileDevice::WriteOwner);
        if (!QFile::remove(fileName))
            return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 written = file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    file.close();
    if (written != qint64(bytes.size()) || file.error() != QFileDevice::NoError) {
        file.remove();
        return false;
    }
    return true;
}

}  // namespace modParsers
