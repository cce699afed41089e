#include "imaging/surface/mod_parsers.h"

#include <QFile>
#include <QFileInfo>

namespace modParsers {

bool IsArrayEmpty(const ByteArray& bytes)
{
    return bytes.empty();
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
