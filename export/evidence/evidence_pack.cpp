#include "export/evidence/evidence_pack.h"

#include <filesystem>
#include <unordered_map>

#include <QtGui/QPainter>

#include "draw/draw_picks.h"
#include "draw/prize_plan.h"
#include "export/evidence/document_pdf.h"
#include "export/evidence/page_files.h"
#include "export/evidence/pack_json.h"
#include "export/file_replace.h"
#include "export/masking.h"
#include "export/qr_code.h"
#include "export/results_export.h"
#include "platform/language/language.h"

namespace evidence {
namespace {

namespace fs = std::filesystem;

// The page with the data and the script in their places; both marks are
// found in the template alone, so that a name in the data cannot be taken
// for one.
std::string page(const std::string& json)
{
    constexpr std::string_view kData = "/*SORTIA_DATA*/", kScript = "/*SORTIA_SCRIPT*/";
    const std::string_view page = VerifyPageTemplate();
    const std::size_t data = page.find(kData), script = page.find(kScript);
    if (data == std::string_view::npos || script == std::string_view::npos || script < data)
        return {};
    return std::string(page.substr(0, data)) + json +
           std::string(page.substr(data + kData.size(), script - data - kData.size())) + std::string(VerifyScript()) +
           std::string(page.substr(script + kScript.size()));
}

// The eligible list in order, with each name as the room sees it: the list
// is published, the full names are not.
bool writeList(store::DbConnection& connection, const draw::DrawRecord& record, const std::string& path,
               std::string& error)
{
    std::vector<std::int64_t> ids;
    if (!draw::DecodeIds(record.eligibleIds, ids)) {
        error = lang::tr("the draw's stored list cannot be read", "无法读取这次抽奖保存的名单");
        return false;
    }
    std::unordered_map<std::int64_t, std::string> names;
    names.reserve(ids.size());
    auto rows = connection.Execute("select id, user_name from sheet");
    for (; rows && !rows->EndOfFile(); rows->MoveNext())
        names.emplace(rows->FieldInteger(0), exporter::MaskName(rows->Field(1)));
    if (!rows) {
        error = connection.error();
        return false;
    }
    std::vector<std::vector<std::string>> lines;
    lines.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto found = names.find(ids[i]);
        lines.push_back({std::to_string(i), std::to_string(ids[i]), found == names.end() ? "" : found->second});
    }
    return exporter::ExportTable({lang::tr("index", "序号"), "id", lang::tr("name (masked)", "姓名（已遮盖）")}, lines,
                                 path, error);
}

// The QR code as a picture: black modules on white with the quiet zone the
// standard asks for, at `scale` pixels a module.
QImage qrImage(const std::string& text, int scale)
{
    const std::optional<exporter::QrCode> code = exporter::EncodeQr(text);
    if (!code)
        return QImage();
    constexpr int kQuiet = 4;
    const int side = (code->size + 2 * kQuiet) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->size; ++y)
        for (int x = 0; x < code->size; ++x)
            if (code->isDark(x, y))
                painter.fillRect((x + kQuiet) * scale, (y + kQuiet) * scale, scale, scale, Qt::black);
    return image;
}

std::string row(const std::string& label, const std::string& value, bool digest = false)
{
    if (value.empty())
        return {};
    return "<tr><td>" + HtmlText(label) + "</td><td" + (digest ? " class=\"digest\"" : "") + ">" + HtmlText(value) +
           "</td></tr>";
}

exporter::Masking shownAs(const PackOptions& options)
{
    return options.masked ? exporter::Masking::Masked : exporter::Masking::Full;
}

