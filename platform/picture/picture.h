#pragma once
// A picture object: what the system picture loader makes of a file's bytes
// (bitmaps of every kind, JPEG, GIF, icons), with its kind, its size in
// 0.01 mm and a render call onto a device context.

#include <cstdint>
#include <memory>
#include <span>

#include "platform/gdi/gdi.h"

namespace picture {

enum PictureType : std::int16_t { PICTYPE_NONE = 0, PICTYPE_BITMAP = 1, PICTYPE_METAFILE = 2, PICTYPE_ICON = 3, PICTYPE_ENHMETAFILE = 4 };

class Picture {
public:
    virtual ~Picture() = default;
    virtual std::int16_t Type() const = 0;
};

// Decodes the bytes with the platform's image reader; nullptr when it cannot.
std::unique_ptr<Picture> ArrayToPicture(std::span<const std::uint8_t> bytes);

}  // namespace picture
