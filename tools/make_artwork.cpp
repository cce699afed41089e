// sortia-artwork OUTDIR: paints the window's four background pictures
// (bg1.jpg .. bg4.jpg) and the three button icons (1.png draw, 2.png reset,
// 3.png print), each icon also with two and four times the pixels
// (1@2x.png, 1@4x.png, ...) for buttons shown larger.
// sortia-artwork --app-icons OUTDIR: the program's icon (the gift of the draw
// button) in the sizes of the desktop's icon theme, as
// OUTDIR/hicolor/NxN/apps/sortia.png.
// Everything is drawn from fixed seeds, so every run writes the same pictures.

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QtMath>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QRadialGradient>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The picture area of the window, in pixels.
constexpr int kBackgroundWidth = 790;
constexpr int kBackgroundHeight = 600;
constexpr int kIconSize = 40;
// The sharper copies of the button icons, as multiples of kIconSize.
constexpr int kIconDensities[] = {2, 4};
// The sizes an icon theme looks for.
constexpr int kThemeIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// Icons are drawn this many times larger and scaled down, for smooth edges.
constexpr int kIconOversample = 4;
constexpr int kJpegQuality = 90;

// A fixed linear congruential generator, so the pictures never change.
class ArtRandom {
public:
    explicit ArtRandom(std::uint64_t seed) : m_state(seed * 2862933555777941757ULL + 3037000493ULL) {}
    double real()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(m_state >> 11) / double(1ULL << 53);
    }
    double range(double low, double high) { return low + (high - low) * real(); }
    int pick(int count) { return int(real() * count) % count; }

private:
    std::uint64_t m_state;
};

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(qBound(0.0, alpha, 1.0)));
    return color;
}

// A blurred disc of light: bright core, soft edge.
void glow(QPainter& painter, QPointF centre, double radius, const QColor& color, double alpha)
{
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0.0, withAlpha(color, alpha));
    gradient.setColorAt(0.4, withAlpha(color, alpha * 0.45));
    gradient.setColorAt(1.0, withAlpha(color, 0.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, radius, radius);
}

// An out-of-focus highlight: an even disc with a slightly brighter rim.
void bokeh(QPainter& painter, QPointF centre, double radius, const QColor& color, double alpha)
{
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0.0, withAlpha(color, alpha * 0.55));
    gradient.setColorAt(0.82, withAlpha(color, alpha * 0.75));
    gradient.setColorAt(0.93, withAlpha(color, alpha));
    gradient.setColorAt(1.0, withAlpha(color, 0.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, radius, radius);
}

// A four-pointed twinkle with a small halo.
void sparkle(QPainter& painter, QPointF centre, double size, const QColor& color, double alpha)
{
    glow(painter, centre, size * 0.9, color, alpha * 0.5);
    QPainterPath path;
    const double w = size * 0.13;
    path.moveTo(centre + QPointF(0, -size));
    path.quadTo(centre + QPointF(w, -w), centre + QPointF(size, 0));
    path.quadTo(centre + QPointF(w, w), centre + QPointF(0, size));
    path.quadTo(centre + QPointF(-w, w), centre + QPointF(-size, 0));
    path.quadTo(centre + QPointF(-w, -w), centre + QPointF(0, -size));
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(color, alpha));
    painter.drawPath(path);
}

// Darkens the corners a little so the middle stands out on a projector.
void vignette(QPainter& painter, double strength)
{
    const QPointF centre(kBackgroundWidth / 2.0, kBackgroundHeight / 2.0);
    QRadialGradient gradient(centre, kBackgroundWidth * 0.72);
    gradient.setColorAt(0.0, QColor(0, 0, 0, 0));
    gradient.setColorAt(0.6, QColor(0, 0, 0, 0));
    gradient.setColorAt(1.0, withAlpha(Qt::black, strength));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRect(0, 0, kBackgroundWidth, kBackgroundHeight);
}

void fillRadial(QPainter& painter, QPointF centre, double radius, const QColor& inner, const QColor& middle,
                const QColor& outer)
{
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0.0, inner);
    gradient.setColorAt(0.55, middle);
    gradient.setColorAt(1.0, outer);
    painter.fillRect(0, 0, kBackgroundWidth, kBackgroundHeight, gradient);
}

