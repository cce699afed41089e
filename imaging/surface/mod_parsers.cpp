#include "imaging/surface/mod_parsers.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace modParsers {

bool IsArrayEmpty(const ByteArray& bytes)
{
    return bytes.empty();
}

bool ReplaceFile(const QString& fileName, std::span<const std::uint8_t> bytes)
{
    // QSaveFile will not replace a file it may not write, and gives the new
    // file the old one's permissions: a read-only file is made writable for
    // its owner first (so the new file is an ordinary one), and given its
    // permissions back when the save fails.
    // Only the owner, group and other bits are the file's own: the "user"
    // bits describe who is asking (root may write anything) and would turn
    // into owner bits if written back.
    constexpr QFileDevice::Permissions kModeBits =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
        QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther |
        QFileDevice::ExeOther;
    const QFileInfo info(fileName);
    const QFileDevice::Permissions before = info.exists() ? info.permissions() & kModeBits : QFileDevice::Permissions();
    const bool madeWritable = info.exists() && !(before & QFileDevice::WriteOwner) &&
                              QFile::setPermissions(fileName, before | QFileDevice::WriteOwner);
    QSaveFile file(fileName);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved) {
        saved = file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
        if (saved)
            saved = file.commit();
        else
            file.cancelWriting();
    }
    if (!saved && madeWritable)
        QFile::setPermissions(fileName, before);
    return saved;
}

}  // namespace modParsers
