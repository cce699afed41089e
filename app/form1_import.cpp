// The window's import of participant lists: a file dialog, a progress
// dialog for long files, and a summary in a message box.

#include <QCoreApplication>
#include <QDir>
#include <QProgressDialog>

#include "app/conn.h"
#include "app/form1.h"
#include "platform/language/language.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/message_box.h"
#include "import/participant_import.h"

namespace {

constexpr std::size_t kProblemsShown = 10;
constexpr int kProgressDelayMs = 500;

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// The summary and, for a refused list, its first problems by line.
QString reportText(const importer::ImportReport& report)
{
    QString text = qs(importer::summaryText(report));
    const auto& problems = report.problems;
    if (problems.empty())
        return text;
    text += QStringLiteral("\n");
    for (std::size_t i = 0; i < problems.size() && i < kProblemsShown; ++i) {
        const importer::Problem& problem = problems[i];
        text += QStringLiteral("\n") + (problem.line == 0 ? qs(problem.message)
                                                          : qs(lang::trf("line %1: %2", "第 %1 行：%2",
                                                                         {std::to_string(problem.line), problem.message})));
    }
    if (problems.size() > kProblemsShown)
        text += QStringLiteral("\n") + qs(lang::trf("... and %1 more problems", "……另有 %1 处问题",
                                                    {std::to_string(problems.size() - kProblemsShown)}));
    return text;
}

// Shows a progress dialog once an import takes longer than a moment; its
// cancel button stops the import, which then imports nothing.
class ImportProgress {
public:
    explicit ImportProgress(QWidget* parent)
        : m_dialog(qs(lang::tr("Reading the list...", "正在读取名单……")), qs(lang::tr("Cancel", "取消")), 0, 100, parent)
    {
        m_dialog.setWindowTitle(conn::AppTitle());
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(kProgressDelayMs);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    bool operator()(const importer::Progress& progress)
    {
        if (progress.stage != m_stage) {
            m_stage = progress.stage;
            m_dialog.setLabelText(qs(stageText(m_stage)));
        }
        // A wait for another program's lock has no progress to show, only that it goes on.
        if (progress.total == 0 || progress.stage == importer::Progress::Stage::Waiting) {
            m_dialog.setRange(0, 0);
            m_dialog.setValue(0);
        } else {
            m_dialog.setRange(0, 100);
            m_dialog.setValue(int(progress.done * 100 / progress.total));
        }
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    static std::string stageText(importer::Progress::Stage stage)
    {
        using Stage = importer::Progress::Stage;
        switch (stage) {
        case Stage::Reading:
            break;
        case Stage::Waiting:
            return lang::trf("Another program holds a lock on the database file '%1'. Waiting for it to finish...\n"
                             "Nothing has been imported yet.",
                             "另一个程序锁住了数据库文件“%1”。正在等待它完成……\n目前还没有导入任何数据。",
                             {conn::DbConnection->shownDataSource()});
        case Stage::Checking:
            return lang::tr("Checking against the database...", "正在与数据库核对……");
        case Stage::Writing:
            return lang::tr("Writing to the database...", "正在写入数据库……");
        }
        return lang::tr("Reading the list...", "正在读取名单……");
    }

    QProgressDialog m_dialog;
    importer::Progress::Stage m_stage = importer::Progress::Stage::Reading;
};

}  // namespace

void form1::ImportParticipants()
{
    const QString file = ui::fileDialogs().openFile(
        this, qs(lang::tr("Import participants", "导入参与者名单")), QDir::homePath(),
        qs(lang::tr("Participant lists (*.csv *.txt *.xlsx *.mdb *.accdb);;All files (*)",
                    "参与者名单 (*.csv *.txt *.xlsx *.mdb *.accdb);;所有文件 (*)")));
    if (!file.isEmpty())
        ImportParticipantsFrom(file);
}

void form1::ImportParticipantsFrom(const QString& file)
{
    // The rolling display shows the list loaded at the press; it must not change under it.
    if (Timer1->isActive()) {
        ui::messageBox().show(qs(lang::tr("Stop the draw before importing participants.", "请先停止开奖，再导入参与者名单。")),
                              conn::AppTitle(), ui::Buttons::Ok, ui::Icon::Exclamation);
        return;
    }
    importer::ImportReport report;
    {
        ImportProgress progress(this);
        report = importer::importFile(*conn::DbConnection, file.toStdString(), {},
                                      [&progress](const importer::Progress& p) { return progress(p); });
    }
    const ui::Icon icon = report.status == importer::ImportStatus::Imported ? ui::Icon::Information
                          : report.status == importer::ImportStatus::Failed ? ui::Icon::Critical
                                                                             : ui::Icon::Exclamation;
    refreshRemaining();
    ui::messageBox().show(reportText(report), conn::AppTitle(), ui::Buttons::Ok, icon);
}