// 1: warm red with drifting golden lights.
void paintGoldenBokeh(QPainter& painter)
{
    fillRadial(painter, {395, 250}, 560, QColor(214, 38, 44), QColor(150, 16, 30), QColor(70, 6, 18));
    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    glow(painter, {395, 170}, 330, QColor(255, 190, 90), 0.35);
    ArtRandom random(1);
    const QColor golds[] = {QColor(255, 214, 120), QColor(255, 170, 70), QColor(255, 236, 180), QColor(255, 120, 80)};
    for (int i = 0; i < 70; ++i) {
        const double radius = i < 14 ? random.range(45, 85) : random.range(8, 38);
        const QPointF centre(random.range(-30, kBackgroundWidth + 30), random.range(-30, kBackgroundHeight + 30));
        bokeh(painter, centre, radius, golds[random.pick(4)], i < 14 ? random.range(0.08, 0.16) : random.range(0.15, 0.4));
    }
    for (int i = 0; i < 18; ++i)
        sparkle(painter, {random.range(20, 770), random.range(20, 580)}, random.range(5, 11), QColor(255, 240, 200),
                random.range(0.5, 0.9));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    vignette(painter, 0.45);
}

// 2: a night-blue sunburst with stars.
void paintStarburst(QPainter& painter)
{
    fillRadial(painter, {395, 330}, 600, QColor(70, 52, 160), QColor(34, 26, 96), QColor(10, 8, 40));
    const QPointF centre(395, 330);
    constexpr int kRays = 28;
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < kRays; i += 2) {
        const double a0 = 2 * M_PI * i / kRays, a1 = 2 * M_PI * (i + 1) / kRays;
        QPainterPath wedge;
        wedge.moveTo(centre);
        wedge.lineTo(centre + 900 * QPointF(std::cos(a0), std::sin(a0)));
        wedge.lineTo(centre + 900 * QPointF(std::cos(a1), std::sin(a1)));
        wedge.closeSubpath();
        QRadialGradient fade(centre, 650);
        fade.setColorAt(0.0, QColor(255, 255, 255, 46));
        fade.setColorAt(1.0, QColor(255, 255, 255, 0));
        painter.setBrush(fade);
        painter.drawPath(wedge);
    }
    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    glow(painter, centre, 260, QColor(255, 200, 110), 0.55);
    glow(painter, centre, 90, QColor(255, 240, 200), 0.5);
    ArtRandom random(2);
    for (int i = 0; i < 260; ++i) {
        const double r = random.range(0.5, 1.6);
        painter.setBrush(withAlpha(QColor(255, 250, 235), random.range(0.3, 0.95)));
        painter.drawEllipse(QPointF(random.range(0, kBackgroundWidth), random.range(0, kBackgroundHeight)), r, r);
    }
    const QColor tints[] = {QColor(255, 236, 170), QColor(190, 220, 255), QColor(255, 200, 240)};
    for (int i = 0; i < 22; ++i)
        sparkle(painter, {random.range(15, 775), random.range(15, 585)}, random.range(5, 15), tints[random.pick(3)],
                random.range(0.55, 0.95));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    vignette(painter, 0.4);
}

