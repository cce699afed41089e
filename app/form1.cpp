#include "app/form1.h"

#include <cmath>

#include <QComboBox>
#include <QImageReader>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "app/audience_screens.h"
#include "app/audience_view.h"
#include "app/conn.h"
#include "app/design_data.h"
#include "app/design_scaler.h"
#include "app/grid.h"
#include "app/draw_view.h"
#include "app/level_combo.h"
#include "app/participant_rows.h"
#include "app/window_keys.h"

namespace {

// The window was designed in twips, 15 to a pixel.
constexpr int kTwipsPerPixel = 15;
int px(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

const QSize kDesignSize(px(15240), px(10710));
// Room for a window frame and title bar when the frame is not known yet.
const QSize kFrameAllowance(16, 40);

QFont songFont(double points, bool bold = false)
{
    gdi::LogFont font;
    font.faceName = QStringLiteral("宋体");
    font.pointSize = points;
    font.weight = bold ? 700 : 400;
    font.charSet = 134;
    return gdi::toQFont(font);
}

}  // namespace

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

form1::form1(const QString& appFolder, QWidget* parent)
    : QWidget(parent), m_appFolder(appFolder), m_listRows(std::make_unique<ParticipantRows>(m_list))
{
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(QStringLiteral("Sortia v1.3"));
    setFixedSize(kDesignSize);
    setFont(songFont(9));
    createControls();
    m_layout = std::make_unique<DesignScaler>(*this, kDesignSize);
    m_layout->sizeToContent(Image1);
    m_layout->sizeToContent(Label4);
    m_layout->sizeToContent(Label5);
    createAudience();
    auto* keys = new WindowKeys(*this, txtci,
                                {[this] {
                                     // As the draw button does, and only when it would.
                                     if (LumenButton1->Enabled())
                                         emit LumenButton1->Click();
                                 },
                                 [this] { toggleFullScreen(); }, [this] { leaveFullScreen(); },
                                 [this] { return m_fullScreen; }, [this] { m_audienceScreens->toggle(); },
                                 [this] { m_audienceScreens->escape(Rolling()); },
                                 [this](int step) {
                                     if (step > 0)
                                         m_audienceView->nextPage();
                                     else
                                         m_audienceView->previousPage();
                                 },
                                 [this] { OpenPublicInput(); }});
    keys->setAudienceWindow(m_audienceView.get());
    keys->setTypingBox(m_publicEdit);
}

form1::~form1()
{
    // It watches the view and the application's dialogs: gone before the view is.
    delete m_audienceScreens;
}

LumenButton* form1::createButton(const QString& name, int left, int top, int width, int height)
{
    auto* button = new LumenButton(this, this);
    button->setObjectName(name);
    button->setGeometry(px(left), px(top), px(width), px(height));
    // The stored properties arrive through the property bag, as when the window loads.
    button->ReadProperties(design::Form1Design().value(name));
    return button;
}

void form1::createControls()
{
    // Lightweight controls first, so that the windowed ones lie above them.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(px(3300), px(700));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(px(8640), 0, px(6855), px(825));
    Label1->setAutoFillBackground(true);
    Label1->setStyleSheet(QStringLiteral("background-color: rgb(231, 235, 247);"));

    Label3 = new ClickableLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(px(15), px(720), px(4605), px(735));
    Label3->setStyleSheet(QStringLiteral("background-color: rgb(244, 244, 244);"));
    connect(Label3, &ClickableLabel::clicked, this, &form1::ShowAbout);

    Label2 = new QLabel(QStringLiteral("等 级"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(px(10080), px(120), px(600), px(180));

    Label8 = new QLabel(QStringLiteral("人数"), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setGeometry(px(11040), px(120), px(465), px(180));

    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->move(px(120), px(1080));
    Label5->setFont(songFont(14.25));

    Label4 = new QLabel(QStringLiteral("共有"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->move(px(6600), px(8880));
    Label4->adjustSize();

    Label7 = new ClickableLabel(this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setGeometry(px(5400), px(3120), px(9255), px(4455));
    connect(Label7, &ClickableLabel::clicked, this, &form1::OpenLink);

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(0, 0, px(8655), px(825));
    Text1->setFont(songFont(36, true));

    Combo1 = new LevelCombo(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(px(8760), px(360), px(1935), px(435));
    Combo1->setFont(songFont(15.75));
    Combo1->setEditable(false);

    txtci = new QLineEdit(QStringLiteral("1"), this);
    txtci->setObjectName(QStringLiteral("txtci"));
    txtci->setGeometry(px(10920), px(360), px(615), px(420));
    txtci->setFont(songFont(15));

    // Below the background picture, between the winners table and the
    // buttons on the right: what is about to be drawn, and the anchor line.
    LevelLabel = new QLabel(this);
    LevelLabel->setObjectName(QStringLiteral("LevelLabel"));
    LevelLabel->setGeometry(px(4800), px(9735), px(7560), px(510));
    LevelLabel->setFont(songFont(15.75, true));
    LevelLabel->setStyleSheet(QStringLiteral("color: rgb(176, 0, 0);"));
    AnchorLabel = new QLabel(this);
    AnchorLabel->setObjectName(QStringLiteral("AnchorLabel"));
    AnchorLabel->setGeometry(px(4800), px(10260), px(7560), px(360));
    AnchorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Grid2 = new Grid(this);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    Grid2->setGeometry(0, px(1440), px(4635), px(8655));
    Grid2->setReadOnly(true);
    Grid2->setCols(3);
    Grid2->setRows(1);
    Grid2->setDefaultRowHeight(35);
    Grid2->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    createWinnersMenu();

    Grid1 = new Grid(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setGeometry(px(4920), px(8520), px(1935), px(495));
    Grid1->setReadOnly(true);
    Grid1->setCols(4);
    Grid1->setRows(1);
    Grid1->setVisible(false);

    LumenButton1 = createButton(QStringLiteral("LumenButton1"), 11880, 75, 3255, 735);
    LumenButton2 = createButton(QStringLiteral("LumenButton2"), 6480, 8640, 2175, 495);
    LumenButton2->setVisible(false);
    LumenButton4 = createButton(QStringLiteral("LumenButton4"), 0, 10080, 2415, 645);
    LumenButton6 = createButton(QStringLiteral("LumenButton6"), 2400, 10080, 2220, 645);
    LumenButton8 = createButton(QStringLiteral("LumenButton8"), 12480, 9840, 1260, 645);
    LumenButton7 = createButton(QStringLiteral("LumenButton7"), 13920, 9840, 1260, 645);

    connect(LumenButton1, &LumenButton::Click, this, &form1::DrawOrStop);
    connect(LumenButton2, &LumenButton::Click, this, &form1::LoadParticipants);
    connect(LumenButton4, &LumenButton::Click, this, &form1::PrintCommand);
    connect(LumenButton6, &LumenButton::Click, this, &form1::ResetCommand);
    connect(LumenButton8, &LumenButton::Click, this, &form1::NextBackground);
    connect(LumenButton7, &LumenButton::Click, this, [] { conn::ExitProgram(0); });

    createPublicInputBox();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &form1::rollTick);
}

// ---- ControlContainer ----

QString form1::PropertyChanged(LumenButton&, const QString&)
{
    // The design data is only read at run time; nothing to record.
    return {};
}

QString form1::DisplayName(const LumenButton& control) const
{
    return control.objectName();
}

gdi::LogFont form1::AmbientFont() const
{
    gdi::LogFont font;
    font.faceName = QStringLiteral("宋体");
    font.pointSize = 9;
    font.charSet = 134;
    return font;
}

// ---- Loading ----

bool form1::Form_Load()
{
    ++m_backgroundIndex;
    for (const char* level : {"特等奖", "一等奖", "二等奖", "三等奖"})
        Combo1->addItem(QString::fromUtf8(level));
    Combo1->setCurrentIndex(-1);
    if (!loadBackground())
        return false;
    Image1->move(m_layout->map(QPoint(px(3300), px(700))));

    LumenButton1->setIconSource(m_appFolder + QStringLiteral("/images/1.png"));
    LumenButton4->setIconSource(m_appFolder + QStringLiteral("/images/3.png"));
    LumenButton6->setIconSource(m_appFolder + QStringLiteral("/images/2.png"));
    LumenButton1->setIcon(true);
    LumenButton4->setIcon(true);
    LumenButton6->setIcon(true);

    m_rollIndex = 1;
    setUpGrid(Grid1, 8);
    Grid1->setColWidth(0, 0);
    Grid1->setColWidth(1, 60);
    Grid1->setColWidth(2, 150);
    Grid1->setColWidth(3, 30);
    Grid1->setTextMatrix(0, 1, QStringLiteral("编号"));
    Grid1->setTextMatrix(0, 2, QStringLiteral("号码"));
    Grid1->setTextMatrix(0, 3, QStringLiteral("已中奖"));

    setUpGrid(Grid2, 20);
    // The designed look has no scroll bars, but a draw of more winners than
    // the table's height must still be reachable: a bar appears only then.
    Grid2->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Grid2->setColWidth(0, 0);
    Grid2->setColWidth(1, 320);
    Grid2->setColWidth(2, 0);
    Grid2->setTextMatrix(0, 1, QStringLiteral("号码"));

    // The plan first: the restored draw names its round out of the plan's.
    fillNextRound();
    restoreLastDraw();
    // Counting a large list reads all of it: the window is painted first,
    // and the count follows at once (paintEvent).
    m_remainingCounted = false;

    // The operator types the count first; typing replaces it.
    txtci->setFocus();
    txtci->selectAll();
    return true;
}

void form1::setUpGrid(Grid* grid, double fontSize)
{
    grid->setAppearanceSwitches(true, false, true);
    grid->setAppearanceNumbers(0, 0, 0);
    grid->setFontName(QStringLiteral("Tahoma"));
    grid->setFontSize(fontSize);
    grid->setColours(QColor(244, 244, 244), QColor(244, 244, 244), QColor(244, 244, 244), QColor(231, 235, 247),
                     QColor(148, 190, 231));
}

bool form1::loadBackground()
{
    const QString path =
        m_appFolder + QStringLiteral("/images/bg") + QString::number(m_backgroundIndex) + QStringLiteral(".jpg");
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull()) {
        conn::FatalError(drawview::Say("Cannot load the picture '%1': %2", "无法载入图片“%1”：%2").arg(path, reader.errorString()));
        return false;
    }
    m_background = image;
    showBackground(m_layout->scale());
    m_audienceView->setBackground(image);
    return true;
}

void form1::showBackground(double scale)
{
    if (m_background.isNull())
        return;
    const qreal ratio = devicePixelRatioF();
    if (scale == 1.0 && ratio == 1.0) {
        Image1->setPixmap(QPixmap::fromImage(m_background));
        Image1->resize(m_background.size());
        return;
    }
    // Resampled once for the device pixels it covers, so it is never blocky.
    const QSize size(int(std::lround(m_background.width() * scale)), int(std::lround(m_background.height() * scale)));
    QPixmap pixmap = QPixmap::fromImage(
        m_background.scaled(size * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    Image1->setPixmap(pixmap);
    Image1->resize(size);
}

// ---- Size and full screen ----

double form1::layoutScale() const
{
    return m_layout->scale();
}

QRect form1::contentRect() const
{
    return m_layout->contentRect();
}

void form1::setWindowScale(double scale)
{
    if (!(scale > 0))
        return;
    m_windowScale = scale;
    if (!m_fullScreen)
        setFixedSize(int(std::lround(kDesignSize.width() * scale)), int(std::lround(kDesignSize.height() * scale)));
    relayout();
}

void form1::fitInto(const QRect& available)
{
    const QSize frame = isVisible() ? frameGeometry().size() - size() : kFrameAllowance;
    const double fit = DesignScaler::fitScale(kDesignSize, available.size() - frame);
    setWindowScale(std::min(1.0, fit));
}

void form1::toggleFullScreen()
{
    if (m_fullScreen) {
        leaveFullScreen();
        return;
    }
    // Kept here: without a window manager the window system reports no full
    // screen state even while the window covers the screen.
    m_fullScreen = true;
    // A fixed size would keep the window from filling the screen.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    showFullScreen();
    // Without a window manager (a kiosk display) nobody acts on the request:
    // the window takes the screen itself. A manager that did is not disturbed.
    setGeometry(screen()->geometry());
    relayout();
}

void form1::leaveFullScreen()
{
    if (!m_fullScreen)
        return;
    m_fullScreen = false;
    showNormal();
    setWindowScale(m_windowScale);
}

void form1::relayout()
{
    double scale = m_windowScale;
    QPoint origin;
    if (m_fullScreen) {
        scale = DesignScaler::fitScale(kDesignSize, size());
        origin = DesignScaler::centredOrigin(kDesignSize, scale, size());
    }
    if (scale == m_layout->scale() && origin == m_layout->origin())
        return;
    showBackground(scale);
    m_layout->apply(scale, origin);
    showConsoleLines();  // cut to the label's new width
    update();
}

void form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void form1::paintEvent(QPaintEvent*)
{
    if (!m_remainingCounted) {
        m_remainingCounted = true;
        QTimer::singleShot(0, this, &form1::refreshRemaining);
    }
    // Letterbox bars around the design.
    const QRegion bars = QRegion(rect()) - QRegion(m_layout->contentRect());
    if (bars.isEmpty())
        return;
    QPainter painter(this);
    for (const QRect& bar : bars)
        painter.fillRect(bar, Qt::black);
}

QString form1::helpPagePath() const
{
    return m_appFolder + QStringLiteral("/help/index.html");
}
