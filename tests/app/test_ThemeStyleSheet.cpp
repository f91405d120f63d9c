// Style sheets, icon loading and the theme actions.
#include "LogCapture.h"

#include "IconLoader.h"
#include "Resources.h"
#include "StyleSheet.h"
#include "ThemeActions.h"
#include "ThemeNotifier.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Every icon name the application loads.
const QStringList kIconNames = {
    "floppy-disk-all", "floppy-disk-arrow-in", "floppy-disk", "rotate-camera-right", "play-solid",
    "pause-solid", "circle", "square", "one-finger-select-hand-press", "layout-right",
    "reports-solid", "airplay-solid", "tools", "video-camera", "keyframe-solid", "sun-light",
    "wifi", "computer", "skip-prev-solid", "rewind-solid", "forward-solid", "skip-next-solid",
    "restart"};

QString readResource(const QString& path)
{
    initRastelResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Selectors of every rule of a style sheet, in order, comments removed.
QStringList selectors(QString sheet)
{
    sheet.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"),
                                    QRegularExpression::DotMatchesEverythingOption));
    QStringList result;
    for (const QString& block : sheet.split(QLatin1Char('}'))) {
        const int brace = block.indexOf(QLatin1Char('{'));
        if (brace >= 0)
            result << block.left(brace).simplified();
    }
    return result;
}

bool anyLineContains(const QStringList& lines, const QString& text)
{
    for (const QString& line : lines)
        if (line.contains(text))
            return true;
    return false;
}

// Restores the application's style state after each test.
class ThemeTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        qApp->setStyleSheet(QString());
        qApp->setProperty("activeStyleSheet", QVariant());
    }
};

} // namespace

TEST_F(ThemeTest, BothSheetsHaveTheSameRulesAndBothPlaceholders)
{
    const QString dark = readResource(QStringLiteral(":/vyk_style/vyk_style_dark.qss"));
    const QString bright = readResource(QStringLiteral(":/vyk_style/vyk_style_bright.qss"));
    ASSERT_FALSE(dark.isEmpty());
    ASSERT_FALSE(bright.isEmpty());
    const QStringList darkRules = selectors(dark);
    EXPECT_EQ(darkRules.size(), 131);
    EXPECT_EQ(darkRules, selectors(bright));
    for (const QString& sheet : {dark, bright}) {
        EXPECT_TRUE(sheet.contains(QLatin1String("@accent_hex")));
        EXPECT_TRUE(sheet.contains(QLatin1String("@accent_rgb")));
    }
    EXPECT_TRUE(dark.contains(QLatin1String("background-color: #353535; color: #FFFFFF; font-size: 10pt;")));
    // Images the sheets refer to are resources that exist.
    const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    int images = 0;
    for (auto it = url.globalMatch(dark + bright); it.hasNext(); ++images) {
        const QString image = it.next().captured(1);
        EXPECT_TRUE(QFile::exists(image)) << image.toStdString();
    }
    EXPECT_GT(images, 0);
    EXPECT_TRUE(bright.contains(QLatin1String("background-color: #f5f5f7; color: #111111; font-size: 10pt;")));
}

TEST_F(ThemeTest, ResourceByModeAndPlaceholderSubstitution)
{
    EXPECT_EQ(styleSheetResource(QStringLiteral("Dark")), QStringLiteral(":/vyk_style/vyk_style_dark.qss"));
    EXPECT_EQ(styleSheetResource(QStringLiteral("Bright")), QStringLiteral(":/vyk_style/vyk_style_bright.qss"));
    EXPECT_TRUE(styleSheetResource(QStringLiteral("dark")).isEmpty()) << "mode text is exact";

    const QString text = styleSheetText(QStringLiteral("#64A70B"), QStringLiteral("100, 167, 11"),
                                        QStringLiteral("Bright"));
    EXPECT_FALSE(text.contains(QLatin1String("@accent")));
    EXPECT_TRUE(text.contains(QLatin1String("QToolTip { background-color: #f5f5f7; color: #111111; border: 1px solid #64A70B;")));
    EXPECT_TRUE(text.contains(QLatin1String("rgba(100, 167, 11, 0.35)")));
    EXPECT_EQ(text.count(QLatin1String("#64A70B")),
              readResource(styleSheetResource(QStringLiteral("Bright"))).count(QLatin1String("@accent_hex")));
}

