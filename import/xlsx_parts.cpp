#include "import/xlsx_parts.h"

#include <algorithm>
#include <map>

#include "platform/language/language.h"
#include "import/records.h"

namespace importer {

namespace {

// Format notes (ECMA-376): _rels/.rels names the workbook part; the
// workbook's <sheets> lists the tabs in order, each naming its part through a
// relationship id in the workbook's own .rels; the shared strings part holds
// one <si> per string, its text in <t> elements, some inside runs (<r>),
// beside phonetic guides (<rPh>) that are not part of the value.
constexpr std::size_t kMaxSmallPart = 16u << 20;
// Legitimate XML packs ten to a hundred times smaller; far beyond that a
// part was made to take the reader's time.
constexpr std::size_t kMinPartLimit = 64u << 20;
constexpr std::size_t kUnpackPerPackedByte = 256;
constexpr std::size_t kMaxPart = std::size_t(2048) << 20;
// What the reader keeps (texts and their bookkeeping) against the file's
// size: a sheet of small numbers keeps some twenty bytes for each it packs
// into one, which is also about what a CSV line of them costs.
constexpr std::size_t kMinKept = 32u << 20;
constexpr std::size_t kKeptPerFileByte = 32;
// A shared string table holds distinct strings, which cannot pack tighter
// than a few to the byte; empty or repeated ones can.
constexpr std::size_t kStringsPerPackedByte = 4;
constexpr std::size_t kStringsAlways = 4096;

XmlFeed wholeText(const std::string& text)
{
    return [&text, given = false](std::string& chunk) mutable {
        chunk = given ? std::string() : text;
        given = true;
        return true;
    };
}

struct Relationship {
    std::string type;
    std::string target;
};

class RelationshipsHandler : public XmlHandler {
public:
    bool startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (name == "Relationship")
            relationships[std::string(attributes.value("Id"))] = {std::string(attributes.value("Type")),
                                                                  std::string(attributes.value("Target"))};
        return true;
    }
    bool endElement(std::string_view) override { return true; }
    bool text(std::string_view) override { return true; }

    std::map<std::string, Relationship> relationships;
};

// id -> relationship, from a .rels part (a damaged one gives what it holds).
std::map<std::string, Relationship> readRelationships(const std::string& text)
{
    RelationshipsHandler handler;
    XmlReader().read(wholeText(text), handler);
    return std::move(handler.relationships);
}

// The relationship id of the first <sheet> of the workbook. Its attribute is
// r:id in a namespace that differs between transitional and strict files.
class FirstSheetHandler : public XmlHandler {
public:
    bool startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (name == "sheet" && !attributes.prefixedValue("id").empty())
            id = attributes.prefixedValue("id");
        return id.empty();
    }
    bool endElement(std::string_view) override { return true; }
    bool text(std::string_view) override { return true; }

    std::string id;
};

