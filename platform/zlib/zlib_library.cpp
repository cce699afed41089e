#include "platform/zlib/zlib_library.h"

#include <dlfcn.h>
// For the stream structure and constants only: the functions are looked up.
#include <zlib.h>

namespace zlib {
namespace {

bool g_simulateAbsent = false;

// The library stays loaded for the life of the process once found: the
// lookups happen on every PNG load and reloading it each time buys nothing.
void* libraryHandle()
{
    static void* handle = dlopen("libz.so.1", RTLD_NOW | RTLD_LOCAL);
    return handle;
}

void* lookup(const char* function)
{
    if (g_simulateAbsent || !function)
        return nullptr;
    void* handle = libraryHandle();
    return handle ? dlsym(handle, function) : nullptr;
}

template <typename Fn>
Fn lookupAs(const char* function)
{
    return reinterpret_cast<Fn>(lookup(function));
}

using DeflateInit2Fn = int (*)(z_stream*, int level, int method, int windowBits, int memLevel, int strategy,
                               const char* version, int streamSize);
using DeflateFn = int (*)(z_stream*, int flush);
using DeflateEndFn = int (*)(z_stream*);

int compressFiltered(unsigned char* dest, unsigned long* destLen, const unsigned char* source, unsigned long sourceLen,
                     int level)
{
    const auto init = lookupAs<DeflateInit2Fn>("deflateInit2_");
    const auto deflate = lookupAs<DeflateFn>("deflate");
    const auto end = lookupAs<DeflateEndFn>("deflateEnd");
    if (!init || !deflate || !end)
        return Z_STREAM_ERROR;
    z_stream stream{};
    // zlib's own window and memory level, as compress2 takes them.
    if (init(&stream, level, Z_DEFLATED, MAX_WBITS, 8, Z_FILTERED, ZLIB_VERSION, int(sizeof stream)) != Z_OK)
        return Z_STREAM_ERROR;
    stream.next_in = const_cast<unsigned char*>(source);
    stream.avail_in = uInt(sourceLen);
    stream.next_out = dest;
    stream.avail_out = uInt(*destLen);
    // One call for all: the caller sizes dest by zlib's bound, and the
    // sizes it passes fit 32 bits.
    const int result = deflate(&stream, Z_FINISH);
    *destLen = stream.total_out;
    end(&stream);
    return result == Z_STREAM_END ? Z_OK : Z_BUF_ERROR;
}

}  // namespace

bool IsDllFunctionAvailable(const char* function)
{
    return lookup(function) != nullptr;
}

Crc32Fn crc32Function() { return lookupAs<Crc32Fn>("crc32"); }
Adler32Fn adler32Function() { return lookupAs<Adler32Fn>("adler32"); }
UncompressFn uncompressFunction() { return lookupAs<UncompressFn>("uncompress"); }
Compress2Fn compress2Function() { return lookupAs<Compress2Fn>("compress2"); }
Compress2Fn compressFilteredFunction()
{
    return lookup("deflateInit2_") && lookup("deflate") && lookup("deflateEnd") ? compressFiltered : nullptr;
}

void setSimulateAbsent(bool absent) { g_simulateAbsent = absent; }
bool simulateAbsent() { return g_simulateAbsent; }

}  // namespace zlib
