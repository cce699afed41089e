// The PNG writer: the surface is encoded here (there is no platform
// encoder), compressed by zlib's compress2 when the library is there.
#include <QFile>
#include <QFileInfo>

#include "imaging/formats/png_encode.h"
#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"

namespace {

// An existing file, read-only or not, is replaced.
bool writeFile(const QString& fileName, const std::vector<std::uint8_t>& bytes)
{
    if (QFileInfo::exists(fileName)) {
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

}  // namespace

bool cPNGparser::SaveTo(const QString& FileName, ByteArray& outStream, const c32bppDIB& cHost)
{
    if (!cHost.Handle())
        return false;
    if (FileName.isEmpty())
        outStream = ByteArray();
    // Without zlib (or while its absence is simulated) the data goes into stored blocks.
    std::vector<std::uint8_t> png = encodePng(cHost.BitsPointer(), cHost.Width(), cHost.Height(), cHost.Alpha(),
                                              zlib::compress2Function());
    if (png.empty())
        return false;
    if (!FileName.isEmpty())
        return writeFile(FileName, png);
    outStream = ByteArray(std::move(png), 0);
    return true;
}
