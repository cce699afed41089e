#include "draw/participant_list.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <cstring>

#include "draw/record_chain.h"

namespace draw {

namespace {

// Large enough that a million rows take a few dozen allocations, small
// enough that the last one wastes little.
constexpr std::size_t kChunkBytes = std::size_t(1) << 20;

char* putText(char* out, std::string_view text)
{
    if (!text.empty())
        std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

const char* getLength(const char* in, std::size_t& value)
{
    value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*in++);
        value |= std::size_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return in;
    }
}

// A row's texts follow one another, each after its length. The id comes
// first as its length plus one, or as 0 when the list keeps the id as a number.
std::string_view field(const char* row, int index)
{
    std::size_t length = 0;
    row = getLength(row, length);
    row += length > 0 ? length - 1 : 0;
    for (int i = 1; i < index; ++i) {
        row = getLength(row, length);
        row += length;
    }
    row = getLength(row, length);
    return {row, length};
}

}  // namespace

struct ParticipantList::Chunk {
    explicit Chunk(std::size_t size) : bytes(new char[size]), capacity(size) {}
    std::unique_ptr<char[]> bytes;
    std::size_t capacity;
    std::size_t used = 0;
};

ParticipantList::ParticipantList() = default;
ParticipantList::~ParticipantList() = default;
ParticipantList::ParticipantList(ParticipantList&&) noexcept = default;
ParticipantList& ParticipantList::operator=(ParticipantList&&) noexcept = default;

const char* ParticipantList::rowBytes(std::size_t row) const
{
    const std::uint64_t where = m_rows[row];
    return m_chunks[std::size_t(where >> 32)]->bytes.get() + std::size_t(where & 0xFFFFFFFFu);
}

std::string ParticipantList::idText(std::size_t row) const
{
    const char* bytes = rowBytes(row);
    std::size_t length = 0;
    bytes = getLength(bytes, length);
    if (length > 0)
        return std::string(bytes, length - 1);
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, m_ids.ids()[row]).ptr;
    return std::string(text, end);
}

std::string_view ParticipantList::name(std::size_t row) const
{
    return field(rowBytes(row), 1);
}

std::string_view ParticipantList::number(std::size_t row) const
{
    return field(rowBytes(row), 2);
}

std::size_t ParticipantList::bytesHeld() const
{
    std::size_t bytes = sizeof *this + m_chunks.capacity() * sizeof(m_chunks[0]) +
                        m_rows.capacity() * sizeof(m_rows[0]) + m_ids.ids().capacity() * sizeof(std::int64_t);
    for (const auto& chunk : m_chunks)
        bytes += sizeof *chunk + chunk->capacity;
    return bytes;
}

void ParticipantList::clear()
{
    // The arena is kept for the next read, which is usually as long: memory
    // the system hands out afresh costs a fault per page.
    for (auto& chunk : m_chunks)
        chunk->used = 0;
    m_filling = 0;
    m_rows.clear();
    m_ids.clear();
    m_matches.reset();
    changed();
}

void ParticipantList::changed()
{
    ++m_version;
    m_encoded.reset();
    m_digest.reset();
}

const std::string& ParticipantList::encodedIds() const
{
    if (!m_encoded)
        m_encoded = EncodeIds(m_ids.ids());
    return *m_encoded;
}

const std::string& ParticipantList::digest() const
{
    if (!m_digest)
        m_digest = EligibleDigest(encodedIds());
    return *m_digest;
}

void ParticipantList::trim()
{
    if (!m_chunks.empty())
        m_chunks.resize(m_filling + 1);
    if (m_rows.capacity() > m_rows.size() + m_rows.size() / 4) {
        m_rows.shrink_to_fit();
        m_ids.ids().shrink_to_fit();
    }
}

char* ParticipantList::reserveBytes(std::size_t count)
{
    while (m_filling < m_chunks.size() && m_chunks[m_filling]->capacity - m_chunks[m_filling]->used < count)
        ++m_filling;
    if (m_filling == m_chunks.size())
        m_chunks.push_back(std::make_unique<Chunk>(std::max(count, kChunkBytes)));
    Chunk& chunk = *m_chunks[m_filling];
    m_rows.push_back(std::uint64_t(m_filling) << 32 | chunk.used);
    return chunk.bytes.get() + chunk.used;
}

