#include "draw/draw_picks.h"

#include <sys/random.h>

#include <cerrno>
#include <charconv>
#include <stdexcept>
#include <unordered_set>

#include "draw/netstring.h"
#include "platform/language/language.h"
#include "store/sha256.h"
#include "store/utf8.h"

namespace draw {

Seed SystemSeed()
{
    Seed seed;
    std::size_t filled = 0;
    while (filled < seed.size()) {
        const ssize_t got = getrandom(seed.data() + filled, seed.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // Without the system's randomness there is no fair draw at all.
            throw std::runtime_error(lang::tr("the operating system gave no random seed",
                                              "操作系统没有提供随机种子"));
        }
        filled += std::size_t(got);
    }
    return seed;
}

namespace {

std::uint64_t zigzag(std::uint64_t difference)
{
    const auto signedValue = std::int64_t(difference);
    return std::uint64_t(signedValue) << 1 ^ std::uint64_t(signedValue >> 63);
}

std::uint64_t unzigzag(std::uint64_t value)
{
    return value >> 1 ^ (0 - (value & 1));
}

// One varint at `pos`; refuses a cut one, one longer than needed (so that a
// list has exactly one encoding) and one beyond 64 bits.
bool getVarint(std::string_view bytes, std::size_t& pos, std::uint64_t& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (pos >= bytes.size())
            return false;
        const auto byte = std::uint8_t(bytes[pos++]);
        const std::uint64_t part = byte & 0x7F;
        if (shift == 63 && part > 1)
            return false;
        value |= part << shift;
        if (!(byte & 0x80))
            return !(byte == 0 && shift > 0);
    }
    return false;
}

std::uint64_t randomNumber(const Seed& seed, std::uint64_t j)
{
    std::uint8_t counter[8];
    for (int i = 0; i < 8; ++i)
        counter[i] = std::uint8_t(j >> (56 - 8 * i));
    store::Sha256 hash;
    hash.update(seed.data(), seed.size());
    hash.update(counter, sizeof counter);
    const store::Digest digest = hash.finish();
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u = u << 8 | digest[std::size_t(i)];
    return u;
}

}  // namespace

char* PutVarint(char* out, std::uint64_t value)
{
    while (value >= 0x80) {
        *out++ = char((value & 0x7F) | 0x80);
        value >>= 7;
    }
    *out++ = char(value);
    return out;
}

std::string EncodeIds(const std::vector<std::int64_t>& ids)
{
    std::string out;
    out.reserve(ids.size() + 8);
    std::uint64_t previous = 0;
    char bytes[kMaxVarintBytes];
    for (std::int64_t id : ids) {
        out.append(bytes, PutVarint(bytes, zigzag(std::uint64_t(id) - previous)));
        previous = std::uint64_t(id);
    }
    return out;
}

bool DecodeIds(std::string_view bytes, std::vector<std::int64_t>& ids)
{
    ids.clear();
    std::uint64_t previous = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::uint64_t value = 0;
        if (!getVarint(bytes, pos, value))
            return false;
        previous += unzigzag(value);
        ids.push_back(std::int64_t(previous));
    }
    return true;
}

std::string SeedCommitment(const Seed& organiserSeed)
{
    return store::ToHex(store::Sha256Of(std::string_view(reinterpret_cast<const char*>(organiserSeed.data()),
                                                         organiserSeed.size())));
}

Seed DrawSeed(const Seed& organiserSeed, std::string_view publicInput, std::string_view eligibleDigest)
{
    NetstringDigest digest;
    digest.add("sortia-seed-2")
        .add(std::string_view(reinterpret_cast<const char*>(organiserSeed.data()), organiserSeed.size()))
        .add(publicInput)
        .add(eligibleDigest);
    return digest.bytes();
}

Seed AnnouncedSeed(std::string_view announcementDigest, std::string_view publicInput)
{
    NetstringDigest digest;
    digest.add("sortia-announced-1").add(announcementDigest).add(publicInput);
    return digest.bytes();
}

