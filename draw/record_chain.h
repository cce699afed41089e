#pragma once
// The chain's newest entry: where the next entry links to, and the anchor a
// QR code shows after each stop and void.

#include <string>

#include "store/connection.h"

namespace draw {

// The digest of the newest entry, kChainStart for an empty record. Among
// the newest entry of each table it is the one no entry links to, found
// through the indexes on previous_digest without reading any list. False
// with connection.error(), also when no entry is free of a successor (the
// record was edited into a loop).
bool ChainHead(store::DbConnection& connection, std::string& digest);

// The newest entry's digest and the draw whose segment it ends: the draw
// itself, or the last draw before a void, correction, reset or
// announcement (0 before the first draw). An empty record gives 0 and
// kChainStart. Reads older files too.
struct Anchor {
    long long drawId = 0;
    std::string digest;
};
bool NewestAnchor(store::DbConnection& connection, Anchor& anchor);

// The head as a list read now should remember it (see
// DrawRequest::listedHead): ChainHead, or "" for a file whose record is
// missing or of an older layout. False with connection.error().
bool ListedHead(store::DbConnection& connection, std::string& head);

// One more than the highest value of `column` in `table` (1 for none),
// inside the caller's transaction. False with connection.error().
bool NextNumber(store::DbConnection& connection, const char* table, const char* column, long long& next);

}  // namespace draw
