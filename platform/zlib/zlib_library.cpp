#include "platform/zlib/zlib_library.h"

#include <dlfcn.h>

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

}  // namespace

bool IsDllFunctionAvailable(const char* function)
{
    return lookup(function) != nullptr;
}

Crc32Fn crc32Function() { return lookupAs<Crc32Fn>("crc32"); }
Adler32Fn adler32Function() { return lookupAs<Adler32Fn>("adler32"); }
UncompressFn uncompressFunction() { return lookupAs<UncompressFn>("uncompress"); }
Compress2Fn compress2Function() { return lookupAs<Compress2Fn>("compress2"); }

void setSimulateAbsent(bool absent) { g_simulateAbsent = absent; }
bool simulateAbsent() { return g_simulateAbsent; }

}  // namespace zlib