std::string PublicInputText(std::string_view typed)
{
    // U+3000 is what a Chinese input method types for a space.
    static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    for (;;) {
        const std::size_t before = typed.size();
        while (!typed.empty() && std::string_view(" \t\r\n").find(typed.front()) != std::string_view::npos)
            typed.remove_prefix(1);
        while (!typed.empty() && std::string_view(" \t\r\n").find(typed.back()) != std::string_view::npos)
            typed.remove_suffix(1);
        if (typed.starts_with(kIdeographicSpace))
            typed.remove_prefix(kIdeographicSpace.size());
        if (typed.ends_with(kIdeographicSpace))
            typed.remove_suffix(kIdeographicSpace.size());
        if (typed.size() == before)
            return std::string(typed);
    }
}

std::string RecordTextProblem(std::string_view text, const std::string& what)
{
    if (text.size() > kMaxRecordText)
        return lang::trf("%1 is longer than %2 bytes", "%1超过 %2 字节", {what, std::to_string(kMaxRecordText)});
    if (!store::IsValidUtf8(text))
        return lang::trf("%1 is not valid UTF-8 text", "%1不是有效的 UTF-8 文本", {what});
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return lang::trf("%1 holds a line break, tab or other control character",
                             "%1中含有换行、制表符或其他控制字符", {what});
    return std::string();
}

std::string PublicInputProblem(std::string_view text)
{
    return RecordTextProblem(text, lang::tr("the public input", "公开输入"));
}

std::string SeedHex(const Seed& seed)
{
    return store::ToHex(seed.data(), seed.size());
}

bool SeedFromHex(std::string_view hex, Seed& seed)
{
    std::string bytes;
    if (hex.size() != 2 * seed.size() || !store::FromHex(hex, bytes))
        return false;
    std::copy(bytes.begin(), bytes.end(), seed.begin());
    return true;
}

std::string EligibleDigest(std::string_view encodedIds)
{
    return store::ToHex(store::Sha256Of(encodedIds));
}

std::vector<std::size_t> PickIndices(const Seed& seed, std::size_t listSize, std::size_t n)
{
    std::vector<std::size_t> picks;
    if (n == 0 || n > listSize)
        return picks;
    const auto size = std::uint64_t(listSize);
    // 2^64 mod size, computed without 2^64: (2^64 - size) mod size.
    const std::uint64_t remainder = (0 - size) % size;
    const std::uint64_t limit = 0 - remainder;  // 2^64 - remainder; 0 stands for 2^64 itself
    std::unordered_set<std::size_t> taken;
    taken.reserve(n * 2);
    picks.reserve(n);
    for (std::uint64_t j = 0; picks.size() < n; ++j) {
        const std::uint64_t u = randomNumber(seed, j);
        if (limit != 0 && u >= limit)
            continue;
        const auto index = std::size_t(u % size);
        if (taken.insert(index).second)
            picks.push_back(index);
    }
    return picks;
}

bool EligibleListBuilder::add(std::string_view idText)
{
    std::int64_t id = 0;
    const char* end = idText.data() + idText.size();
    const auto [ptr, ec] = std::from_chars(idText.data(), end, id);
    if (idText.empty() || ec != std::errc() || ptr != end) {
        m_error = lang::trf("the participant id '%1' is not a whole number; a draw needs whole-number ids",
                            "参与者编号“%1”不是整数；抽奖需要整数编号", {std::string(idText)});
        return false;
    }
    return add(id);
}

bool EligibleListBuilder::add(std::int64_t id)
{
    if (!m_ids.empty() && id >= m_ids.back()) {
        m_error = lang::trf("the participant id %1 appears more than once (or the ids are out of order); "
                            "a draw needs distinct ids",
                            "参与者编号 %1 重复出现（或编号顺序不对）；抽奖需要互不相同的编号",
                            {std::to_string(id)});
        return false;
    }
    m_ids.push_back(id);
    return true;
}

void EligibleListBuilder::clear()
{
    m_ids.clear();
    m_error.clear();
}

}  // namespace draw