PdfDocument certificate(const PackEntries& pack, const PackOptions& options)
{
    const draw::DrawRecord& record = pack.draw;
    const draw::ShownPrize prize = draw::ShownLevel(record);
    const std::string anchor = draw::AnchorText(record.id, draw::LatestDigest(record));
    PdfDocument document;
    document.title = lang::trf("Draw %1: certificate", "第 %1 次抽奖证明", {std::to_string(record.id)});
    std::string& html = document.html;
    html += "<h2>" + HtmlText(options.event.empty() ? document.title : options.event + " — " + document.title) +
            "</h2><table cellpadding=\"3\">";
    html += row(lang::tr("Prize level", "奖项"), prize.level + (prize.note.empty() ? "" : " (" + prize.note + ")"));
    html += row(lang::tr("Prize", "奖品"), prize.prizeName);
    html += row(lang::tr("Round of the plan", "计划轮次"), record.planRound ? std::to_string(*record.planRound) : "");
    html += row(lang::tr("Who could win", "参与范围"), draw::GroupRuleShown(record.groupRule));
    html += row(lang::tr("Drawn at", "抽奖时间"), draw::LocalTimeText(record.time));
    html += row(lang::tr("Eligible participants", "候选人数"), std::to_string(record.eligibleCount));
    html += row(lang::tr("Eligible list digest", "候选名单摘要"), record.eligibleDigest, true);
    html += row(lang::tr("Announcement", "公告"),
                pack.announcement ? std::to_string(pack.announcement->id) + " — " + pack.announcement->source : "");
    html += row(lang::tr("Commitment (shown when the roll started)", "承诺值（开始滚动时公布）"), record.seedCommitment,
                true);
    html += row(lang::tr("Public input", "公开输入"), record.publicInput.empty() && record.format >= 2
                                                          ? lang::tr("(none)", "（无）")
                                                          : record.publicInput);
    html += row(lang::tr("Organiser seed", "组织者种子"), record.organiserSeed, true);
    html += row(lang::tr("Seed", "种子"), record.seed, true);
    html += "</table><h3>" + HtmlText(lang::tr("Winners", "中奖名单")) + "</h3><table cellpadding=\"3\">";
    for (const draw::RecordedWinner& winner : draw::CurrentWinners(record))
        html += "<tr><td>" + std::to_string(winner.position) + "</td><td>" +
                HtmlText(exporter::WinnerName(winner, shownAs(options))) + "</td><td>" +
                HtmlText(exporter::WinnerNumber(winner, shownAs(options))) + "</td></tr>";
    html += "</table>";
    for (const draw::DrawVoid& entry : record.voids)
        html += "<p>" +
                HtmlText(lang::trf("Position %1 was voided at %2 (%3) and drawn again.",
                                   "第 %1 名于 %2 作废（%3）并补抽。",
                                   {std::to_string(entry.position), draw::LocalTimeText(entry.time), entry.reason})) +
                "</p>";
    html += "<h3>" + HtmlText(lang::tr("Anchor", "锚点")) + "</h3><p class=\"digest\">" + HtmlText(anchor) +
            "</p><p><img src=\"anchor.png\" width=\"220\"></p>";
    html += "<p>" +
            HtmlText(pack.verified ? lang::tr("When this pack was written, verify found every entry of the draw as recorded.",
                                         "生成本文件时，核验确认这次抽奖的每条记录都与记录相符。")
                              : lang::tr("When this pack was written, verify found entries that do not match.",
                                         "生成本文件时，核验发现有不相符的记录。")) +
            "</p><p>" +
            HtmlText(lang::trf("To check the draw yourself, open verify.html in a browser (it works offline), or "
                               "run 'sortia-db verify --against %1' on a copy of the database.",
                               "自行核验：用浏览器打开 verify.html（无需联网），或在数据库副本上运行"
                               "“sortia-db verify --against %1”。",
                               {std::to_string(record.id) + ":" + draw::LatestDigest(record).substr(0, 16)})) +
            "</p>";
    if (options.masked)
        html += "<p>" +
                HtmlText(lang::tr("Names and numbers are masked here; the page can check the picks but not the digests, "
                                  "which are over the full values.",
                                  "此处姓名和号码已遮盖；核验页面可以核对抽取结果，但无法重算基于完整信息的摘要。")) +
                "</p>";
    document.images["anchor.png"] = qrImage(anchor, 8);
    return document;
}

}  // namespace

bool WriteEvidencePack(store::DbConnection& connection, long long drawId, const std::string& folder,
                       const PackOptions& options, std::string& error)
{
    PackEntries pack;
    if (!ReadPackEntries(connection, drawId, options.masked, pack)) {
        error = connection.error().empty() ? draw::NoSuchDraw(drawId) : connection.error();
        return false;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = lang::trf("cannot make the folder '%1': %2", "无法创建文件夹“%1”：%2", {folder, ec.message()});
        return false;
    }
    const fs::path dir(folder);
    const std::string json = PackJson(pack, options.event, options.masked);
    return exporter::WriteTextFile((dir / "entries.json").string(), json, error) &&
           exporter::WriteTextFile((dir / "verify.js").string(), VerifyScript(), error) &&
           exporter::WriteTextFile((dir / "verify.html").string(), page(json), error) &&
           writeList(connection, pack.draw, (dir / "eligible.csv").string(), error) &&
           WritePdf(certificate(pack, options), (dir / "certificate.pdf").string(), error);
}

}  // namespace evidence
