#pragma once
// The participants who have not won yet, as the window holds them between
// draws. A million rows fit in a few tens of megabytes: the texts of all rows
// lie in one arena instead of a string per cell. The list is brought up to
// date without reading the table again when the database can tell that
// nothing changed since it was read, and a draw run on this connection is
// applied to it directly.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "draw/draw_picks.h"
#include "draw/prize_draw.h"

namespace draw {

class ParticipantList {
public:
    ParticipantList();
    ~ParticipantList();
    ParticipantList(ParticipantList&&) noexcept;
    ParticipantList& operator=(ParticipantList&&) noexcept;

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    // The texts of row `row` (0 is the highest id) as the database gives
    // them; a Null reads as "". The views stay valid until the list changes.
    std::string idText(std::size_t row) const;
    std::string_view name(std::size_t row) const;
    std::string_view number(std::size_t row) const;

    // Whether a draw can name every row by its id (whole numbers, strictly
    // falling); when not, problem() says why.
    bool drawable() const { return m_ids.ok(); }
    const std::string& problem() const { return m_ids.error(); }
    // The rows' ids, row 0 first, for a draw; complete only when drawable().
    const std::vector<std::int64_t>& ids() const { return m_ids.ids(); }

    // EncodeIds(ids()) and its EligibleDigest, worked out once per state of
    // the list, so that a draw need not spend the time. Only when drawable().
    const std::string& encodedIds() const;
    const std::string& digest() const;
    // Moves whenever the rows change.
    std::uint64_t version() const { return m_version; }

    // Memory the list holds, in bytes.
    std::size_t bytesHeld() const;
    // How often the list was read from the table (a refresh that found
    // nothing changed does not count).
    std::size_t reads() const { return m_reads; }

    // Empties the list; the next refresh reads it again.
    void clear();
    // Lets go of memory the rows appended since clear() do not use.
    void trim();
    // Adds a row below the others. `integerId` is the id when the database
    // holds it as a whole number (its text is then not kept twice).
    void append(std::optional<std::int64_t> integerId, std::string_view idText, std::string_view name,
                std::string_view number);
    // Drops the rows with these ids, keeping the order of the rest. Only for
    // a drawable list.
    void removeIds(std::vector<std::int64_t> ids);

    // Where the database stood when the list last matched it; nullopt when
    // that is not known (the list must be read again).
    const std::optional<store::ChangeStamp>& matches() const { return m_matches; }
    void setMatches(std::optional<store::ChangeStamp> stamp) { m_matches = stamp; }
    void noteRead() { ++m_reads; }
    // The record's head when the rows were read (see DrawRequest::listedHead).
    const std::string& chainHead() const { return m_chainHead; }
    void setChainHead(std::string head) { m_chainHead = std::move(head); }

private:
    struct Chunk;
    const char* rowBytes(std::size_t row) const;
    char* reserveBytes(std::size_t count);
    void changed();

    std::vector<std::unique_ptr<Chunk>> m_chunks;
    std::size_t m_filling = 0;  // the chunk rows are appended to
    // Where each row's texts begin: chunk index in the upper 32 bits, offset
    // within the chunk in the lower.
    std::vector<std::uint64_t> m_rows;
    EligibleListBuilder m_ids;
    std::optional<store::ChangeStamp> m_matches;
    std::uint64_t m_version = 0;
    mutable std::optional<std::string> m_encoded;
    mutable std::optional<std::string> m_digest;
    std::size_t m_reads = 0;
    std::string m_chainHead;
};

// Brings `list` up to the not-yet-won participants, highest id first: reads
// the table again unless the database says that nothing has changed since
// the list last matched it. False with connection.error() when reading
// failed (the list is then empty); an empty list is not an error.
bool RefreshNotWon(store::DbConnection& connection, ParticipantList& list);

// Runs a draw (see RunDraw) from the list as it stands, which the caller has
// just refreshed and shown. When the draw is done and nobody else changed
// the database meanwhile, the list drops exactly the rows the draw marked
// and still matches the database; otherwise it is read again at the next
// refresh. A list that is not drawable is refused with BadList.
DrawResult DrawFromList(store::DbConnection& connection, ParticipantList& list, DrawRequest request);

}  // namespace draw