// 3: confetti falling over a pink-to-violet sky, thinner towards the middle.
void paintConfetti(QPainter& painter)
{
    QLinearGradient sky(0, 0, kBackgroundWidth, kBackgroundHeight);
    sky.setColorAt(0.0, QColor(255, 112, 130));
    sky.setColorAt(0.5, QColor(196, 58, 132));
    sky.setColorAt(1.0, QColor(82, 36, 126));
    painter.fillRect(0, 0, kBackgroundWidth, kBackgroundHeight, sky);
    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    glow(painter, {395, 300}, 380, QColor(255, 200, 170), 0.35);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    ArtRandom random(3);
    const QColor colors[] = {QColor(255, 215, 64), QColor(255, 255, 255), QColor(77, 208, 225), QColor(255, 128, 171),
                             QColor(198, 255, 0),  QColor(255, 152, 0),   QColor(124, 77, 255)};
    const QPointF middle(kBackgroundWidth / 2.0, kBackgroundHeight / 2.0);
    int placed = 0;
    while (placed < 330) {
        const QPointF at(random.range(-10, kBackgroundWidth + 10), random.range(-10, kBackgroundHeight + 10));
        const double distance = std::hypot((at.x() - middle.x()) / 395.0, (at.y() - middle.y()) / 300.0);
        if (random.real() > 0.25 + 0.75 * qMin(1.0, distance))
            continue;
        ++placed;
        const QColor color = withAlpha(colors[random.pick(7)], random.range(0.75, 1.0));
        painter.save();
        painter.translate(at);
        painter.rotate(random.range(0, 360));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        const int shape = random.pick(10);
        if (shape < 6) {
            // A flat piece seen at an angle: its width shrinks with the tilt.
            const double length = random.range(7, 15), width = length * random.range(0.25, 0.6);
            painter.drawRect(QRectF(-length / 2, -width / 2, length, width));
        } else if (shape < 8) {
            const double r = random.range(2.5, 5);
            painter.drawEllipse(QPointF(0, 0), r, r * random.range(0.5, 1.0));
        } else {
            QPainterPath curl;
            curl.moveTo(-14, 0);
            curl.cubicTo(-7, -9, -2, 9, 4, 0);
            curl.cubicTo(8, -6, 12, 5, 16, 0);
            painter.setPen(QPen(color, random.range(2, 3.2), Qt::SolidLine, Qt::RoundCap));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(curl);
        }
        painter.restore();
    }
    vignette(painter, 0.3);
}

void burst(QPainter& painter, ArtRandom& random, QPointF centre, double radius, const QColor& color)
{
    glow(painter, centre, radius * 1.05, color, 0.16);
    glow(painter, centre, radius * 0.3, color.lighter(150), 0.7);
    const int rays = 44 + random.pick(20);
    for (int i = 0; i < rays; ++i) {
        const double angle = 2 * M_PI * (i + random.range(-0.3, 0.3)) / rays;
        const double length = radius * random.range(0.7, 1.0);
        const QPointF direction(std::cos(angle), std::sin(angle));
        // A trail that brightens towards its head, then the spark itself.
        QLinearGradient trail(centre + direction * length * 0.25, centre + direction * length);
        trail.setColorAt(0.0, withAlpha(color, 0.0));
        trail.setColorAt(1.0, withAlpha(color, 0.85));
        painter.setPen(QPen(QBrush(trail), 1.9, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre + direction * length * 0.25, centre + direction * length);
        glow(painter, centre + direction * length, 4.5, color.lighter(130), 0.95);
    }
}

// 4: fireworks over a deep teal night.
void paintFireworks(QPainter& painter)
{
    QLinearGradient night(0, 0, 0, kBackgroundHeight);
    night.setColorAt(0.0, QColor(4, 22, 48));
    night.setColorAt(0.65, QColor(6, 62, 90));
    night.setColorAt(1.0, QColor(18, 108, 120));
    painter.fillRect(0, 0, kBackgroundWidth, kBackgroundHeight, night);
    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    glow(painter, {395, 700}, 520, QColor(255, 170, 90), 0.35);
    ArtRandom random(4);
    for (int i = 0; i < 160; ++i) {
        const double r = random.range(0.5, 1.4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(Qt::white, random.range(0.2, 0.8)));
        painter.drawEllipse(QPointF(random.range(0, kBackgroundWidth), random.range(0, 420)), r, r);
    }
    struct Burst {
        QPointF centre;
        double radius;
        QColor color;
    };
    const Burst bursts[] = {
        {{190, 170}, 120, QColor(255, 205, 70)}, {{560, 130}, 105, QColor(255, 90, 170)},
        {{650, 360}, 85, QColor(90, 230, 255)},  {{130, 420}, 70, QColor(140, 255, 120)},
        {{400, 300}, 60, QColor(255, 150, 60)},
    };
    for (const Burst& b : bursts)
        burst(painter, random, b.centre, b.radius, b.color);
    for (int i = 0; i < 12; ++i)
        sparkle(painter, {random.range(20, 770), random.range(20, 560)}, random.range(4, 9), QColor(255, 245, 220),
                random.range(0.5, 0.9));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    vignette(painter, 0.35);
}

QImage paintBackground(const std::function<void(QPainter&)>& paint)
{
    QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

// ---- icons, drawn on a 40 x 40 grid ----

QLinearGradient vertical(double top, double bottom, const QColor& a, const QColor& b)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0.0, a);
    gradient.setColorAt(1.0, b);
    return gradient;
}

