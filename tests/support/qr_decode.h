#pragma once
// Reads QR codes back from grey pixels with zbar, as a phone would read a
// photo: what the tests compare with the text that was meant.

#include <cstdint>
#include <string>
#include <vector>

#include <zbar.h>

namespace testqr {

using namespace zbar;  // in C++ the header puts its C interface there

// Every QR text found in a picture of width × height grey bytes (0 black).
inline std::vector<std::string> decode(const std::vector<std::uint8_t>& grey, int width, int height)
{
    std::vector<std::string> texts;
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);  // the bytes as they are
    zbar_image_t* image = zbar_image_create();
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image, unsigned(width), unsigned(height));
    zbar_image_set_data(image, grey.data(), grey.size(), nullptr);
    if (zbar_scan_image(scanner, image) > 0) {
        for (const zbar_symbol_t* s = zbar_image_first_symbol(image); s; s = zbar_symbol_next(s))
            texts.emplace_back(zbar_symbol_get_data(s), zbar_symbol_get_data_length(s));
    }
    zbar_image_destroy(image);
    zbar_image_scanner_destroy(scanner);
    return texts;
}

}  // namespace testqr
