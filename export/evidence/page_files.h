#pragma once
// The verification page's files, carried inside the program (made at build
// time from verify.js and verify_page.html beside this header).

#include <string_view>

namespace evidence {

std::string_view VerifyScript();
// The page, with /*SORTIA_DATA*/ where the pack's JSON goes and
// /*SORTIA_SCRIPT*/ where the script goes.
std::string_view VerifyPageTemplate();

}  // namespace evidence
