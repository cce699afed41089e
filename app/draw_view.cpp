#include "app/draw_view.h"

#include <QStringList>

#include "app/grid.h"
#include "platform/language/language.h"

namespace drawview {

namespace {
constexpr int kDigestShown = 16;
}

QString Say(const char* english, const char* chinese)
{
    return Text(lang::tr(english, chinese));
}

QString Text(const std::string& bytes)
{
    return QString::fromStdString(bytes);
}

QString Text(const std::optional<std::string>& bytes)
{
    return bytes ? Text(*bytes) : QString();
}

QString RecordLine(const draw::DrawRecord& record)
{
    // The round and prize, and a correction made since, go on paper too.
    const draw::ShownPrize shown = draw::ShownLevel(record);
    std::string about;
    if (record.planRound)
        about += lang::trf("round %1 · ", "第 %1 轮 · ", {std::to_string(*record.planRound)});
    if (!shown.prizeName.empty())
        about += shown.prizeName + " · ";
    if (!shown.note.empty())
        about += shown.note + " · ";
    return Text(lang::trf("Draw %1 · %2%3 · digest %4", "第 %1 次抽奖 · %2%3 · 摘要 %4",
                          {std::to_string(record.id), about, draw::LocalTimeText(record.time),
                           draw::LatestDigest(record).substr(0, kDigestShown)}));
}

QString AnchorLine(long long drawId, const std::string& digest, bool afterVoid)
{
    const std::string shown = digest.substr(0, kDigestShown);
    if (afterVoid)
        return Text(lang::trf("Draw %1, after a void · check %2", "第 %1 次抽奖（补抽后）· 校验码 %2",
                              {std::to_string(drawId), shown}));
    return Text(lang::trf("Draw %1 · check %2", "第 %1 次抽奖 · 校验码 %2", {std::to_string(drawId), shown}));
}

int WinnerRows(const draw::DrawRecord& record)
{
    return int(record.winners.size());
}

void FillWinnersGrid(Grid& grid, const draw::DrawRecord& record)
{
    const std::vector<draw::RecordedWinner> current = draw::CurrentWinners(record);
    const std::vector<draw::RecordedWinner> voided = draw::VoidedWinners(record);
    grid.setRows(int(current.size() + voided.size()) + 1);
    int row = 1;
    for (const draw::RecordedWinner& winner : current) {
        grid.setTextMatrix(row, 1, Text(winner.name));
        grid.setTextMatrix(row, 2, Text(winner.number));
        ++row;
    }
    for (const draw::RecordedWinner& winner : voided) {
        grid.setTextMatrix(row, 1, Text(lang::trf("(void) %1", "（作废）%1", {winner.name.value_or("")})));
        grid.setTextMatrix(row, 2, Text(winner.number));
        ++row;
    }
}

QString RollLine(const QString& commitment, long long announcement, const QString& publicInput)
{
    QStringList parts;
    if (announcement > 0)
        parts << Say("Drawn by announcement %1", "按公告 %1 抽奖").arg(announcement);
    else if (!commitment.isEmpty())
        parts << Say("Commitment %1", "承诺 %1").arg(commitment);
    if (!publicInput.isEmpty())
        parts << Say("Public input: %1", "公开输入：%1").arg(publicInput);
    return parts.join(QStringLiteral("    "));
}

}  // namespace drawview