void ParticipantList::append(std::optional<std::int64_t> integerId, std::string_view idText, std::string_view name,
                             std::string_view number)
{
    // The id's text is kept only when the number cannot give it back: an id
    // the database holds as text, or a list a draw cannot use.
    const bool idAsNumber = integerId && m_ids.ok() && m_ids.add(*integerId);
    if (!integerId && m_ids.ok())
        m_ids.add(idText);
    char digits[24];
    if (integerId && !idAsNumber)
        idText = std::string_view(digits, std::size_t(std::to_chars(digits, digits + sizeof digits, *integerId).ptr - digits));
    if (idAsNumber)
        idText = {};
    changed();
    char* out = reserveBytes(idText.size() + name.size() + number.size() + 3 * kMaxVarintBytes);
    char* const start = out;
    out = PutVarint(out, idAsNumber ? 0 : idText.size() + 1);
    out = putText(out, idText);
    out = putText(PutVarint(out, name.size()), name);
    out = putText(PutVarint(out, number.size()), number);
    m_chunks[m_filling]->used += std::size_t(out - start);
}

void ParticipantList::removeIds(std::vector<std::int64_t> ids)
{
    // Both run from the highest id down: one walk from the first row to go.
    std::sort(ids.begin(), ids.end(), std::greater<>());
    std::vector<std::int64_t>& listed = m_ids.ids();
    auto gone = ids.begin();
    std::size_t row = ids.empty() ? listed.size()
                                  : std::size_t(std::lower_bound(listed.begin(), listed.end(), ids.front(),
                                                                 std::greater<>()) - listed.begin());
    std::size_t kept = row;
    for (; row < listed.size(); ++row) {
        while (gone != ids.end() && *gone > listed[row])
            ++gone;
        if (gone != ids.end() && *gone == listed[row])
            continue;
        m_rows[kept] = m_rows[row];
        listed[kept] = listed[row];
        ++kept;
    }
    m_rows.resize(kept);
    listed.resize(kept);
    changed();
}

bool RefreshNotWon(store::DbConnection& connection, ParticipantList& list)
{
    // Asked before reading: a change that lands between the two makes the
    // next refresh read again rather than miss it.
    const std::optional<store::ChangeStamp> now = connection.changeStamp();
    if (now && list.matches() == now)
        return true;
    list.clear();
    list.noteRead();
    // The head before the rows: a draw recorded in between then makes the
    // stop read the list again rather than record it stale.
    std::string head;
    if (!ListedHead(connection, head))
        return false;
    list.setChainHead(std::move(head));
    auto result = connection.Execute(store::SelectNotWon(connection));
    if (!result)
        return false;
    for (; !result->EndOfFile(); result->MoveNext()) {
        std::optional<std::int64_t> integerId;
        if (result->IsInteger(0))
            integerId = result->FieldInteger(0);
        list.append(integerId, integerId ? std::string_view() : result->FieldView(0), result->FieldView(1),
                    result->FieldView(2));
    }
    if (!result->error().empty()) {
        connection.noteReadError(*result);
        list.clear();
        return false;
    }
    list.trim();
    list.setMatches(now);
    return true;
}

DrawResult DrawFromList(store::DbConnection& connection, ParticipantList& list, DrawRequest request)
{
    if (!list.drawable()) {
        DrawResult refused;
        refused.status = DrawStatus::BadList;
        refused.error = list.problem();
        return refused;
    }
    const std::optional<store::ChangeStamp> before = connection.changeStamp();
    request.listedIds = &list.ids();
    request.listedEncoding = &list.encodedIds();
    request.listedDigest = &list.digest();
    request.listedHead = &list.chainHead();
    DrawResult result = RunDraw(connection, request);
    const std::optional<store::ChangeStamp> after = connection.changeStamp();
    // Nobody else committed from before the draw until now, and the list
    // matched the database before it: then the draw's own marks are the only
    // change, and they are known row by row.
    const bool onlyOurs = result.status == DrawStatus::Done && before && after && list.matches() == before &&
                          before->others == after->others && result.markedIds;
    if (onlyOurs) {
        list.removeIds(*result.markedIds);
        list.setMatches(after);
        list.setChainHead(result.record.digest);
    } else if (result.status == DrawStatus::Done) {
        list.setMatches(std::nullopt);
    }
    // A draw that was refused or undone leaves the stamp to decide: rows it
    // changed before being undone count as changes.
    return result;
}

}  // namespace draw