bool endsWith(const std::string& s, std::string_view end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// A relationship's target as a part name: absolute ("/xl/...") or relative to
// the folder of the part that refers to it.
std::string resolvePart(const std::string& folder, const std::string& target)
{
    if (!target.empty() && target.front() == '/')
        return target.substr(1);
    std::string base = folder;
    std::string rest = target;
    while (rest.rfind("../", 0) == 0) {
        rest.erase(0, 3);
        const std::size_t slash = base.find_last_of('/', base.empty() ? 0 : base.size() - 2);
        base = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
    }
    return base + rest;
}

std::string folderOf(const std::string& part)
{
    const std::size_t slash = part.find_last_of('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

class SharedStringsHandler : public XmlHandler {
public:
    SharedStringsHandler(SharedStrings& strings, WorkbookBudget& budget, std::size_t maxCount)
        : m_strings(strings), m_budget(budget), m_maxCount(maxCount)
    {
    }

    bool startElement(std::string_view name, const XmlAttributes&) override
    {
        if (name == "si") {
            m_inItem = true;
            m_current.clear();
            m_characters = 0;
        }
        m_phonetic += name == "rPh";
        m_inText = name == "t";
        return true;
    }
    bool endElement(std::string_view name) override
    {
        m_inText = false;
        m_phonetic -= name == "rPh";
        if (name != "si" || !m_inItem)
            return true;
        m_inItem = false;
        if (m_strings.size() == m_maxCount)
            return refuse(lang::tr("the workbook holds more shared strings than its size can hold",
                                   "工作簿中的共享字符串比它的大小所能容纳的还多"));
        if (!m_budget.keep(m_current.size() + sizeof(std::uint32_t)))
            return refuse(WorkbookBudget::exceeded());
        m_strings.add(m_current);
        return true;
    }
    bool text(std::string_view piece) override
    {
        if (!m_inItem || !m_inText || m_phonetic != 0)
            return true;
        m_characters += characterCount(piece);
        if (m_characters > kMaxFieldChars)
            return refuse(lang::trf("the workbook holds a text longer than %1 characters, more than a cell holds "
                                    "('%2')",
                                    "工作簿中有超过 %1 个字符的文本，比单元格所能容纳的还多（“%2”）",
                                    {std::to_string(kMaxFieldChars), quoteValue(m_current.empty() ? piece : m_current)}));
        m_current += piece;
        return true;
    }

    const std::string& error() const { return m_error; }

private:
    bool refuse(std::string why)
    {
        m_error = std::move(why);
        return false;
    }

    SharedStrings& m_strings;
    WorkbookBudget& m_budget;
    std::size_t m_maxCount;
    bool m_inItem = false;
    bool m_inText = false;
    int m_phonetic = 0;
    std::string m_current;
    std::size_t m_characters = 0;
    std::string m_error;
};

}  // namespace

WorkbookBudget::WorkbookBudget(std::size_t fileBytes)
    : m_partLimit(std::min(kMaxPart, std::max(kMinPartLimit, fileBytes * kUnpackPerPackedByte))),
      m_keptLimit(kMinKept + fileBytes * kKeptPerFileByte)
{
}

std::string WorkbookBudget::exceeded()
{
    return lang::tr("the workbook holds far more text than its size can hold: it is damaged or was made to "
                    "exhaust memory",
                    "工作簿中的文本远远超过它的大小所能容纳的：文件已损坏，或是被故意做成耗尽内存的");
}

void SharedStrings::add(std::string_view text)
{
    m_text += text;
    m_ends.push_back(std::uint32_t(m_text.size()));
}

std::string_view SharedStrings::at(std::size_t index) const
{
    const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
    return std::string_view(m_text).substr(begin, m_ends[index] - begin);
}

std::string damagedPart(const std::string& part, const XmlReader& reader)
{
    return lang::trf("the workbook's part %1 is damaged (XML line %2: %3)", "工作簿中的 %1 部分已损坏（XML 第 %2 行：%3）",
                     {quoteValue(part), std::to_string(reader.line()), reader.error()});
}

bool findParts(ZipArchive& zip, WorkbookParts& parts, std::string& error)
{
    std::string text;
    std::string workbookPart = "xl/workbook.xml";
    if (zip.read("_rels/.rels", kMaxSmallPart, text))
        for (const auto& [id, r] : readRelationships(text))
            if (endsWith(r.type, "/officeDocument"))
                workbookPart = resolvePart("", r.target);
    std::string workbook;
    if (!zip.read(workbookPart, kMaxSmallPart, workbook)) {
        error = zip.error();
        return false;
    }
    const std::string folder = folderOf(workbookPart);
    const std::string relsPart = folder + "_rels/" + workbookPart.substr(folder.size()) + ".rels";
    const auto relationships = zip.read(relsPart, kMaxSmallPart, text) ? readRelationships(text)
                                                                        : std::map<std::string, Relationship>();
    for (const auto& [id, r] : relationships)
        if (endsWith(r.type, "/sharedStrings"))
            parts.sharedStrings = resolvePart(folder, r.target);
    FirstSheetHandler firstSheet;
    XmlReader().read(wholeText(workbook), firstSheet);
    const auto sheet = relationships.find(firstSheet.id);
    if (firstSheet.id.empty() || sheet == relationships.end()) {
        error = lang::tr("the workbook has no worksheet", "工作簿中没有工作表");
        return false;
    }
    parts.sheet = resolvePart(folder, sheet->second.target);
    return true;
}

bool readSharedStrings(ZipArchive& zip, const std::string& part, WorkbookBudget& budget, SharedStrings& strings,
                       std::string& error)
{
    ZipEntry entry(zip, part, budget.partLimit());
    if (!entry.isOpen()) {
        error = entry.error();
        return false;
    }
    const std::size_t maxCount = kStringsAlways + std::size_t(entry.compressedSize()) * kStringsPerPackedByte;
    SharedStringsHandler handler(strings, budget, maxCount);
    XmlReader reader;
    const XmlResult result = reader.read([&entry](std::string& chunk) { return entry.next(chunk); }, handler);
    if (result == XmlResult::FeedFailed)
        error = entry.error();
    else if (result == XmlResult::Stopped)
        error = handler.error();
    else if (result == XmlResult::Invalid)
        error = damagedPart(part, reader);
    return error.empty();
}

}  // namespace importer
