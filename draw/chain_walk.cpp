#include "draw/chain_walk.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "platform/language/language.h"

namespace draw {
namespace {

class Walk {
public:
    Walk(const std::vector<ChainNode>& nodes, const std::string& start)
        : m_nodes(nodes), m_start(start), m_visited(nodes.size(), false)
    {
        m_result.faults.resize(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            m_successors[nodes[i].previous].push_back(i);
            m_digests.insert(nodes[i].digest);
        }
        for (auto& [previous, next] : m_successors)
            std::sort(next.begin(), next.end(), [&](std::size_t a, std::size_t b) { return before(a, b); });
    }

    ChainOrder run()
    {
        std::string current = m_start;
        while (m_result.order.size() < m_nodes.size()) {
            std::optional<std::size_t> next = follow(current);
            if (!next)
                next = resume();
            if (!next) {
                placeLoop();
                break;
            }
            m_visited[*next] = true;
            m_placed.insert(m_nodes[*next].digest);
            m_result.order.push_back(*next);
            current = m_nodes[*next].digest;
        }
        return std::move(m_result);
    }

private:
    bool before(std::size_t a, std::size_t b) const
    {
        return m_nodes[a].sortKey != m_nodes[b].sortKey ? m_nodes[a].sortKey < m_nodes[b].sortKey : a < b;
    }

    // The entry that links to `digest`; a second one is a fork.
    std::optional<std::size_t> follow(const std::string& digest)
    {
        const auto found = m_successors.find(digest);
        if (found == m_successors.end())
            return std::nullopt;
        std::optional<std::size_t> next;
        for (std::size_t candidate : found->second) {
            if (m_visited[candidate])
                continue;
            if (!next) {
                next = candidate;
                continue;
            }
            note(candidate, lang::tr("another entry links to the same entry before it: the chain forks here",
                                     "另一条记录链接到同一条前一记录：记录链在此分叉"));
        }
        return next;
    }

    // After a break: the first entry not placed yet whose predecessor is
    // placed (the other side of a fork) or missing.
    std::optional<std::size_t> resume()
    {
        std::optional<std::size_t> best;
        for (std::size_t i = 0; i < m_nodes.size(); ++i) {
            if (m_visited[i])
                continue;
            const bool dangling = m_nodes[i].previous != m_start && !m_digests.count(m_nodes[i].previous);
            if (!dangling && !predecessorPlaced(i))
                continue;
            if (!best || before(i, *best))
                best = i;
        }
        if (best && m_result.faults[*best].empty())
            note(*best, lang::tr("its link to the entry before it does not match: an earlier entry was deleted or "
                                 "changed",
                                 "它与前一条记录的链接不符：之前的某条记录被删除或修改过"));
        return best;
    }

    bool predecessorPlaced(std::size_t node) const
    {
        return m_nodes[node].previous == m_start || m_placed.count(m_nodes[node].previous);
    }

    // Entries that link only among themselves.
    void placeLoop()
    {
        std::vector<std::size_t> rest;
        for (std::size_t i = 0; i < m_nodes.size(); ++i)
            if (!m_visited[i])
                rest.push_back(i);
        std::sort(rest.begin(), rest.end(), [&](std::size_t a, std::size_t b) { return before(a, b); });
        for (std::size_t i : rest) {
            note(i, lang::tr("it stands outside the chain: its links run in a loop", "它不在记录链上：其链接构成循环"));
            m_result.order.push_back(i);
        }
    }

    void note(std::size_t node, std::string fault) { m_result.faults[node].push_back(std::move(fault)); }

    const std::vector<ChainNode>& m_nodes;
    const std::string& m_start;
    std::vector<bool> m_visited;
    std::map<std::string, std::vector<std::size_t>> m_successors;
    std::set<std::string> m_digests;
    std::set<std::string> m_placed;
    ChainOrder m_result;
};

}  // namespace

ChainOrder OrderChain(const std::vector<ChainNode>& nodes, const std::string& start)
{
    return Walk(nodes, start).run();
}

}  // namespace draw
