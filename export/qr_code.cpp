#include "export/qr_code.h"

#include <memory>
#include <string>

#include <qrencode.h>

namespace exporter {

std::optional<QrCode> EncodeQr(std::string_view text)
{
    const std::string bytes(text);  // the encoder wants a terminated string
    if (bytes.find('\0') != std::string::npos)
        return std::nullopt;
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(bytes.c_str(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return std::nullopt;
    QrCode qr;
    qr.size = code->width;
    qr.dark.resize(std::size_t(qr.size) * std::size_t(qr.size));
    for (std::size_t i = 0; i < qr.dark.size(); ++i)
        qr.dark[i] = code->data[i] & 1;  // the low bit is the module's colour
    return qr;
}

}  // namespace exporter