TEST_F(ThemeTest, ApplyingSetsSheetPropertyNotifiesAndLogs)
{
    LogCapture log(4);
    QStringList modes;
    QObject receiver;
    QObject::connect(ThemeNotifier::instance(), &ThemeNotifier::themeChanged, &receiver,
                     [&modes](const QString& mode) { modes << mode; });

    applyStyleSheet(QStringLiteral("#B78620"), QStringLiteral("183, 134, 32"), QStringLiteral("Dark"));
    EXPECT_EQ(qApp->property("activeStyleSheet").toString(), QStringLiteral(":/vyk_style/vyk_style_dark.qss"));
    EXPECT_TRUE(qApp->styleSheet().contains(QLatin1String("#B78620")));
    EXPECT_TRUE(qApp->styleSheet().contains(QLatin1String("#353535")));
    EXPECT_EQ(modes, QStringList{QStringLiteral("Dark")});
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("{DEBUG} [THR_ID: ")));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Set new Stylesheet successfully")));

    applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QStringLiteral("Sepia"));
    EXPECT_TRUE(qApp->styleSheet().isEmpty()) << "an unknown mode clears the style sheet";
    EXPECT_TRUE(qApp->property("activeStyleSheet").toString().isEmpty());
    EXPECT_EQ(modes, (QStringList{QStringLiteral("Dark"), QStringLiteral("Sepia")}));
}

// Polishes a few common widgets under the application style sheet in force.
static void polishSampleWidgets(QPushButton* button)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(button);
    layout->addWidget(new QComboBox);
    layout->addWidget(new QTreeWidget);
    window.show();
    button->ensurePolished();
    button->setParent(nullptr);
}

TEST_F(ThemeTest, SheetsParseWhenWidgetsArePolished)
{
    {
        // The check below notices a sheet Qt cannot parse.
        LogCapture log(4);
        qApp->setStyleSheet(QStringLiteral("QWidget { color: #fff; QPushButton }} {"));
        QPushButton button;
        polishSampleWidgets(&button);
        ASSERT_TRUE(anyLineContains(log.lines(), QStringLiteral("Could not parse")));
    }
    LogCapture log(4);
    for (const char* mode : {"Dark", "Bright"}) {
        applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QLatin1String(mode));
        QPushButton button(QStringLiteral("Add"));
        polishSampleWidgets(&button);
        EXPECT_FALSE(anyLineContains(log.lines(), QStringLiteral("Could not parse"))) << mode;
        // Push buttons: transparent with a 1 px border, radius 3, padding 5, at least 80 px.
        EXPECT_GE(button.sizeHint().width(), 80) << mode;
    }
}

TEST_F(ThemeTest, EveryIconExistsInBothSetsInItsSetColour)
{
    LogCapture log(4);
    for (const auto& [mode, rgb] : {std::pair{"Dark", QRgb(0xFFFFFF)}, std::pair{"Bright", QRgb(0x111111)}}) {
        applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QLatin1String(mode));
        for (const QString& name : kIconNames) {
            SCOPED_TRACE((QLatin1String(mode) + QLatin1Char(' ') + name).toStdString());
            const QIcon icon = loadIcon(name);
            ASSERT_FALSE(icon.isNull());
            const QImage image = icon.pixmap(48, 48).toImage().convertToFormat(QImage::Format_ARGB32);
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) == 255) {
                        ++opaque;
                        ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, rgb);
                    }
            EXPECT_GT(opaque, 20) << "the glyph draws something";
        }
    }
    EXPECT_FALSE(anyLineContains(log.lines(), QStringLiteral("Icon not found")));
}

TEST_F(ThemeTest, BrightModeLoadsIconsFromTheBlackSetAlsoWhenTinted)
{
    LogCapture log(4);
    applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QStringLiteral("Dark"));
    EXPECT_EQ(iconFolder(), QStringLiteral(":/icons/white/"));
    loadIcon(QStringLiteral("circle"));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Loaded icon:  \":/icons/white/circle.svg\"")));

    applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QStringLiteral("Bright"));
    EXPECT_EQ(iconFolder(), QStringLiteral(":/icons/black/"));
    loadIcon(QStringLiteral("square"));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Loaded icon:  \":/icons/black/square.svg\"")));
    loadIcon(QStringLiteral("airplay-solid"), QStringLiteral("steelblue"));
    EXPECT_TRUE(anyLineContains(log.lines(),
        QStringLiteral("Loaded and colorized icon:  \":/icons/black/airplay-solid.svg\"  with color:  \"#4682b4\"")));

    qApp->setProperty("activeStyleSheet", QStringLiteral(":/somewhere/MY_DARK_style.qss"));
    EXPECT_EQ(iconFolder(), QStringLiteral(":/icons/white/")) << "\"dark\" in any case";
}

