#pragma once
// The window's own messages as Qt strings, in the user's language (English,
// or Chinese under a Chinese system language). Texts fixed by the window's
// design never go through here.

#include <QString>

#include "platform/language/language.h"

namespace msg {

inline QString tr(const char* english, const char* chinese)
{
    return QString::fromStdString(lang::tr(english, chinese));
}

// %1..%9 replaced by the arguments (anything a QString is made from).
template <typename... Arguments>
QString trf(const char* english, const char* chinese, const Arguments&... arguments)
{
    return QString::fromStdString(lang::trf(english, chinese, {QString(arguments).toStdString()...}));
}

}  // namespace msg
