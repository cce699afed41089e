#include "reference_decoders.h"

#include <cstring>

#include <gif_lib.h>
#include <libdeflate.h>
#include <png.h>
#include <spng.h>
#include <zlib.h>

namespace bench {
namespace {

struct MemoryReader {
    const Bytes* bytes;
    std::size_t pos = 0;
};

void readPngBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->bytes->size() - reader->pos < length)
        png_error(png, "read past the end");
    std::memcpy(data, reader->bytes->data() + reader->pos, length);
    reader->pos += length;
}

int readGifBytes(GifFileType* gif, GifByteType* data, int length)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(std::size_t(length), reader->bytes->size() - reader->pos);
    std::memcpy(data, reader->bytes->data() + reader->pos, n);
    reader->pos += n;
    return int(n);
}

}  // namespace

bool zlibUncompress(const Bytes& stream, Bytes& out)
{
    uLongf length = uLongf(out.size());
    return uncompress(out.data(), &length, stream.data(), uLong(stream.size())) == Z_OK && length == out.size();
}

bool libdeflateUncompress(const Bytes& stream, Bytes& out)
{
    static libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    return libdeflate_zlib_decompress(decompressor, stream.data(), stream.size(), out.data(), out.size(), nullptr) ==
           LIBDEFLATE_SUCCESS;
}

bool libpngDecode(const Bytes& bytes, Bytes& rgba)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    MemoryReader reader{&bytes};
    png_set_read_fn(png, &reader, readPngBytes);
    png_read_info(png, info);
    // Everything to 8-bit RGBA: palettes and low depths expanded, tRNS to
    // alpha, 16 bits cut to 8, grey to RGB, opaque alpha added where none.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    rgba.resize(std::size_t(width) * height * 4);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = rgba.data() + std::size_t(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool spngDecode(const Bytes& png, Bytes& rgba)
{
    spng_ctx* ctx = spng_ctx_new(0);
    std::size_t size = 0;
    bool ok = spng_set_png_buffer(ctx, png.data(), png.size()) == 0 &&
              spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0;
    if (ok) {
        rgba.resize(size);
        ok = spng_decode_image(ctx, rgba.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
    }
    spng_ctx_free(ctx);
    return ok;
}

bool giflibDecode(const Bytes& bytes, Bytes& rgba)
{
    MemoryReader reader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readGifBytes, &error);
    if (!gif)
        return false;
    bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
    if (ok) {
        const SavedImage& image = gif->SavedImages[0];
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, 0, &control);
        const std::size_t count = std::size_t(image.ImageDesc.Width) * std::size_t(image.ImageDesc.Height);
        rgba.resize(count * 4);
        ok = map != nullptr;
        for (std::size_t i = 0; ok && i < count; ++i) {
            const int index = image.RasterBits[i];
            const GifColorType& c = map->Colors[index < map->ColorCount ? index : 0];
            std::uint8_t* px = &rgba[i * 4];
            px[0] = c.Red;
            px[1] = c.Green;
            px[2] = c.Blue;
            px[3] = index == control.TransparentColor ? 0 : 255;
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}

}  // namespace bench
