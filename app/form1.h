#pragma once
// The main window: the large display, the prize level and winner count, the
// draw button, the winners table, the background picture and the command
// buttons. Its commands drive the participant list and the draw.

#include <cstddef>
#include <memory>
#include <optional>

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "app/audience_state.h"
#include "controls/lumenbutton/lumen_button.h"
#include "draw/draw_record.h"
#include "draw/participant_list.h"
#include "draw/prize_plan.h"
#include "draw/prize_draw.h"

class QAction;
class QComboBox;
class QMenu;
class QLineEdit;
class Grid;
class ClickableLabel;
class DesignScaler;
class ParticipantRows;
class AudienceView;
class AudienceScreens;

class form1 : public QWidget, public ControlContainer {
    Q_OBJECT
public:
    // appFolder: the folder holding the program, without a trailing separator.
    explicit form1(const QString& appFolder, QWidget* parent = nullptr);
    ~form1() override;

    // The load steps; false when the first background could not be shown
    // (the error has been reported and the program asked to end).
    bool Form_Load();

    // ---- Commands ----
    void LoadParticipants();        // LumenButton2's click
    void DrawOrStop();              // LumenButton1's click
    // One step of the roll: the next participant, shown at once. The pick
    // moves one row per 2 ms of rolling (Timer1's designed interval), but
    // Timer1 ticks once per frame of the fastest screen showing the roll and
    // moves it by the steps that have passed: a tick every 2 ms costs more
    // than all the painting.
    void RollStep();
    // Shows the participant the roll has reached on the console and the
    // audience view, when it changed.
    void ShowRollingFrame();
    void PrintCommand();            // LumenButton4's click
    void ResetCommand();            // LumenButton6's click
    void NextBackground();          // LumenButton8's click
    void OpenLink();                // Label7's click
    void ShowAbout();               // Label3's click
    // Asks for a participant list (CSV, XLSX, Access) and imports it (Ctrl+I).
    void ImportParticipants();
    // Imports the list in the file and reports the outcome in a message box;
    // refused while a draw is rolling. The count label follows at the next load.
    void ImportParticipantsFrom(const QString& file);

    // ---- The draw record, from the winners table's menu and keys ----
    // Voids the winner in Grid2's row (of the draw shown, which must be the
    // last) after a confirmation, and draws one replacement.
    void VoidWinner(int row);
    // Asks for a file and writes the winners of one draw, or of all draws.
    void ExportDraws(std::optional<long long> drawId);
    // Asks for a new folder and whether to mask the winners, and writes the
    // draw's evidence pack there (certificate, entries, list, verify.html).
    void ExportEvidence(long long drawId);
    // The list of recorded draws, from which any can be printed or exported.
    void ShowHistory();
    // Prints a recorded draw under its own level.
    void ReprintDraw(long long drawId);
    // Asks for a draw's right level, prize and reason and records the
    // correction; false when the operator cancelled or it was refused (said).
    bool CorrectDraw(long long drawId, QWidget* parent = nullptr);
    // The winners table's context menu. Its last section, after the
    // separator named "participantsSection", is for participant commands.
    QMenu* WinnersMenu() const { return m_winnersMenu; }
    // The draw Grid2 shows, as recorded.
    const std::optional<draw::DrawRecord>& ShownDraw() const { return m_shownDraw; }

    // ---- The prize plan and what a roll is drawn with (form1_plan.cpp) ----
    // The plan's rounds to look over and edit (Ctrl+L, the winners table's menu).
    void EditPlan();
    // The plan's first round not drawn yet, as filled into the level and the
    // count; nullopt without a plan or once every round is drawn.
    const std::optional<draw::PlanRound>& NextPlanRound() const { return m_nextRound; }
    // Opens the console's box for the public input while names roll (F2,
    // from either window). What is typed shows on both screens at once; the
    // draw at the stop records the text as it then stands.
    void OpenPublicInput();
    QWidget* PublicInputBox() const { return m_publicBox; }
    QLineEdit* PublicInputEdit() const { return m_publicEdit; }
    // Where the organiser seed of each roll and replacement comes from.
    void setSeedSource(draw::SeedSource seeds) { m_seeds = std::move(seeds); }

    // ---- The audience view ----
    AudienceView* audienceView() const { return m_audienceView.get(); }
    AudienceScreens& audienceScreens() const { return *m_audienceScreens; }
    // What the audience view is told; it draws nothing else.
    const AudienceState& audienceState() const { return m_audience; }
    void setEventTitle(const QString& title);
    void setAudienceMasking(bool names, bool numbers);
    // Asks for the event title (the winners table's menu).
    void AskEventTitle();

    // ---- Size and full screen ----
    // The window shows its design this many times its designed size (1:
    // exactly as designed). In full screen the design fills the screen,
    // letterboxed.
    void setWindowScale(double scale);
    double windowScale() const { return m_windowScale; }
    bool fullScreen() const { return m_fullScreen; }
    // Opens no larger than fits into the available area with its frame.
    void fitInto(const QRect& available);
    void toggleFullScreen();
    void leaveFullScreen();
    // The scale and the place of the design as now shown.
    double layoutScale() const;
    QRect contentRect() const;

