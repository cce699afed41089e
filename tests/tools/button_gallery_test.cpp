// The gallery program: sheet size, cell positions, looks per column and the
// white outside the window regions.
#include <QtTest>


namespace {

constexpr int kW = 40;
constexpr int kH = 20;

// Top-left corner of the cell of theme t (1 to 9) and look column c (0 to 4).
QPoint cell(int theme, int column)
{
    return {8 + column * (kW + 8), 8 + (theme - 1) * (kH + 8)};
}

QString rgbText(QRgb p)
{
    return QStringLiteral("(%1,%2,%3)").arg(qRed(p)).arg(qGreen(p)).arg(qBlue(p));
}

QString rgbText(int r, int g, int b)
{
    return QStringLiteral("(%1,%2,%3)").arg(r).arg(g).arg(b);
}

}  // namespace

class ButtonGalleryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sheetHasOneCellPerThemeAndLook();
    void looksFollowTheColumns_data();
    void looksFollowTheColumns();
    void scaleOneShowsTheDesignedPixels_data();
    void scaleOneShowsTheDesignedPixels();
    void scaleTwoPaintsTwiceTheSize();
    void refusesBadArguments();

private:
    QTemporaryDir m_dir;
    QImage m_sheet;
};

void ButtonGalleryTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString out = m_dir.filePath(QStringLiteral("sheet.png"));
    QProcess gallery;
    gallery.start(QStringLiteral(SORTIA_BUTTONS_PROGRAM),
                  {out, QStringLiteral("--size"), QStringLiteral("%1x%2").arg(kW).arg(kH)});
    QVERIFY(gallery.waitForFinished(60000));
    QCOMPARE(gallery.exitCode(), 0);
    QVERIFY(m_sheet.load(out));
}

void ButtonGalleryTest::sheetHasOneCellPerThemeAndLook()
{
    QCOMPARE(m_sheet.size(), QSize(8 + 5 * (kW + 8), 8 + 9 * (kH + 8)));
    const QRgb white = qRgb(255, 255, 255);
    QCOMPARE(m_sheet.pixel(0, 0), white);
    // Gaps between cells and the cut corners of every window region stay white.
    for (int theme = 1; theme <= 9; ++theme)
        for (int column = 0; column < 5; ++column) {
            const QPoint c = cell(theme, column);
            QCOMPARE(m_sheet.pixel(c.x() - 1, c.y() + kH / 2), white);
            QCOMPARE(m_sheet.pixel(c.x() + kW / 2, c.y() - 1), white);
            QCOMPARE(m_sheet.pixel(c.x(), c.y()), white);
            QCOMPARE(m_sheet.pixel(c.x() + kW - 1, c.y() + kH - 1), white);
        }
}

void ButtonGalleryTest::looksFollowTheColumns_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QString>("expected");
    QTest::newRow("classic normal border") << 7 << 0 << kW / 2 << 0 << rgbText(0, 60, 116);
    QTest::newRow("classic hover L1") << 7 << 1 << 10 << 1 << rgbText(255, 240, 207);
    QTest::newRow("classic focus dot") << 7 << 2 << 3 << 2 << rgbText(0, 0, 0);
    QTest::newRow("classic pressed L1") << 7 << 3 << 10 << 1 << rgbText(209, 204, 193);
    QTest::newRow("classic disabled border") << 7 << 4 << kW / 2 << 0 << rgbText(201, 199, 186);
    QTest::newRow("metal pressed L1") << 9 << 3 << 10 << 1 << rgbText(255, 255, 255);
    QTest::newRow("midnight hover top row") << 2 << 1 << kW / 2 << 0 << rgbText(196, 204, 204);
    QTest::newRow("frost focus border") << 1 << 2 << kW / 2 << 0 << rgbText(45, 86, 176);
    QTest::newRow("sky disabled border") << 3 << 4 << kW / 2 << 0 << rgbText(161, 189, 207);
}

void ButtonGalleryTest::looksFollowTheColumns()
{
    QFETCH(int, theme);
    QFETCH(int, column);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QString, expected);
    const QPoint c = cell(theme, column);
    QCOMPARE(rgbText(m_sheet.pixel(c.x() + x, c.y() + y)), expected);
}

namespace {

QImage runGallery(const QString& out, const QStringList& options)
{
    QProcess gallery;
    gallery.start(QStringLiteral(SORTIA_BUTTONS_PROGRAM), QStringList{out} + options);
    if (!gallery.waitForFinished(60000) || gallery.exitCode() != 0)
        return {};
    return QImage(out);
}

}  // namespace

// Sheets of the buttons without captions (no font involved) as the gallery
// painted them before the buttons learnt to scale: scale 1 keeps every pixel.
void ButtonGalleryTest::scaleOneShowsTheDesignedPixels_data()
{
    QTest::addColumn<QString>("size");
    QTest::newRow("75x23") << QStringLiteral("75x23");
    QTest::newRow("217x49, the draw button") << QStringLiteral("217x49");
}

void ButtonGalleryTest::scaleOneShowsTheDesignedPixels()
{
    QFETCH(QString, size);
    const QImage expected(QStringLiteral(SORTIA_TESTDATA_DIR "/buttons/gallery_%1.png").arg(size));
    QVERIFY(!expected.isNull());
    for (const QStringList& scale : {QStringList{}, QStringList{QStringLiteral("--scale"), QStringLiteral("1")}}) {
        const QImage sheet = runGallery(m_dir.filePath(QStringLiteral("plain.png")),
                                        QStringList{QStringLiteral("--size"), size, QStringLiteral("--caption"),
                                                    QString()} + scale);
        QCOMPARE(sheet.convertToFormat(QImage::Format_RGB32), expected.convertToFormat(QImage::Format_RGB32));
    }
}

void ButtonGalleryTest::scaleTwoPaintsTwiceTheSize()
{
    const QImage sheet =
        runGallery(m_dir.filePath(QStringLiteral("double.png")),
                   {QStringLiteral("--size"), QStringLiteral("%1x%2").arg(kW).arg(kH), QStringLiteral("--scale"),
                    QStringLiteral("2")});
    QCOMPARE(sheet.size(), QSize(8 + 5 * (2 * kW + 8), 8 + 9 * (2 * kH + 8)));
    // The classic border is one pixel wide at the top of the doubled cell.
    const QPoint c(8, 8 + 6 * (2 * kH + 8));
    QCOMPARE(rgbText(sheet.pixel(c.x() + kW, c.y())), rgbText(0, 60, 116));
    QVERIFY(rgbText(sheet.pixel(c.x() + kW, c.y() + 1)) != rgbText(0, 60, 116));
}

void ButtonGalleryTest::refusesBadArguments()
{
    const QStringList bad[] = {{}, {QStringLiteral("x.png"), QStringLiteral("--size"), QStringLiteral("0x5")},
                               {QStringLiteral("x.png"), QStringLiteral("--size")},
                               {QStringLiteral("x.png"), QStringLiteral("--bogus")},
                               {QStringLiteral("x.png"), QStringLiteral("--scale"), QStringLiteral("0")},
                               {QStringLiteral("x.png"), QStringLiteral("--scale"), QStringLiteral("two")}};
    for (const QStringList& args : bad) {
        QProcess gallery;
        gallery.setWorkingDirectory(m_dir.path());
        gallery.start(QStringLiteral(SORTIA_BUTTONS_PROGRAM), args);
        QVERIFY(gallery.waitForFinished(60000));
        QCOMPARE(gallery.exitCode(), 2);
    }
}

QTEST_GUILESS_MAIN(ButtonGalleryTest)
#include "button_gallery_test.moc"
