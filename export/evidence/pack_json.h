#pragma once
// The entries of a draw's evidence pack as JSON, in the form verify.js
// reads: one object per entry with the record's column names, texts that
// are not UTF-8 as {"hex": "..."}, participant ids as decimal strings (they
// may exceed what a script's numbers hold exactly), eligible lists as
// arrays of ids.

#include <optional>
#include <string>
#include <vector>

#include <QtCore/QJsonObject>

#include "draw/draw_record.h"
#include "draw/record_entries.h"

namespace evidence {

// A draw's entries, read whole (with their lists), in chain order.
struct PackEntries {
    draw::DrawRecord draw;  // with its voids and lists
    std::vector<QJsonObject> entries;
    std::optional<draw::Announcement> announcement;  // the one it was drawn from, with its list
    bool verified = false;  // verify found the draw's entries as recorded when they were read
};

// Reads what the pack holds of draw `drawId`. False with connection.error()
// (empty for an unknown draw).
bool ReadPackEntries(store::DbConnection& connection, long long drawId, bool masked, PackEntries& pack);

// The whole pack as JSON text, safe inside an HTML <script> element.
std::string PackJson(const PackEntries& pack, const std::string& event, bool masked);

}  // namespace evidence
