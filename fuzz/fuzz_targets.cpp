#include "fuzz/fuzz_targets.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace {

constexpr std::array<Target, 14> kTargets = {{
    {"inflate", runInflate},
    {"inflate_zlib", runInflateVersusZlib},
    {"gif_lzw", runGifLzw},
    {"png", runPng},
    {"png_nozlib", runPngWithoutZlib},
    {"gif", runGif},
    {"ico", runIco},
    {"bmp", runBmp},
    {"loader", runLoader},
    {"csv", runCsv},
    {"xlsx", runXlsx},
    {"xml", runXml},
    {"mdb", runMdb},
    {"design_data", runDesignData},
}};

}  // namespace

std::span<const Target> targets()
{
    return kTargets;
}

const Target* findTarget(std::string_view name)
{
    for (const Target& t : kTargets)
        if (name == t.name)
            return &t;
    return nullptr;
}

void expect(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz target expectation failed: %s\n", what);
    std::abort();
}

}  // namespace fuzz
