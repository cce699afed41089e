#include "export/masking.h"

#include <vector>

#include "store/utf8.h"

namespace exporter {

namespace {

// The text cut into characters (code points); a byte that starts no
// well-formed sequence counts as one.
std::vector<std::string_view> characters(std::string_view text)
{
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const std::size_t length = std::max<std::size_t>(1, store::Utf8SequenceLength(text));
        pieces.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return pieces;
}

}  // namespace

std::string MaskName(std::string_view name)
{
    const std::vector<std::string_view> chars = characters(name);
    std::size_t letters = 0;
    for (std::string_view c : chars)
        letters += c != " ";
    std::string masked;
    std::size_t seen = 0;
    for (std::string_view c : chars) {
        if (c == " ") {
            masked += ' ';
            continue;
        }
        ++seen;
        const bool kept = (seen == 1 || (letters >= 3 && seen == letters)) && store::Utf8SequenceLength(c) > 0;
        masked += kept ? std::string(c) : std::string("*");
    }
    return masked;
}

std::string MaskNumber(std::string_view number)
{
    const std::vector<std::string_view> chars = characters(number);
    if (chars.size() < 8)
        return std::string(number);
    std::string masked;
    for (std::size_t i = 0; i < chars.size(); ++i)
        masked += i < 3 || i + 4 >= chars.size() ? std::string(chars[i]) : std::string("*");
    return masked;
}

}  // namespace exporter
