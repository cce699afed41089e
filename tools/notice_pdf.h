#pragma once
// An announcement's notice as a PDF page (A4) to print or publish.

#include <string>
#include <vector>

namespace dbrecord {

// Writes the lines, wrapped to the page, to `path` (replaced only by a
// complete file). False with `error`.
bool WriteNoticePdf(const std::vector<std::string>& lines, const std::string& path, std::string& error);

}  // namespace dbrecord