// 1: a red gift box with a golden ribbon and bow.
void paintGiftIcon(QPainter& painter)
{
    const QColor ribbonEdge(150, 100, 10);
    const QLinearGradient gold = vertical(6, 36, QColor(255, 236, 150), QColor(240, 160, 0));
    painter.setPen(QPen(QColor(110, 0, 0), 1.0));
    painter.setBrush(vertical(19, 36, QColor(232, 57, 53), QColor(170, 20, 26)));
    painter.drawRoundedRect(QRectF(7, 19, 26, 17), 2, 2);
    painter.setBrush(vertical(13, 20, QColor(244, 96, 90), QColor(200, 36, 40)));
    painter.drawRoundedRect(QRectF(5, 13.5, 30, 6.5), 1.5, 1.5);
    painter.setPen(QPen(ribbonEdge, 0.8));
    painter.setBrush(gold);
    painter.drawRect(QRectF(17.5, 13.5, 5, 22.5));
    // The bow: two loops tilted away from the knot.
    for (int side : {-1, 1}) {
        painter.save();
        painter.translate(20 + side * 5.2, 10.2);
        painter.rotate(side * 28);
        painter.drawEllipse(QPointF(0, 0), 5.6, 3.4);
        painter.setBrush(QColor(170, 110, 0, 150));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(0, 0.2), 2.6, 1.3);
        painter.restore();
        painter.setPen(QPen(ribbonEdge, 0.8));
        painter.setBrush(gold);
    }
    painter.drawEllipse(QPointF(20, 12.5), 2.6, 2.4);
    // A sheen on the lid and a twinkle beside the box.
    painter.setPen(QPen(QColor(255, 255, 255, 110), 1.0));
    painter.drawLine(QPointF(7, 15), QPointF(16, 15));
    sparkle(painter, {34, 6.5}, 3.8, QColor(255, 200, 40), 1.0);
}

QPointF onCircle(QPointF centre, double radius, double degrees)
{
    const double a = qDegreesToRadians(degrees);
    return centre + radius * QPointF(std::cos(a), std::sin(a));
}

