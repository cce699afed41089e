#pragma once
// The fuzz targets: each feeds one input to one reader of the program. The
// libFuzzer executables (fuzz_<name>, built by `make fuzz`) and the
// regression test that `make test` runs over every kept input
// (fuzz/corpus/<name>/ and tests/data/crashers/<name>/) share them, so an
// input that once broke a reader is replayed exactly as it was found.
//
// A target returns normally for any input, valid or not. A fault is a crash
// or a sanitizer report, or a broken expectation that the target checks
// itself (fuzz::expect), which aborts.

#include <cstdint>
#include <span>
#include <string_view>

namespace fuzz {

struct Target {
    const char* name;
    void (*run)(std::span<const std::uint8_t> input);
};

// Every target, in a fixed order.
std::span<const Target> targets();
// The target of that name, or nullptr.
const Target* findTarget(std::string_view name);

// Aborts with the message when the condition does not hold.
void expect(bool condition, const char* what);

// The targets themselves (targets/*.cpp).
void runInflate(std::span<const std::uint8_t> input);
void runInflateVersusZlib(std::span<const std::uint8_t> input);
void runGifLzw(std::span<const std::uint8_t> input);
void runPng(std::span<const std::uint8_t> input);
void runPngWithoutZlib(std::span<const std::uint8_t> input);
void runGif(std::span<const std::uint8_t> input);
void runIco(std::span<const std::uint8_t> input);
void runBmp(std::span<const std::uint8_t> input);
void runLoader(std::span<const std::uint8_t> input);
void runCsv(std::span<const std::uint8_t> input);
void runXlsx(std::span<const std::uint8_t> input);
void runXml(std::span<const std::uint8_t> input);
void runMdb(std::span<const std::uint8_t> input);
void runDesignData(std::span<const std::uint8_t> input);

}  // namespace fuzz
