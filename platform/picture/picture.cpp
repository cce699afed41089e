// The platform picture loader. (To be completed.)
#include "platform/picture/picture.h"

namespace picture {

std::unique_ptr<Picture> ArrayToPicture(std::span<const std::uint8_t>)
{
    return nullptr;
}

}  // namespace picture
