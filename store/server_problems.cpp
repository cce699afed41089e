#include "store/server_problems.h"

#include <cctype>

#include "platform/language/language.h"

namespace store {

namespace {

// What a class of SQLSTATEs (two characters) or one code (five) means here;
// %1 is the database. The first entry that matches decides, so codes stand
// before their class.
struct Meaning {
    std::string_view code;
    ErrorKind kind;
    const char* english;
    const char* chinese;
};

const Meaning kLost{"08", ErrorKind::ConnectionLost, "The connection to the database server of %1 was lost",
                    "与数据库 %1 的服务器的连接断开了"};
const Meaning kConflict{"40001", ErrorKind::Conflict,
                        "Another PC changed the list at the same moment, and the database server undid this "
                        "change of %1",
                        "另一台电脑同时修改了名单，数据库服务器撤销了对 %1 的这次修改"};
const Meaning kOther{"", ErrorKind::Other, "The database server refused a statement on %1",
                     "数据库服务器拒绝了对 %1 执行的语句"};

const Meaning kMeanings[] = {
    kConflict,  // a serialization failure
    {"40P01", ErrorKind::Conflict, kConflict.english, kConflict.chinese},  // a deadlock
    {"28", ErrorKind::Other,
     "The database server refused the login to %1: check the user name, and the password in ~/.pgpass",
     "数据库服务器拒绝登录 %1：请检查用户名，以及 ~/.pgpass 中的密码"},
    {"42501", ErrorKind::Other,
     "The database user may not do this in %1 (permission denied); the server's administrator can grant it",
     "数据库用户无权在 %1 中执行此操作（权限不足）；服务器管理员可以授予权限"},
    {"53100", ErrorKind::DiskFull,
     "The disk of the database server holding %1 is full, and nothing of the change was kept. Ask the server's "
     "administrator to make room, then try again",
     "存放 %1 的数据库服务器磁盘已满，这次修改没有保存任何内容。请让服务器管理员腾出空间，然后重试"},
    {"53200", ErrorKind::Other, "The database server of %1 ran out of memory", "数据库 %1 的服务器内存不足"},
    {"53300", ErrorKind::Other,
     "The database server of %1 takes no more connections; close other programs that use it, or ask its "
     "administrator",
     "数据库 %1 的服务器不再接受连接；请关闭其他使用它的程序，或询问服务器管理员"},
    {"53", ErrorKind::Other, "The database server of %1 lacks the resources for this", "数据库 %1 的服务器资源不足"},
    {"25006", ErrorKind::ReadOnly,
     "The database server of %1 accepts no changes (a read-only standby, or a read-only setting)",
     "数据库 %1 的服务器不接受修改（只读的备用服务器，或设置为只读）"},
    {"55P03", ErrorKind::Busy,
     "Another program holds a lock in %1, and nothing was changed; try again once it has finished",
     "另一个程序锁住了 %1 中的数据，没有做任何修改；请等它完成后重试"},
    {"57014", ErrorKind::Other, "The database server cancelled the statement on %1 (a time limit, or its administrator)",
     "数据库服务器取消了对 %1 执行的语句（超出时间限制，或被管理员取消）"},
    {"57P", ErrorKind::ConnectionLost, kLost.english, kLost.chinese},  // the server shuts down or restarts
    kLost,
    {"3D000", ErrorKind::Other, "The database %1 does not exist on its server", "服务器上不存在数据库 %1"},
    {"42P01", ErrorKind::Other, "A table the program needs is missing in %1", "%1 中缺少程序需要的表"},
    {"23505", ErrorKind::Other, "A value that must be unique is already in %1", "%1 中已经有这个必须唯一的值"},
    {"22", ErrorKind::Other, "A value does not fit where it goes in %1", "%1 中有值与其所在的列不相符"},
};

const Meaning& meaningOf(std::string_view sqlstate)
{
    for (const Meaning& meaning : kMeanings)
        if (sqlstate.substr(0, meaning.code.size()) == meaning.code)
            return meaning;
    return kOther;
}

std::string withDetail(const std::string& message, const std::string& detail)
{
    if (detail.empty())
        return message;
    return message + lang::trf(" (server: %1)", "（服务器：%1）", {detail});
}

}  // namespace

ErrorKind ServerErrorKind(std::string_view sqlstate, bool inDraw)
{
    // Inside a draw a duplicate record number can only come from another
    // draw committed meanwhile: drawing again takes the next number.
    if (sqlstate == "23505" && inDraw)
        return ErrorKind::Conflict;
    return sqlstate.size() == 5 ? meaningOf(sqlstate).kind : ErrorKind::Other;
}

std::string DescribeServerFailure(std::string_view sqlstate, ErrorKind kind, const std::string& detail,
                                  const std::string& shownSource)
{
    const Meaning& meaning = kind == ErrorKind::ConnectionLost ? kLost
                             : kind == ErrorKind::Conflict     ? kConflict
                                                               : meaningOf(sqlstate);
    return withDetail(lang::trf(meaning.english, meaning.chinese, {shownSource}), detail);
}

std::string DescribeConnectFailure(const std::string& detail, bool needsPassword, const std::string& shownSource)
{
    std::string message = withDetail(lang::trf("Cannot connect to the participant database %1",
                                               "无法连接到参与者数据库 %1", {shownSource}),
                                     detail);
    if (needsPassword)
        message += lang::tr(". The server asks for a password: put it in ~/.pgpass of this user "
                            "(host:port:database:user:password, mode 600)",
                            "。服务器要求密码：请把它写入当前用户的 ~/.pgpass（主机:端口:数据库:用户:密码，权限 600）");
    return message;
}

std::string OneLine(const char* message)
{
    std::string text;
    bool lineStart = false;
    for (const char* c = message ? message : ""; *c; ++c) {
        if (*c == '\n') {
            lineStart = true;
            continue;
        }
        if (lineStart && (*c == ' ' || *c == '\t'))
            continue;
        if (lineStart && !text.empty())
            text += ' ';
        lineStart = false;
        text += *c;
    }
    while (!text.empty() && (text.back() == '.' || std::isspace(static_cast<unsigned char>(text.back()))))
        text.pop_back();
    return text;
}

}  // namespace store
