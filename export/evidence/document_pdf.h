#pragma once
// Documents to print or publish as A4 PDF pages: an announcement's notice,
// a draw's certificate. Written by the command-line tool as well as the
// window, so it makes its own screenless GUI application when there is none.

#include <map>
#include <string>
#include <vector>

#include <QtGui/QImage>

namespace evidence {

struct PdfDocument {
    std::string title;
    // Rich text (Qt's HTML subset); texts from the database must come in
    // through HtmlText().
    std::string html;
    // Images the HTML names in <img src="NAME">.
    std::map<std::string, QImage> images;
};

// The text with HTML's special characters escaped.
std::string HtmlText(const std::string& text);

// The lines as a simple document, one paragraph each.
PdfDocument LinesDocument(const std::vector<std::string>& lines);

// Writes the document to `path`, over as many pages as it needs, replacing
// an existing file only by a complete one. False with `error`.
bool WritePdf(const PdfDocument& document, const std::string& path, std::string& error);

}  // namespace evidence
