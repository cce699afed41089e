#pragma once
// The deterministic part of a draw: how the eligible participants' ids are
// kept, how the list is digested, and how winners follow from a seed and the
// list. Anyone can redo these steps from the stored record (README.md,
// "Checking a draw").

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace draw {

using Seed = std::array<std::uint8_t, 32>;

// 32 bytes from the operating system's random source (getrandom). Never the
// clock: a clock seed makes a public draw predictable.
Seed SystemSeed();
// Where a draw takes its organiser seed from; tests pass fixed seeds.
using SeedSource = std::function<Seed()>;

// The commitment to an organiser seed S, shown before the public input is
// known: lower-case hex SHA-256 of S's 32 bytes.
std::string SeedCommitment(const Seed& organiserSeed);
// How many of its hex digits the screen shows.
constexpr std::size_t kCommitmentShown = 16;

// The seed the picks of a draw or void follow: SHA-256 over the netstrings
// of "sortia-seed-2", S's 32 raw bytes, the public input and the eligible
// list's digest (64 hex characters). Neither side alone decides it: S is
// fixed by its commitment before the public input is known.
Seed DrawSeed(const Seed& organiserSeed, std::string_view publicInput, std::string_view eligibleDigest);
// The seed of a draw from an announcement: SHA-256 over the netstrings of
// "sortia-announced-1", the announcement's digest (64 hex) and the public
// input named in it. Anyone holding the notice can work it out.
Seed AnnouncedSeed(std::string_view announcementDigest, std::string_view publicInput);

// A public input as it is recorded: surrounding spaces, tabs, line breaks
// and ideographic spaces (U+3000) removed.
std::string PublicInputText(std::string_view typed);
// Why a text typed for the record (a public input, a source, a reason)
// cannot be recorded: not UTF-8, a control character inside, or longer than
// kMaxRecordText bytes; "" when it can. `what` names it in the message.
std::string RecordTextProblem(std::string_view text, const std::string& what);
std::string PublicInputProblem(std::string_view text);
constexpr std::size_t kMaxRecordText = 1000;

std::string SeedHex(const Seed& seed);
// False unless `hex` is exactly 64 hex digits.
bool SeedFromHex(std::string_view hex, Seed& seed);

// Writes `value` as an unsigned LEB128 varint (seven bits a byte, low bits
// first, the high bit on every byte but the last) at `out`, which must have
// room for kMaxVarintBytes; returns the byte after it.
constexpr std::size_t kMaxVarintBytes = 10;
char* PutVarint(char* out, std::uint64_t value);

// The ids in list order, compactly: the first id, then each id's difference
// from the one before it, every value as a zigzag LEB128 varint (differences
// taken modulo 2^64). A list of consecutive ids costs one byte per id.
std::string EncodeIds(const std::vector<std::int64_t>& ids);
// The inverse; false when the bytes are not exactly such an encoding (a cut
// varint, an overlong one, a value beyond 64 bits).
bool DecodeIds(std::string_view bytes, std::vector<std::int64_t>& ids);

// The digest of an eligible list: lower-case hex SHA-256 of EncodeIds(list).
std::string EligibleDigest(std::string_view encodedIds);

// The n winners' indices (0-based, into the eligible list) in draw order.
// The j-th random number (j = 0, 1, 2, ...) is the first 8 bytes, read
// big-endian, of SHA-256(seed || j as 8 big-endian bytes). A number u gives
// the index u mod listSize unless u >= 2^64 - (2^64 mod listSize), when it
// is skipped (so every index is equally likely); an index already picked is
// skipped too. Requires 1 <= n <= listSize.
std::vector<std::size_t> PickIndices(const Seed& seed, std::size_t listSize, std::size_t n);

// The eligible list of a draw, as it is read: ids must be whole numbers in
// strictly falling order (the list is ordered by id, highest first), so
// that a row is named by its id alone.
class EligibleListBuilder {
public:
    // Adds the next id as read from the database; false (with error()) when
    // it is not a whole number or not below the id before it.
    bool add(std::string_view idText);
    // The same for an id the database already holds as a whole number.
    bool add(std::int64_t id);
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    // Marks the list unusable for a reason found outside it.
    void setError(std::string error) { m_error = std::move(error); }
    std::vector<std::int64_t>& ids() { return m_ids; }
    const std::vector<std::int64_t>& ids() const { return m_ids; }
    void clear();

private:
    std::vector<std::int64_t> m_ids;
    std::string m_error;
};

}  // namespace draw
