#pragma once
// A draw's evidence pack: what someone who was not in the room needs to
// check the draw without trusting the organiser's program.
//
//   certificate.pdf  the draw in plain words, with the QR code of its anchor
//   entries.json     the draw's entries of the record (the draw, its voids,
//                    what followed before the next draw, its corrections)
//                    with their eligible lists, and an announcement it was
//                    drawn from
//   eligible.csv     the draw's eligible list in order: position, id and the
//                    name as the room sees it (masked)
//   verify.html      one self-contained page holding entries.json and a
//                    script that recomputes every digest, seed and winner
//                    offline and sets data-result="match" or "mismatch" on
//                    <body>; the script also runs under Node:
//                    `node verify.js entries.json` (verify.js is written too)

#include <string>

#include "store/connection.h"

namespace evidence {

struct PackOptions {
    std::string event;    // the event's title, for the certificate and the page
    bool masked = false;  // winners' names and numbers masked (digests then cannot be recomputed)
};

// Writes the pack of draw `drawId` into `folder` (made when missing; files
// of an earlier pack there are replaced). False with `error`; an unknown
// draw is refused in plain words.
bool WriteEvidencePack(store::DbConnection& connection, long long drawId, const std::string& folder,
                       const PackOptions& options, std::string& error);

}  // namespace evidence
