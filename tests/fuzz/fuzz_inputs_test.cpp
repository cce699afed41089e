// Every kept fuzz input goes through its target again: the seed corpora
// (fuzz/corpus/<target>/) and every input that once broke a reader
// (tests/data/crashers/<target>/), under the memory caps the fuzzer runs
// with (allocation_cap.h). In the sanitizer build this replays them under
// AddressSanitizer and UndefinedBehaviorSanitizer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "allocation_cap.h"
#include "fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpora = fs::path(SORTIA_SOURCE_DIR) / "fuzz" / "corpus";
const fs::path kCrashers = fs::path(SORTIA_TESTDATA_DIR) / "crashers";

std::vector<std::uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The regular files of a folder, or none when it does not exist.
std::vector<fs::path> filesIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class KeptInputs : public testing::TestWithParam<fuzz::Target> {};

TEST_P(KeptInputs, ReplayWithoutFault)
{
    const fuzz::Target& target = GetParam();
    const std::vector<fs::path> seeds = filesIn(kCorpora / target.name);
    // A target without seeds would pass here without testing anything.
    ASSERT_FALSE(seeds.empty()) << "no seed corpus in " << (kCorpora / target.name);
    std::vector<fs::path> inputs = seeds;
    const std::vector<fs::path> crashers = filesIn(kCrashers / target.name);
    inputs.insert(inputs.end(), crashers.begin(), crashers.end());
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::vector<std::uint8_t> bytes = readFile(input);
        fuzztest::arm();
        try {
            target.run(bytes);
        } catch (const std::bad_alloc&) {
            // A refused allocation that the reader let through; disarm() tells.
        }
        EXPECT_EQ(fuzztest::disarm(), "") << "over the fuzzer's memory caps";
    }
}

// The caps refuse what the fuzzer would call a finding, and nothing else.
TEST(AllocationCap, RefusesWhatTheFuzzerWould)
{
    fuzztest::arm();
    std::vector<std::vector<char>> held;
    for (int i = 0; i < 4; ++i)
        held.emplace_back(std::size_t(64) << 20);
    EXPECT_EQ(fuzztest::disarm(), "");

    fuzztest::arm();
    EXPECT_THROW(std::vector<char>(fuzztest::kSingleLimit + 1), std::bad_alloc);
    EXPECT_NE(fuzztest::disarm().find("more than 256 MB at once"), std::string::npos);

    fuzztest::arm();
    EXPECT_THROW(
        for (int i = 0; i < 10; ++i) held.emplace_back(std::size_t(64) << 20), std::bad_alloc);
    EXPECT_NE(fuzztest::disarm().find("over 512 MB"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Targets, KeptInputs, testing::ValuesIn(fuzz::targets().begin(), fuzz::targets().end()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeptInputs, EveryFolderBelongsToATarget)
{
    std::set<std::string> names;
    for (const fuzz::Target& t : fuzz::targets())
        names.insert(t.name);
    std::size_t crashers = 0;
    for (const fs::path& root : {kCorpora, kCrashers}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(root, ec)) {
            if (!entry.is_directory())
                continue;
            EXPECT_TRUE(names.count(entry.path().filename().string())) << entry.path() << " names no target";
            if (root == kCrashers)
                crashers += filesIn(entry.path()).size();
        }
        EXPECT_FALSE(ec) << root;
    }
    EXPECT_GT(crashers, 0u) << "no kept crashers in " << kCrashers;
}

}  // namespace
