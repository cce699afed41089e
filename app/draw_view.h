#pragma once
// How a recorded draw is shown and printed: its winners in the winners
// table (replacements in the voided winners' places, the voids below) and
// the line that names it in the record.

#include <QString>

#include "draw/draw_record.h"

class Grid;

namespace drawview {

// "Draw 3 · 2025-06-01 20:15:03 · digest 5f3a9c0e1b2d4f6a", in the user's
// language, with the digest of the draw's newest entry.
QString RecordLine(const draw::DrawRecord& record);

// The line beside a draw's QR code, on the audience view and the console:
// "Draw 3 · check 5f3a9c0e1b2d4f6a" (the first 16 hex digits of the newest
// digest), naming a void when the digest is a void's.
QString AnchorLine(long long drawId, const std::string& digest, bool afterVoid);

// What a roll is drawn with, on the audience view and the console:
// "Commitment 5f3a9c0e1b2d4f6a" or "Drawn by announcement 2", then
// "Public input: …" once something is typed; "" when there is nothing.
QString RollLine(const QString& commitment, long long announcement, const QString& publicInput);

// Rows 1 .. N: the winners now holding positions 1 .. N (column 1 the name,
// column 2 the number); then one row per voided winner, marked as void.
void FillWinnersGrid(Grid& grid, const draw::DrawRecord& record);

// The number of winners (positions) of the draw: the rows before the voids.
int WinnerRows(const draw::DrawRecord& record);

// One of the two texts in the user's language (lang::tr), for the screen.
QString Say(const char* english, const char* chinese);

// A byte text from the database as shown on screen.
QString Text(const std::string& bytes);
QString Text(const std::optional<std::string>& bytes);

}  // namespace drawview
