// Properties of the themed button: defaults, setter side effects, change
// notices, the property bag's orders and what follows from them.

#include <QApplication>
#include <QtTest>

#include "controls/lumenbutton/lumen_button.h"
#include "controls/lumenbutton/property_bag.h"
#include "tests/support/fake_message_boxes.h"

namespace {

class RecordingContainer : public ControlContainer {
public:
    QString PropertyChanged(LumenButton&, const QString& name) override
    {
        notices << name;
        return failWith;
    }
    QString DisplayName(const LumenButton&) const override { return QStringLiteral("LumenButton3"); }
    gdi::LogFont AmbientFont() const override
    {
        gdi::LogFont font;
        font.faceName = QStringLiteral("宋体");
        font.pointSize = 9;
        return font;
    }
    bool UserMode() const override { return userMode; }

    QStringList notices;
    QString failWith;
    bool userMode = true;
};

constexpr gdi::COLORREF kRed = gdi::RGB(255, 0, 0);

}  // namespace

class LumenButtonPropertiesTest : public QObject {
    Q_OBJECT
private slots:
    void newControlGetsContainerNameAndDefaults()
    {
        RecordingContainer container;
        LumenButton button(nullptr, &container);
        button.InitProperties();
        QCOMPARE(button.Caption(), QStringLiteral("LumenButton3"));
        QCOMPARE(button.Theme(), 1);
        QCOMPARE(button.CaptionAlignment(), 5);
        QCOMPARE(button.CaptionEffectColor(), gdi::RGB(255, 255, 255));
        QCOMPARE(button.CaptionDisableColor(), gdi::RGB(212, 212, 212));
        QCOMPARE(button.Icon(), false);
        QCOMPARE(button.Enabled(), true);
        QCOMPARE(button.RoundedValue(), 5);
        QCOMPARE(button.TransparencyICO(), std::int16_t(100));
        QCOMPARE(button.ShadowOffsetX(), std::int16_t(2));
        QVERIFY(button.hoverTimer().isActive());
    }

    void initialisingAssignsInItsOrder()
    {
        RecordingContainer container;
        LumenButton button(nullptr, &container);
        button.InitProperties();
        const QStringList expected = {"Caption", "IconSource", "ForeColor", "Theme", "FocusDottedRect", "Enabled",
                                      "Font", "Icon", "RoundedValue", "TransparencyICO", "CaptionAlignment",
                                      "CaptionOffsetX", "CaptionOffsetY", "ShadowOffsetX", "ShadowOffsetY",
                                      "CaptionEffectColor", "CaptionEffect", "IconAlignment",
                                      "CaptionDisableColor"};
        QCOMPARE(container.notices, expected);
    }

    void readingAssignsInItsOrderAndPaintsEachTime()
    {
        RecordingContainer container;
        LumenButton button(nullptr, &container);
        button.resize(75, 23);
        const int before = button.paintCount();
        button.ReadProperties(PropertyBag());
        const QStringList expected = {"Caption", "IconSource", "CaptionDisableColor", "CaptionEffectColor",
                                      "CaptionEffect", "CaptionOffsetY", "CaptionOffsetX", "ShadowOffsetY",
                                      "ShadowOffsetX", "ForeColor", "Theme", "FocusDottedRect", "Enabled", "Font",
                                      "Icon", "RoundedValue", "TransparencyICO", "CaptionAlignment",
                                      "IconAlignment"};
        QCOMPARE(container.notices, expected);
        QCOMPARE(button.paintCount() - before, 19);
    }

    void readingClearsStoredCaptionOffsets()
    {
        PropertyBag bag;
        bag.setRaw(QStringLiteral("captionoffsetx"), 4);
        bag.setRaw(QStringLiteral("captionoffsety"), 7);
        LumenButton button;
        button.ReadProperties(bag);
        QCOMPARE(button.CaptionOffsetX(), std::int16_t(0));
        QCOMPARE(button.CaptionOffsetY(), std::int16_t(0));
    }