// 2: a green arrow running clockwise round a circle.
void paintResetIcon(QPainter& painter)
{
    const QPointF centre(20, 20.5);
    constexpr double kRadius = 12.0;
    constexpr double kStart = -20, kEnd = 262;  // degrees, y pointing down: growing angles run clockwise
    QPainterPath arc;
    arc.moveTo(onCircle(centre, kRadius, kStart));
    for (double a = kStart; a <= kEnd; a += 2)
        arc.lineTo(onCircle(centre, kRadius, a));
    const QPointF base = onCircle(centre, kRadius, kEnd);
    const double endRad = qDegreesToRadians(kEnd);
    const QPointF tangent(-std::sin(endRad), std::cos(endRad));
    const QPointF outward(std::cos(endRad), std::sin(endRad));
    QPolygonF head;
    head << base + outward * 6.8 << base + tangent * 9.5 << base - outward * 6.8;
    const QColor outline(20, 90, 30);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outline, 7.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(arc);
    painter.setPen(QPen(outline, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(outline);
    painter.drawPolygon(head);
    QRadialGradient green(centre + QPointF(-4, -5), 20);
    green.setColorAt(0.0, QColor(150, 230, 120));
    green.setColorAt(1.0, QColor(46, 150, 60));
    painter.setPen(QPen(QBrush(green), 4.8, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arc);
    painter.setPen(Qt::NoPen);
    painter.setBrush(green);
    painter.drawPolygon(head);
}

// 3: a printer with a sheet going in and a printed sheet coming out.
void paintPrinterIcon(QPainter& painter)
{
    const QColor paperEdge(120, 130, 140);
    painter.setPen(QPen(paperEdge, 0.9));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRect(QRectF(11.5, 4.5, 17, 12));
    painter.setPen(QPen(QColor(35, 50, 60), 1.0));
    painter.setBrush(vertical(14, 30, QColor(150, 172, 184), QColor(72, 96, 110)));
    painter.drawRoundedRect(QRectF(3.5, 14, 33, 15.5), 3, 3);
    painter.setPen(QPen(QColor(255, 255, 255, 120), 1.0));
    painter.drawLine(QPointF(6.5, 15.6), QPointF(33.5, 15.6));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 40, 48));
    painter.drawRoundedRect(QRectF(8.5, 24, 23, 3), 1, 1);
    painter.setBrush(QColor(120, 240, 60));
    painter.drawEllipse(QPointF(31, 19), 1.5, 1.5);
    painter.setPen(QPen(paperEdge, 0.9));
    painter.setBrush(QColor(255, 255, 255));
    painter.drawRect(QRectF(11, 25.5, 18, 12));
    painter.setPen(QPen(QColor(70, 140, 220), 1.3, Qt::SolidLine, Qt::RoundCap));
    for (double y : {29.0, 32.0, 35.0})
        painter.drawLine(QPointF(14, y), QPointF(y == 35.0 ? 21 : 26, y));
}

// The icons are drawn on a kIconSize grid; size is the picture's in pixels.
QImage paintIcon(const std::function<void(QPainter&)>& paint, int size = kIconSize)
{
    const int big = size * kIconOversample;
    QImage image(big, big, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(big) / kIconSize, double(big) / kIconSize);
    paint(painter);
    painter.end();
    // Averaging premultiplied pixels keeps the edges free of dark fringes.
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

struct Picture {
    QString name;
    QImage image;
    int quality;
};

std::vector<Picture> windowPictures()
{
    std::vector<Picture> pictures = {
        {QStringLiteral("bg1.jpg"), paintBackground(paintGoldenBokeh), kJpegQuality},
        {QStringLiteral("bg2.jpg"), paintBackground(paintStarburst), kJpegQuality},
        {QStringLiteral("bg3.jpg"), paintBackground(paintConfetti), kJpegQuality},
        {QStringLiteral("bg4.jpg"), paintBackground(paintFireworks), kJpegQuality},
    };
    const std::function<void(QPainter&)> icons[] = {paintGiftIcon, paintResetIcon, paintPrinterIcon};
    for (int i = 0; i < 3; ++i) {
        pictures.push_back({QStringLiteral("%1.png").arg(i + 1), paintIcon(icons[i]), -1});
        for (int density : kIconDensities)
            pictures.push_back(
                {QStringLiteral("%1@%2x.png").arg(i + 1).arg(density), paintIcon(icons[i], kIconSize * density), -1});
    }
    return pictures;
}

std::vector<Picture> themeIcons()
{
    std::vector<Picture> pictures;
    for (int size : kThemeIconSizes)
        pictures.push_back({QStringLiteral("hicolor/%1x%1/apps/sortia.png").arg(size), paintIcon(paintGiftIcon, size), -1});
    return pictures;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList args = application.arguments();
    const bool appIcons = args.size() == 3 && args[1] == QLatin1String("--app-icons");
    if (!appIcons && (args.size() != 2 || args[1].startsWith(QLatin1String("--")))) {
        std::fprintf(stderr, "usage: sortia-artwork OUTDIR\n       sortia-artwork --app-icons OUTDIR\n");
        return 2;
    }
    const QDir out(args.last());
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "sortia-artwork: cannot make the folder %s\n", qPrintable(out.path()));
        return 1;
    }
    for (const Picture& picture : appIcons ? themeIcons() : windowPictures()) {
        const QString path = out.filePath(picture.name);
        if (!QDir().mkpath(QFileInfo(path).path()) || !picture.image.save(path, nullptr, picture.quality)) {
            std::fprintf(stderr, "sortia-artwork: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
