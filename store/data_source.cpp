#include "store/data_source.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include <libpq-fe.h>

#include "platform/language/language.h"
#include "store/sha256.h"

namespace store {

namespace {

constexpr std::string_view kSchemes[] = {"postgresql://", "postgres://"};
// Stands where a secret was cut off with what followed it.
constexpr std::string_view kElided = "…";

struct OptionsFree {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
using Options = std::unique_ptr<PQconninfoOption, OptionsFree>;

// libpq's reading of a connection string (URI or key=value); nullptr when it
// cannot read it. Its message is dropped unseen: it quotes the part it could
// not decode, which may be the password.
Options parse(std::string_view text)
{
    char* message = nullptr;
    Options options(PQconninfoParse(std::string(text).c_str(), &message));
    PQfreemem(message);
    return options;
}

// libpq marks the values it never displays with '*'.
bool isSecret(const PQconninfoOption& option)
{
    return option.dispchar && option.dispchar[0] == '*';
}

const std::vector<std::string>& secretKeywords()
{
    static const std::vector<std::string> keywords = [] {
        std::vector<std::string> names;
        const Options all = parse("");
        for (const PQconninfoOption* option = all.get(); option && option->keyword; ++option)
            if (isSecret(*option))
                names.emplace_back(option->keyword);
        return names;
    }();
    return keywords;
}

bool isSecretKeyword(std::string_view keyword)
{
    const auto& keywords = secretKeywords();
    return std::find(keywords.begin(), keywords.end(), keyword) != keywords.end();
}

const char* valueOf(const Options& options, std::string_view keyword)
{
    for (const PQconninfoOption* option = options.get(); option && option->keyword; ++option)
        if (keyword == option->keyword)
            return option->val;
    return nullptr;
}

bool holdsSecret(const Options& options)
{
    for (const PQconninfoOption* option = options.get(); option && option->keyword; ++option)
        if (isSecret(*option) && option->val)
            return true;
    return false;
}

// %XX as the byte it stands for; a malformed sequence stays as written (the
// result is only compared, never connected with).
std::string percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() && text[i] == '%' ? HexDigitValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (low < 0) {
            out += text[i];
            continue;
        }
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

// A URI as a person writes it. The user information runs to the last '@'
// before the query, and the query starts at the first '?' after the first
// '@': so a password keeps a raw '/', '@', ':' or '?' whole. (libpq reads
// the user information only up to the first '@' or '/'; ServerAddressProblem
// refuses an address where the two readings differ.)
struct UriParts {
    std::string_view scheme;  // "postgresql://"
    bool hasUserInfo = false;
    std::string_view user;
    bool hasPassword = false;
    std::string_view password;
    std::string_view rest;  // hosts, database and query
};

std::optional<UriParts> splitUri(std::string_view text)
{
    UriParts parts;
    for (std::string_view scheme : kSchemes)
        if (text.substr(0, scheme.size()) == scheme)
            parts.scheme = scheme;
    if (parts.scheme.empty())
        return std::nullopt;
    const std::string_view after = text.substr(parts.scheme.size());
    const std::size_t firstAt = after.find('@');
    if (firstAt == std::string_view::npos) {
        parts.rest = after;
        return parts;
    }
    const std::size_t query = after.find('?', firstAt);
    const std::size_t lastAt = query == std::string_view::npos ? after.rfind('@') : after.rfind('@', query - 1);
    const std::string_view userInfo = after.substr(0, lastAt);
    const std::size_t colon = userInfo.find(':');
    parts.hasUserInfo = true;
    parts.user = userInfo.substr(0, colon);
    parts.hasPassword = colon != std::string_view::npos;
    if (parts.hasPassword)
        parts.password = userInfo.substr(colon + 1);
    parts.rest = after.substr(lastAt + 1);
    return parts;
}

bool isSecretParameter(std::string_view parameter)
{
    return isSecretKeyword(percentDecoded(parameter.substr(0, parameter.find('='))));
}

// Calls `use` with each parameter of the query in `rest`, in order.
template <typename Use>
void forEachParameter(std::string_view rest, Use use)
{
    const std::size_t query = rest.find('?');
    if (query == std::string_view::npos)
        return;
    for (std::size_t start = query + 1; start <= rest.size();) {
        const std::size_t end = std::min(rest.find('&', start), rest.size());
        if (end > start)
            use(rest.substr(start, end - start));
        start = end + 1;
    }
}

// The hosts, database and query without the query's secret parameters.
std::string withoutSecretParameters(std::string_view rest)
{
    std::string out(rest.substr(0, rest.find('?')));
    char separator = '?';
    forEachParameter(rest, [&](std::string_view parameter) {
        if (isSecretParameter(parameter))
            return;
        out += separator;
        out += parameter;
        separator = '&';
    });
    return out;
}

std::string redactedUri(const UriParts& parts)
{
    std::string shown(parts.scheme);
    if (parts.hasUserInfo) {
        shown += parts.user;
        shown += '@';
    }
    shown += withoutSecretParameters(parts.rest);
    // libpq has the last word on where a secret stands: should it still find
    // one in what would be shown, nothing but the scheme is shown.
    if (holdsSecret(parse(shown)))
        return std::string(parts.scheme) + std::string(kElided);
    return shown;
}

// A value in key=value form, quoted when libpq needs it to be.
std::string quotedValue(std::string_view value)
{
    if (!value.empty() && value.find_first_of(" \t\n\r\f\v'\\") == std::string_view::npos)
        return std::string(value);
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

// Text libpq cannot read, cut after the first secret keyword that is
// followed by '=': what comes after cannot be told apart from the secret.
std::string cutAtSecretKeyword(std::string_view text)
{
    std::size_t cut = std::string_view::npos;
    for (const std::string& keyword : secretKeywords()) {
        for (std::size_t at = text.find(keyword); at != std::string_view::npos; at = text.find(keyword, at + 1)) {
            const bool wordStart = at == 0 || text[at - 1] == ' ' || text[at - 1] == '\t';
            const std::size_t equals = text.find_first_not_of(" \t", at + keyword.size());
            if (wordStart && equals != std::string_view::npos && text[equals] == '=')
                cut = std::min(cut, equals + 1);
        }
    }
    if (cut == std::string_view::npos)
        return std::string(text);
    return std::string(text.substr(0, cut)) + std::string(kElided);
}

// A key=value connection string without its secrets; any other text (a
// file's path) as it is.
std::string redactedKeyValues(std::string_view text)
{
    const Options options = parse(text);
    if (!options)
        return cutAtSecretKeyword(text);
    if (!holdsSecret(options))
        return std::string(text);
    std::string shown;
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
        if (!option->val || isSecret(*option))
            continue;
        shown += (shown.empty() ? "" : " ") + std::string(option->keyword) + "=" + quotedValue(option->val);
    }
    return shown;
}

}  // namespace

bool IsServerDataSource(std::string_view dataSource)
{
    return splitUri(dataSource).has_value();
}

std::string RedactedDataSource(std::string_view dataSource)
{
    const std::optional<UriParts> uri = splitUri(dataSource);
    return uri ? redactedUri(*uri) : redactedKeyValues(dataSource);
}

bool HoldsPassword(std::string_view dataSource)
{
    if (const std::optional<UriParts> uri = splitUri(dataSource)) {
        bool secret = uri->hasPassword;
        forEachParameter(uri->rest, [&](std::string_view parameter) { secret = secret || isSecretParameter(parameter); });
        return secret;
    }
    const Options options = parse(dataSource);
    return options ? holdsSecret(options) : cutAtSecretKeyword(dataSource) != dataSource;
}

std::string FileNameProblem(const std::string& path)
{
    if (!HoldsPassword(path))
        return {};
    return lang::trf("'%1' is not a file name but a connection to a database server with a password. Name a "
                     "server as postgresql://user@host/dbname, and keep the password in ~/.pgpass.",
                     "“%1”不是文件名，而是带密码的数据库服务器连接。请把服务器写成 postgresql://用户@主机/数据库名，"
                     "并把密码放在 ~/.pgpass 中。",
                     {RedactedDataSource(path)});
}

std::string ServerAddressProblem(const std::string& uri)
{
    const Options options = parse(uri);
    const std::optional<UriParts> parts = splitUri(uri);
    const char* password = valueOf(options, "password");
    const bool readAsWritten =
        options && (!parts || !parts->hasPassword || (password && percentDecoded(parts->password) == password));
    if (readAsWritten)
        return {};
    return lang::trf("The address of the database server %1 cannot be read as it is written. Write it as "
                     "postgresql://user@host/dbname, with the characters %2 in a name or password percent-encoded "
                     "(%3); better, keep the password in ~/.pgpass instead of the address.",
                     "数据库服务器的地址 %1 无法按所写的样子读取。请写成 postgresql://用户@主机/数据库名，"
                     "名称或密码中的字符 %2 要用百分号编码（%3）；更好的做法是把密码放在 ~/.pgpass 中，而不是写在地址里。",
                     {RedactedDataSource(uri), "% @ / ? :", "%25 %40 %2F %3F %3A"});
}

}  // namespace store