    void readingLetsTheThemeReplaceTheDisabledColour_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<quint32>("expected");
        QTest::newRow("sky") << 3 << quint32(gdi::RGB(154, 182, 200));
        QTest::newRow("glass") << 6 << quint32(gdi::RGB(183, 182, 186));
        QTest::newRow("metal") << 9 << quint32(gdi::RGB(201, 199, 186));
        QTest::newRow("outside the range keeps the stored colour") << 12 << quint32(kRed);
    }
    void readingLetsTheThemeReplaceTheDisabledColour()
    {
        QFETCH(int, theme);
        QFETCH(quint32, expected);
        PropertyBag bag;
        bag.setRaw(QStringLiteral("theme"), theme);
        bag.setRaw(QStringLiteral("CaptionDisableColor"), qlonglong(kRed));
        LumenButton button;
        button.ReadProperties(bag);
        QCOMPARE(quint32(button.CaptionDisableColor()), expected);
    }

    void themeSetterChangesDisabledColourOnlyWhenDisabled()
    {
        LumenButton button;
        button.InitProperties();
        button.setCaptionDisableColor(kRed);
        button.setTheme(7);
        QCOMPARE(button.CaptionDisableColor(), kRed);
        button.setEnabled(false);
        button.setTheme(7);
        QCOMPARE(button.CaptionDisableColor(), gdi::RGB(201, 199, 186));
    }

    void transparencyOutsideItsRangeIsRefused_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("message");
        QTest::newRow("101") << 101 << 100 << true;
        QTest::newRow("-1") << -1 << 100 << true;
        QTest::newRow("0") << 0 << 0 << false;
        QTest::newRow("55") << 55 << 55 << false;
    }
    void transparencyOutsideItsRangeIsRefused()
    {
        QFETCH(int, value);
        QFETCH(int, stored);
        QFETCH(bool, message);
        FakeMessageBoxes boxes;
        RecordingContainer container;
        LumenButton button(nullptr, &container);
        container.notices.clear();
        button.setTransparencyICO(std::int16_t(value));
        QCOMPARE(int(button.TransparencyICO()), stored);
        QCOMPARE(container.notices, QStringList{"TransparencyICO"});
        QCOMPARE(boxes.shown.size(), std::size_t(message ? 1 : 0));
        if (message) {
            QCOMPARE(boxes.shown[0].text, QStringLiteral("Please Enter Between 0 TO 100 Value"));
            QCOMPARE(boxes.shown[0].icon, ui::Icon::Critical);
        }
    }

    void captionAlignmentClearsOffsetsEvenWhenUnchanged()
    {
        LumenButton button;
        button.InitProperties();
        button.setCaptionOffsetX(3);
        button.setCaptionOffsetY(4);
        button.setCaptionAlignment(button.CaptionAlignment());
        QCOMPARE(button.CaptionOffsetX(), std::int16_t(0));
        QCOMPARE(button.CaptionOffsetY(), std::int16_t(0));
    }

    void iconSourceIsCheckedWhenTheIconIsSwitchedOn_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("empty") << QString() << false << QStringLiteral("Null Value!");
        QTest::newRow("five characters") << QStringLiteral("a.png") << false << QStringLiteral("Incorrect Source!");
        QTest::newRow("seven characters") << QStringLiteral("abc.png") << false << QStringLiteral("Incorrect Source!");
        QTest::newRow("eight characters") << QStringLiteral("C:\\a.png") << true << QString();
    }
    void iconSourceIsCheckedWhenTheIconIsSwitchedOn()
    {
        QFETCH(QString, source);
        QFETCH(bool, stored);
        QFETCH(QString, firstLine);
        QCoreApplication::setApplicationVersion(QStringLiteral("1.3.4"));
        FakeMessageBoxes boxes;
        LumenButton button;
        button.InitProperties();
        button.setIconSource(source);
        button.setIcon(true);
        QCOMPARE(button.Icon(), stored);
        if (stored) {
            QVERIFY(boxes.shown.empty());
            return;
        }
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        const QString instruction = firstLine == QLatin1String("Null Value!")
                                        ? QStringLiteral("Plaese Enter Icon Image Source in IconSource.")
                                        : QStringLiteral("Plaese Enter Correct Source in IconSource.");
        const QString expected = firstLine + "\r\n\r\n" + instruction +
                                 "\r\nIcon Image Extention is: \r\n"
                                 "*.bmp / *.gif / *.jpg / *.ico / *.png / *.wmf / *.emf / *.cur / *.jpeg"
                                 "\r\n\r\nFor Example:\r\nC:\\My Pic.bmp";
        QCOMPARE(boxes.shown[0].text, expected);
        QCOMPARE(boxes.shown[0].title, QStringLiteral("Lumen Button 2007 Ver.1.3.4."));
        QCOMPARE(boxes.shown[0].icon, ui::Icon::None);
    }

    void storedIconWithoutSourceComplainsWhileLoading()
    {
        FakeMessageBoxes boxes;
        PropertyBag bag;
        bag.setRaw(QStringLiteral("icon"), true);
        LumenButton button;
        button.ReadProperties(bag);
        QCOMPARE(button.Icon(), false);
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QVERIFY(boxes.shown[0].text.startsWith(QStringLiteral("Null Value!")));
    }

    void failedChangeNoticeReachesTheCallerAndSkipsTheRepaint()
    {
        RecordingContainer container;
        LumenButton button(nullptr, &container);
        button.resize(40, 20);
        button.InitProperties();
        container.failWith = QStringLiteral("read-only");
        const int before = button.paintCount();
        QVERIFY(!button.setCaption(QStringLiteral("x")));
        QCOMPARE(button.Caption(), QStringLiteral("x"));
        QCOMPARE(button.paintCount(), before);
    }

    void savingStoresOnlyWhatDiffersFromTheWriteDefaults()
    {
        RecordingContainer container;
        LumenButton button(nullptr, &container);
        button.InitProperties();
        PropertyBag bag;
        button.WriteProperties(bag);
        // White differs from the write default (200, 200, 200), the rest match.
        QCOMPARE(bag.keys(), (QStringList{"caption", "captioneffectcolor"}));
        LumenButton reloaded(nullptr, &container);
        reloaded.ReadProperties(bag);
        QCOMPARE(reloaded.CaptionEffectColor(), gdi::RGB(255, 255, 255));
        QCOMPARE(reloaded.Caption(), QStringLiteral("LumenButton3"));
    }

    void bagKeysIgnoreCase()
    {
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("CaptionEffect"), 4, 1);
        QCOMPARE(bag.keys(), QStringList{"captioneffect"});
        QCOMPARE(bag.ReadProperty(QStringLiteral("CAPTIONEFFECT"), 1).toInt(), 4);
        bag.WriteProperty(QStringLiteral("captionEffect"), 1, 1);
        QVERIFY(!bag.contains(QStringLiteral("CaptionEffect")));
    }

    // A caller that holds the button as a plain widget gets the property.
    void widgetEnabledIsTheProperty()
    {
        RecordingContainer container;
        LumenButton button(nullptr, &container);
        button.resize(40, 20);
        button.InitProperties();
        container.notices.clear();
        QWidget* widget = &button;
        widget->setEnabled(false);
        QVERIFY(!button.Enabled());
        QCOMPARE(container.notices, QStringList{"Enabled"});
        button.setTheme(7);  // the theme's disabled colour applies to a disabled control
        QCOMPARE(button.CaptionDisableColor(), gdi::RGB(201, 199, 186));
        widget->setEnabled(true);
        QVERIFY(button.Enabled());
    }

    void disabledParentDisablesTheButton()
    {
        QWidget parent;
        LumenButton button(&parent);
        button.InitProperties();
        parent.setEnabled(false);
        QVERIFY(!button.Enabled());
        parent.setEnabled(true);
        QVERIFY(button.Enabled());
    }

    void widgetFontIsTheCaptionFont()
    {
        RecordingContainer container;
        QWidget parent;
        LumenButton button(&parent, &container);
        button.InitProperties();
        container.notices.clear();
        // The parent's font is not the button's.
        parent.setFont(QFont(QStringLiteral("DejaVu Serif"), 30));
        QCOMPARE(button.Font()->faceName, QStringLiteral("宋体"));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(20);
        font.setBold(true);
        static_cast<QWidget&>(button).setFont(font);
        QCOMPARE(button.Font()->faceName, QStringLiteral("DejaVu Sans"));
        QCOMPARE(button.Font()->pointSize, 15.0);
        QCOMPARE(button.Font()->weight, 700);
        QCOMPARE(container.notices, QStringList{"Font"});
        // The font object set as a property is what the widget reports.
        auto object = std::make_shared<gdi::LogFont>();
        object->faceName = QStringLiteral("DejaVu Sans Mono");
        object->pointSize = 12;
        button.setFont(object);
        QCOMPARE(button.Font(), object);
        QCOMPARE(button.font().family(), QStringLiteral("DejaVu Sans Mono"));
        QCOMPARE(container.notices, (QStringList{"Font", "Font"}));
    }

    void hoverPollRunsOnlyInUserMode()
    {
        RecordingContainer container;
        container.userMode = false;
        LumenButton button(nullptr, &container);
        button.InitProperties();
        QVERIFY(!button.hoverTimer().isActive());
        QCOMPARE(button.hoverTimer().interval(), 50);
    }
};

QTEST_MAIN(LumenButtonPropertiesTest)
#include "lumen_button_properties_test.moc"
