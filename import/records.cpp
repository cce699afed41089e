#include "import/records.h"

#include <algorithm>

#include "store/utf8.h"

namespace importer {

namespace {

constexpr std::size_t kQuotedChars = 60;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

void ProblemList::add(Problem problem)
{
    ++m_count;
    if (!keeps(problem.line))
        return;
    const auto at = std::upper_bound(m_kept.begin(), m_kept.end(), problem.line,
                                     [](std::size_t line, const Problem& p) { return line < p.line; });
    m_kept.insert(at, std::move(problem));
    if (m_kept.size() > kKept)
        m_kept.pop_back();
}

std::string quoteValue(std::string_view value)
{
    std::string out;
    std::size_t chars = 0;
    while (!value.empty() && chars < kQuotedChars) {
        const std::size_t length = store::Utf8SequenceLength(value);
        const auto lead = static_cast<unsigned char>(value[0]);
        if (length == 0 || lead < 0x20 || lead == 0x7F)
            out += kReplacement;
        else
            out.append(value.substr(0, length));
        value.remove_prefix(std::max<std::size_t>(length, 1));
        ++chars;
    }
    if (!value.empty())
        out += "…";
    return out;
}

std::size_t characterCount(std::string_view text)
{
    return std::size_t(std::count_if(text.begin(), text.end(),
                                     [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string_view trimmedView(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace importer
