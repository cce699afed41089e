#pragma once
// The order of the chain, recovered from the links alone: from the start,
// each entry is followed by the one whose previous_digest is its digest.
// What does not fit (an entry whose link names nothing, a second entry on
// one predecessor, entries linked in a loop) is said and placed after what
// came before it, so that every entry is still checked.

#include <cstddef>
#include <string>
#include <vector>

namespace draw {

struct ChainNode {
    std::string previous;
    std::string digest;
    // Orders entries that the links cannot: where the walk goes on after a
    // break, and which of two entries on one predecessor comes first.
    std::string sortKey;
};

struct ChainOrder {
    std::vector<std::size_t> order;               // indexes into the nodes, in chain order
    std::vector<std::vector<std::string>> faults;  // per node: what is wrong with its place
};

ChainOrder OrderChain(const std::vector<ChainNode>& nodes, const std::string& start);

}  // namespace draw
