#pragma once
// Everything the audience view shows, in one value: the window fills it and
// the view draws it. A field left empty (or zero) is not shown, so that what
// has no source yet stays hidden until something fills it.

#include <optional>
#include <vector>

#include <QString>

struct AudiencePerson {
    QString name;    // full values: the view masks them as it is set to
    QString number;
    bool replacement = false;  // drawn for a voided winner

    bool operator==(const AudiencePerson&) const = default;
};

// What a photo of the screen pins down: the draw and the digest of its
// newest record entry (after a void, the void's).
struct AudienceAnchor {
    long long drawId = 0;
    QString digest;  // 64 hex digits
    bool afterVoid = false;

    bool operator==(const AudienceAnchor&) const = default;
};

struct AudienceState {
    enum class Phase {
        Idle,       // before a draw: the level to come
        Rolling,    // names roll through the display
        Drawing,    // stopped, the winners not yet known: no name is shown
        Result,     // the winners of the draw
        Replacing,  // a short roll before a replacement is shown
    };
    Phase phase = Phase::Idle;

    QString eventTitle;
    QString level;      // "一等奖"
    QString prizeName;  // what is won at this level
    int round = 0;      // "第 3 轮 / 6": this round, of `rounds`
    int rounds = 0;
    std::optional<long long> remaining;  // participants who can still win
    bool grand = false;                  // the highest level: its own look

    std::vector<AudiencePerson> rolling;  // the names rolling now
    QString commitment;                   // 16 hex digits shown during a roll
    long long announcement = 0;           // the roll draws from this announcement
    QString publicInput;                  // as typed on the console during the roll

    std::vector<AudiencePerson> winners;  // of the draw shown, in position order
    std::optional<AudienceAnchor> anchor;

    // An operator's dialog is up or a lock is awaited: no rolling name may
    // stand still as if it had won.
    bool paused = false;

    bool operator==(const AudienceState&) const = default;
};