TEST_F(ThemeTest, TintReplacesColourAndKeepsAlpha)
{
    applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QStringLiteral("Dark"));
    const QIcon plain = loadIcon(QStringLiteral("wifi"));
    const QIcon tinted = loadIcon(QStringLiteral("wifi"), QStringLiteral("deeppink"));
    ASSERT_FALSE(tinted.isNull());
    const QSize size = tinted.availableSizes().value(0);
    EXPECT_EQ(size, QSize(64, 64));
    const QImage a = plain.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage b = tinted.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(a.size(), b.size());
    const QColor pink(QStringLiteral("deeppink"));
    int partial = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb before = a.pixel(x, y);
            const QRgb after = b.pixel(x, y);
            ASSERT_NEAR(qAlpha(after), qAlpha(before), 1) << x << "," << y;
            if (qAlpha(after) == 255) {
                ASSERT_EQ(QColor(after), pink);
            }
            if (qAlpha(after) > 0 && qAlpha(after) < 255)
                ++partial;
        }
    }
    EXPECT_GT(partial, 0) << "anti-aliased edges stay partly transparent";
}

TEST_F(ThemeTest, MissingIconAndInvalidColourAreReported)
{
    LogCapture log(4);
    applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QStringLiteral("Dark"));
    EXPECT_TRUE(loadIcon(QStringLiteral("no-such-icon")).isNull());
    EXPECT_TRUE(anyLineContains(log.lines(),
        QStringLiteral("{WARNING} [THR_ID: ")));
    EXPECT_TRUE(anyLineContains(log.lines(),
        QStringLiteral("Icon not found at path:  \":/icons/white/no-such-icon.svg\"")));

    const QIcon icon = loadIcon(QStringLiteral("keyframe-solid"), QStringLiteral("notacolour"));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Invalid color name:  \"notacolour\"")));
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(32, 32).toImage();
    EXPECT_EQ(QColor(image.pixel(16, 16)), QColor(Qt::white)) << "untinted";
}

TEST_F(ThemeTest, ThemeActionsStartWithBlueAndNoBrightness)
{
    ThemeActions theme;
    QStringList accents;
    for (QAction* action : theme.accentActions()) {
        accents << action->text();
        EXPECT_TRUE(action->isCheckable());
    }
    EXPECT_EQ(accents, (QStringList{"VYK Blue", "Green", "Orange"}));
    EXPECT_EQ(theme.checkedAccent(), QStringLiteral("VYK Blue"));
    EXPECT_EQ(theme.brightnessActions().size(), 2);
    EXPECT_TRUE(theme.checkedBrightness().isEmpty());

    QMenu menu;
    theme.addAccentActionsTo(&menu);
    EXPECT_EQ(menu.actions(), theme.accentActions());

    EXPECT_TRUE(theme.checkBrightness(QStringLiteral("Bright")));
    EXPECT_TRUE(theme.checkBrightness(QStringLiteral("Dark")));
    EXPECT_EQ(theme.checkedBrightness(), QStringLiteral("Dark")) << "exclusive";
    EXPECT_FALSE(theme.checkAccent(QStringLiteral("Purple")));
    EXPECT_EQ(theme.checkedAccent(), QStringLiteral("VYK Blue"));

    EXPECT_EQ(ThemeActions::accentFor(QStringLiteral("Orange")).rgb, QStringLiteral("183, 134, 32"));
    EXPECT_EQ(ThemeActions::accentFor(QStringLiteral("Purple")).hex, QStringLiteral("#006698"));
}

TEST_F(ThemeTest, StyleChangeAppliesCheckedAccentAndBrightness)
{
    LogCapture log(4);
    ThemeActions theme;
    int triggered = 0;
    QObject::connect(&theme, &ThemeActions::styleActionTriggered, [&triggered] { ++triggered; });
    theme.brightnessActions().at(1)->trigger(); // Bright
    theme.accentActions().at(1)->trigger();     // Green
    EXPECT_EQ(triggered, 2);

    theme.onStyleChanged();
    EXPECT_EQ(qApp->property("activeStyleSheet").toString(), QStringLiteral(":/vyk_style/vyk_style_bright.qss"));
    EXPECT_TRUE(qApp->styleSheet().contains(QLatin1String("#64A70B")));
    EXPECT_TRUE(qApp->styleSheet().contains(QLatin1String("100, 167, 11")));
    const QStringList lines = log.lines();
    EXPECT_TRUE(anyLineContains(lines, QStringLiteral("Entered onStyleChanged")));
    EXPECT_TRUE(anyLineContains(lines, QStringLiteral("Norvatek green vyk mode is checked")));

    theme.checkAccent(QStringLiteral("Orange"));
    theme.onStyleChanged();
    EXPECT_TRUE(qApp->styleSheet().contains(QLatin1String("#B78620")));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Gray-Orange mode is checked")));
    theme.checkAccent(QStringLiteral("VYK Blue"));
    theme.onStyleChanged();
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Standard vyk mode is checked")));
}
