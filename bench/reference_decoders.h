#pragma once
// The libraries our decoders are measured against, each doing the work ours
// does: decompressing into a buffer of known size, or decoding a picture to
// 8-bit RGBA pixels. Linked by the benchmarks only.

#include <cstdint>
#include <vector>

#include "image_inputs.h"

namespace bench {

// True when the stream decompressed into exactly out.size() bytes.
bool zlibUncompress(const Bytes& stream, Bytes& out);
bool libdeflateUncompress(const Bytes& stream, Bytes& out);

// RGBA, 8 bits a sample; false when the library refused the file.
bool libpngDecode(const Bytes& png, Bytes& rgba);
bool spngDecode(const Bytes& png, Bytes& rgba);
// The first image, palette indices expanded to RGBA (the transparent index
// to alpha 0).
bool giflibDecode(const Bytes& gif, Bytes& rgba);

}  // namespace bench
