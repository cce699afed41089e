#pragma once
// The one way the record hashes a sequence of fields: SHA-256 over
// netstrings "<decimal byte length>:<bytes>,", so that no two sequences of
// fields run together into the same bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "store/sha256.h"

namespace draw {

class NetstringDigest {
public:
    NetstringDigest& add(std::string_view bytes)
    {
        m_hash.update(std::to_string(bytes.size()));
        m_hash.update(":");
        m_hash.update(bytes);
        m_hash.update(",");
        return *this;
    }
    NetstringDigest& add(const std::string& bytes) { return add(std::string_view(bytes)); }
    NetstringDigest& add(const char* bytes) { return add(std::string_view(bytes)); }
    template <typename Number>
        requires std::is_integral_v<Number>
    NetstringDigest& add(Number number)
    {
        return add(std::to_string(number));
    }
    // Null is the empty text.
    NetstringDigest& add(const std::optional<std::string>& text) { return add(text ? std::string_view(*text) : ""); }
    NetstringDigest& add(const std::optional<long long>& number)
    {
        return number ? add(*number) : add(std::string_view());
    }
    store::Digest bytes() { return m_hash.finish(); }
    std::string hex() { return store::ToHex(m_hash.finish()); }

private:
    store::Sha256 m_hash;
};

}  // namespace draw