    // ---- Window state ----
    std::size_t RollIndex() const { return m_rollIndex; }
    // The participants Grid1 shows, as held in memory.
    const draw::ParticipantList& List() const { return m_list; }
    int BackgroundIndex() const { return m_backgroundIndex; }
    bool Rolling() const { return Timer1->isActive(); }
    QString helpPagePath() const;

    // ControlContainer
    QString PropertyChanged(LumenButton& control, const QString& propertyName) override;
    QString DisplayName(const LumenButton& control) const override;
    gdi::LogFont AmbientFont() const override;
    bool UserMode() const override { return true; }

    // The controls, under their designed names.
    QLineEdit* Text1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtci = nullptr;
    LumenButton* LumenButton1 = nullptr;
    ClickableLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    Grid* Grid2 = nullptr;
    QLabel* Image1 = nullptr;
    ClickableLabel* Label7 = nullptr;
    QLabel* Label4 = nullptr;
    Grid* Grid1 = nullptr;
    LumenButton* LumenButton2 = nullptr;
    LumenButton* LumenButton4 = nullptr;
    LumenButton* LumenButton6 = nullptr;
    LumenButton* LumenButton8 = nullptr;
    LumenButton* LumenButton7 = nullptr;
    QTimer* Timer1 = nullptr;
    // Added to the design: the level about to be drawn, and the newest
    // draw's anchor line as the audience view shows it.
    QLabel* LevelLabel = nullptr;
    QLabel* AnchorLabel = nullptr;

    draw::RandomSource& random() { return m_random; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void relayout();
    void showBackground(double scale);
    LumenButton* createButton(const QString& name, int left, int top, int width, int height);
    void setUpGrid(Grid* grid, double fontSize);
    bool loadBackground();
    void stopDraw(long long n, const std::string& publicInput);
    void showInDisplay(const QString& text);
    void showList();
    void showWinners();
    void showWinnerCount();
    void createWinnersMenu();
    void refuse(const QString& why);
    void advanceRoll(std::size_t steps);
    void rollTick();
    void startRolling();
    QString rollingName() const;
    void restoreLastDraw();

    // The plan and the roll's seed and public input (form1_plan.cpp).
    void createPublicInputBox();
    void fillNextRound();
    bool roundInHand() const;
    void showPlannedLevel();
    QString roundText(const draw::PlanRound& round) const;
    void beginRollRecord();
    bool takePublicInput(std::string& text);
    void endRollRecord();
    void closePublicInput(bool keep);
    void publicInputTyped(const QString& text);
    void fillDrawRequest(draw::DrawRequest& request, const std::string& publicInput) const;
    void showRecordedLevel(const draw::DrawRecord& record);

    // The audience view (form1_audience.cpp).
    void createAudience();
    void addAudienceCommands();
    void pushAudience();
    void showConsoleLines();
    void audienceRolling();
    void audienceStopping();
    void audienceResult(bool afterVoid);
    void settleAudience();
    void startReplacementRoll();
    void refreshRemaining();
    void setAudiencePaused(bool paused);
    int frameInterval() const;

    QString m_appFolder;
    std::unique_ptr<DesignScaler> m_layout;
    double m_windowScale = 1.0;
    bool m_fullScreen = false;
    QImage m_background;
    std::size_t m_rollIndex = 0;
    int m_backgroundIndex = 0;
    draw::RandomSource m_random;
    // The list Grid1 shows, row 1 first, which the draw draws from.
    draw::ParticipantList m_list;
    std::unique_ptr<ParticipantRows> m_listRows;
    std::uint64_t m_shownVersion = 0;  // of m_list, as Grid1 was last told
    std::optional<draw::DrawRecord> m_shownDraw;
    QMenu* m_winnersMenu = nullptr;
    QElapsedTimer m_rollClock;    // since the roll started
    std::int64_t m_rollSteps = 0; // pick steps of 2 ms made since then
    std::size_t m_rollRow = 0;    // the row the roll shows, 0 for none
    std::size_t m_shownRow = 0;   // the row the displays were last given
    QElapsedTimer m_consoleEcho;  // since Text1 last followed the roll
    AudienceState m_audience;
    bool m_remainingCounted = true;  // false from the load until the first paint
    std::unique_ptr<AudienceView> m_audienceView;
    AudienceScreens* m_audienceScreens = nullptr;
    QTimer* m_replacementRoll = nullptr;    // ends the replacement's short roll
    QTimer* m_replacementFrames = nullptr;  // its frames
    std::optional<draw::PlanRound> m_nextRound;
    long long m_planRounds = 0;
    draw::SeedSource m_seeds = draw::SystemSeed;
    // Taken when the roll started: S (none for a draw from an announcement)
    // and the round it draws, when it draws one.
    std::optional<draw::Seed> m_rollSeed;
    std::optional<draw::PlanRound> m_rollRound;
    QWidget* m_publicBox = nullptr;
    QLineEdit* m_publicEdit = nullptr;
    QString m_publicBefore;  // the text when the box opened, for Esc
};

// A label that reports clicks.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
