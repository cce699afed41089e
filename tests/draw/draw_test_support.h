#pragma once
// What the draw's tests share beyond the store's scratch databases.

#include <cstdint>

#include "draw/draw_picks.h"
#include "tests/store/store_test_support.h"

namespace storetest {

// A seed of 32 equal bytes.
inline draw::Seed seedOf(std::uint8_t value)
{
    draw::Seed seed;
    seed.fill(value);
    return seed;
}

}  // namespace storetest
