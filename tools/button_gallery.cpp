// sortia-buttons OUT.png [--size WxH] [--caption TEXT] [--scale S]
// Renders every theme in every look into one sheet: theme t in row t-1, the
// looks normal, hover, focus, pressed and disabled in columns 0 to 4, each
// cell 8 pixels apart, white wherever no button's window region reaches.
// --scale paints each button S times its size, as a scaled window shows it.
#include <cstdio>

#include <QApplication>
#include <QImage>
#include <QRegion>
#include <QRegularExpression>

#include "controls/lumenbutton/lumen_button.h"

namespace {

constexpr int kGap = 8;
constexpr int kThemes = 9;
constexpr int kLooks = 5;

struct Options {
    QString out;
    int width = 75;
    int height = 23;
    QString caption = QStringLiteral("Ab");
    double scale = 1.0;
    // The cell: the designed size times the scale.
    int cellWidth() const { return int(width * scale + 0.5); }
    int cellHeight() const { return int(height * scale + 0.5); }
};

bool parseOptions(const QStringList& args, Options& options)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--size") && i + 1 < args.size()) {
            const auto match = QRegularExpression(QStringLiteral("^(\\d{1,4})x(\\d{1,4})$")).match(args[++i]);
            if (!match.hasMatch())
                return false;
            options.width = match.captured(1).toInt();
            options.height = match.captured(2).toInt();
            if (options.width < 1 || options.height < 1)
                return false;
        } else if (arg == QLatin1String("--caption") && i + 1 < args.size()) {
            options.caption = args[++i];
        } else if (arg == QLatin1String("--scale") && i + 1 < args.size()) {
            bool ok = false;
            options.scale = args[++i].toDouble(&ok);
            if (!ok || !(options.scale >= 0.25 && options.scale <= 8))
                return false;
        } else if (options.out.isEmpty() && !arg.startsWith(QLatin1String("--"))) {
            options.out = arg;
        } else {
            return false;
        }
    }
    return !options.out.isEmpty();
}

// Puts the button in look column 0 to 4: normal, hover, focus, pressed, disabled.
void applyLook(LumenButton& button, int look)
{
    switch (look) {
    case 1: button.setStateForTest(false, true, false); break;
    case 2:
        button.setFocusDottedRect(true);
        button.setStateForTest(false, false, true);
        break;
    case 3: button.setStateForTest(true, false, false); break;
    case 4: button.setEnabled(false); break;
    default: break;
    }
}

void renderCell(QImage& sheet, const Options& options, int theme, int look)
{
    LumenButton button;
    button.resize(options.cellWidth(), options.cellHeight());
    button.setDisplayScale(options.scale);
    button.InitProperties();
    button.setCaption(options.caption);
    button.setCaptionEffect(LumenButton::Outline);
    button.setCaptionEffectColor(gdi::RGB(255, 255, 255));
    button.setTheme(theme);
    applyLook(button, look);
    button.clearSurface();
    button.DrawButton();
    const QImage face = button.surfaceImage();
    const QRegion region = button.mask().isEmpty() ? QRegion(face.rect()) : button.mask();
    const int left = kGap + look * (options.cellWidth() + kGap);
    const int top = kGap + (theme - 1) * (options.cellHeight() + kGap);
    for (const QRect& rect : region)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (face.rect().contains(x, y))
                    sheet.setPixel(left + x, top + y, face.pixel(x, y));
}

}  // namespace

int main(int argc, char** argv)
{
    // The gallery needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    if (!parseOptions(app.arguments(), options)) {
        std::fprintf(stderr, "usage: sortia-buttons OUT.png [--size WxH] [--caption TEXT] [--scale S]\n");
        return 2;
    }
    QImage sheet(kGap + kLooks * (options.cellWidth() + kGap), kGap + kThemes * (options.cellHeight() + kGap),
                 QImage::Format_RGB32);
    if (sheet.isNull()) {
        std::fprintf(stderr, "sortia-buttons: the sheet is too large\n");
        return 1;
    }
    sheet.fill(Qt::white);
    for (int theme = 1; theme <= kThemes; ++theme)
        for (int look = 0; look < kLooks; ++look)
            renderCell(sheet, options, theme, look);
    if (!sheet.save(options.out, "PNG")) {
        std::fprintf(stderr, "sortia-buttons: cannot write %s\n", qPrintable(options.out));
        return 1;
    }
    return 0;
}
