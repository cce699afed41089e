#pragma once
// The system zlib, found at run time: the program works without it (the PNG
// reader then checks no checksums and inflates with its own decoder), so it
// is looked up by name instead of being linked.

#include <cstdint>

namespace zlib {

using Crc32Fn = unsigned long (*)(unsigned long crc, const unsigned char* buf, unsigned int len);
using Adler32Fn = unsigned long (*)(unsigned long adler, const unsigned char* buf, unsigned int len);
using UncompressFn = int (*)(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                             unsigned long sourceLen);
using Compress2Fn = int (*)(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                            unsigned long sourceLen, int level);

constexpr int kOk = 0;  // what the functions return on success

// True when the zlib library can be loaded and exports `function`; always
// false while absence is simulated.
bool IsDllFunctionAvailable(const char* function);

// The functions, or nullptr when unavailable (or absence is simulated).
Crc32Fn crc32Function();
Adler32Fn adler32Function();
UncompressFn uncompressFunction();
Compress2Fn compress2Function();
// Like compress2, with the deflate strategy meant for filtered picture rows
// (short matches given up for Huffman coding), as PNG writers use it.
Compress2Fn compressFilteredFunction();

// Process-wide switch that makes every query above answer "absent", as if
// the library were not installed (the --no-zlib option, tests).
void setSimulateAbsent(bool absent);
bool simulateAbsent();

}  // namespace zlib
