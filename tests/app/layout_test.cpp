#include "app/desktop.h"
#include "app/formlayout.h"
#include "app/frmcustominput.h"
#include "app/frmtimeoutmsg.h"
#include "app/qtplatform.h"
#include "apptesting.h"
#include "drawncolours.h"

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::testing {
namespace {

using reading::Box;

const std::string kPhaseTip = "Green Export, Red Iimport";

// A control as the window's design gives it: twips and texts.
struct Designed {
    const char* name;
    int left, top, width, height;
    std::string text;
    std::string toolTip;
};

// The design table of the main window.
const Designed kDesign[] = {
    {"Label3", 120, 120, 855, 255, "Timestamp", ""},
    {"TimeStamp", 1200, 120, 2300, 360, "0", "Instant time stamp"},
    {"Label2", 120, 480, 975, 255, "Production", ""},
    {"Production", 1200, 480, 950, 285, "0",
     "Solar Production\nDouble-click or Ctrl+E: energy history"},
    {"Label4", 120, 840, 975, 255, "Consumption", ""},
    {"Consumption", 1200, 840, 950, 285, "0",
     "Production +/- Grid\nDouble-click or Ctrl+E: energy history"},
    {"Label1", 120, 1200, 615, 255, "Grid", ""},
    {"Grid", 1200, 1200, 950, 285, "0", kPhaseTip},
    {"Label5", 2280, 840, 1815, 255, "Response time" + std::string(5, ' ') + "Delay", ""},
    {"Turnaround", 2280, 1200, 975, 285, "0", "Response time from Envoy"},
    {"Delay", 3480, 1200, 615, 285, "1000", "Delay between requests"},
    {"Startbtn", 3550, 120, 735, 255, "Start", ""},
    {"Stopbtn", 3550, 480, 735, 255, "Stop", ""},
    {"Label8", 1200, 1680, 3855, 255,
     "   Solar" + std::string(19, ' ') + "Grid" + std::string(17, ' ') + "Amps" +
         std::string(10, ' ') + "Volts",
     ""},
    {"Label9", 120, 1920, 615, 255, "Phase 1", ""},
    {"Label10", 120, 2280, 615, 255, "Phase 2", ""},
    {"Label11", 120, 2640, 615, 255, "Phase 3", ""},
    {"S1", 1200, 1920, 950, 285, "0", ""},
    {"S3", 1200, 2640, 950, 285, "0", ""},
    {"G2", 2280, 2280, 975, 285, "0", kPhaseTip},
    {"A1", 3360, 1920, 700, 360, "0", kPhaseTip},
    {"V3", 4200, 2640, 700, 360, "0", kPhaseTip},
    {"Label7", 5040, 120, 495, 255, "Envoy", ""},
    {"IP", 5640, 120, 1695, 285, "192.168.1.64", ""},
    {"Label6", 5280, 555, 1815, 255, "Write?  File to write to", ""},
    {"CreateOutputchk", 5280, 840, 255, 255, "Check1", ""},
    {"OutFile", 5640, 840, 3135, 285, "E:\\Meters.txt", ""},
    {"Label12", 5280, 1200, 975, 255, "Time Zone", ""},
    {"Zone", 6120, 1200, 915, 285, "", "Delay between requests"},
    {"MyTime", 7680, 1200, 1095, 285, "0", ""},
    {"Label13", 5160, 1680, 3135, 255, "Token - see doc", ""},
    {"TokenString", 5040, 1920, 3855, 1090, "", ""},
};

std::string shownText(QWidget* control) {
    const bool multiLine = qobject_cast<QPlainTextEdit*>(control) != nullptr;
    return control->property(multiLine ? "plainText" : "text").toString().toStdString();
}

int px(int twips) {
    return qRound(twips / 15.0);
}

// The names of the window's own controls that Tab reaches, in focus-chain order from `start`.
std::vector<std::string> tabChain(QWidget* start) {
    std::vector<std::string> names;
    QWidget* control = start;
    do {
        if (control->parentWidget() == start->parentWidget() &&
            (control->focusPolicy() & Qt::TabFocus) != 0) {
            names.push_back(control->objectName().toStdString());
        }
        control = control->nextInFocusChain();
    } while (control != start);
    return names;
}

TEST(MainWindowLayout, EveryControlHasItsDesignPlaceTextAndTooltip) {
    const AppPlaces places;
    const WindowRig rig;
    rig.window->show();
    EXPECT_EQ(rig.window->size(), QSize(px(4410), px(1530)));
    EXPECT_FALSE(rig.find<QWidget>("MyTime")->isVisible());
    for (const Designed& designed : kDesign) {
        SCOPED_TRACE(designed.name);
        QWidget* control = rig.find<QWidget>(designed.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), QRect(px(designed.left), px(designed.top),
                                             px(designed.width), px(designed.height)));
        EXPECT_EQ(shownText(control), designed.text);
        EXPECT_EQ(control->toolTip().toStdString(), designed.toolTip);
    }
}

TEST(MainWindowLayout, ValueBoxesBoldAt975PointsSettingBoxesAt825) {
    const AppPlaces places;
    const WindowRig rig;
    const std::pair<const char*, double> kFonts[] = {
        {"TimeStamp", 9.75}, {"Grid", 9.75}, {"Delay", 9.75},   {"S2", 9.75},
        {"V1", 9.75},        {"IP", 8.25},   {"OutFile", 8.25}, {"Zone", 8.25}};
    for (const auto& [name, points] : kFonts) {
        const QFont font = rig.find<QWidget>(name)->font();
        EXPECT_EQ(font.family(), app::desktop::designFamily()) << name;
        EXPECT_EQ(font.pointSizeF(), points) << name;
        EXPECT_TRUE(font.bold()) << name;
    }
    EXPECT_FALSE(rig.find<QWidget>("Label8")->font().bold());
    EXPECT_FALSE(rig.find<QWidget>("TokenString")->font().bold());
}

TEST(MainWindowLayout, TabOrderFollowsTheDesignTabPositions) {
    const AppPlaces places;
    const WindowRig rig;
    const std::vector<std::string> expected = {
        "Grid",     "Production", "TimeStamp",   "Consumption", "IP",
        "MyTime",   "Turnaround", "Delay",       "OutFile",     "CreateOutputchk",
        "Startbtn", "Stopbtn",    "G1",          "S1",          "G2",
        "S2",       "G3",         "S3",          "Zone",        "A3",
        "A2",       "A1",         "TokenString", "V1",          "V2",
        "V3"};
    EXPECT_EQ(tabChain(rig.find<QWidget>("Grid")), expected);
}

// The room a line edit gives its text, as QLineEdit lays it out: the style's contents rectangle
// less the text margins, and less the edit's own two pixels on the left and right.
QSizeF lineEditRoom(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    option.state |= QStyle::State_Sunken;
    const QRect contents = edit.style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
                               .marginsRemoved(edit.textMargins());
    return QSizeF(contents.width() - 4, contents.height());
}

QSizeF buttonRoom(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.rect = button.rect();
    option.text = button.text();
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button).size();
}

// Whether `text` in `control`'s font fits `room` whole: its width (and, for a line edit, the
// cursor's pixel after it) and the font's line height.
::testing::AssertionResult fits(const QWidget& control, const QString& text, QSizeF room,
                                qreal extra) {
    const QFontMetricsF metrics(control.font());
    const qreal width = metrics.horizontalAdvance(text) + extra;
    if (width <= room.width() && metrics.height() <= room.height()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << control.objectName().toStdString() << ": \"" << text.toStdString() << "\" needs "
           << width << " x " << metrics.height() << " px, the box gives " << room.width() << " x "
           << room.height() << " in " << QFontInfo(control.font()).family().toStdString();
}

// The widest texts each value box must show whole, in both locales the program is tried in.
std::vector<std::pair<const char*, QString>> longestValues() {
    const app::QtLocaleTexts locales[] = {app::QtLocaleTexts(QLocale::c()),
                                          app::QtLocaleTexts(QLocale("en_US"))};
    QString widestStamp;
    const QFontMetricsF stampMetrics(app::designFont(9.75, true));
    for (const app::QtLocaleTexts& locale : locales) {
        for (int hour : {0, 10, 11, 12, 22, 23}) {
            for (const auto& [month, day] : {std::pair{12, 31}, std::pair{11, 28}, {9, 30}}) {
                const QString stamp = QString::fromStdString(
                    locale.dateTimeText(support::CalendarTime{2026, month, day, hour, 58, 59}));
                if (stampMetrics.horizontalAdvance(stamp) >
                    stampMetrics.horizontalAdvance(widestStamp)) {
                    widestStamp = stamp;
                }
            }
        }
    }
    std::vector<std::pair<const char*, QString>> values = {
        {"TimeStamp", widestStamp}, {"TimeStamp", "Wrong/No IP address"},
        {"Turnaround", "99999 ms"}, {"Delay", "65535"},
        {"A1", "-999.9"},           {"V1", "999.9"}};
    for (const char* power : {"Production", "Consumption", "Grid", "S1", "G1"}) {
        values.emplace_back(power, "-99,999.9");
    }
    return values;
}

TEST(MainWindowLayout, EveryDesignTextAndTheLongestValuesFitTheirBoxesInTheChosenFont) {
    const AppPlaces places;
    const WindowRig rig;
    rig.window->resize(px(9165), px(3560));
    rig.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.window.get()));
    // A missing design family would be replaced by a wider one, which cuts the texts off.
    for (const char* name : {"Label3", "Grid", "IP"}) {
        EXPECT_EQ(QFontInfo(rig.find<QWidget>(name)->font()).family().toStdString(),
                  app::desktop::designFamily().toStdString())
            << name;
    }

    for (const QLabel* label : rig.window->findChildren<QLabel*>()) {
        EXPECT_TRUE(fits(*label, label->text(), label->contentsRect().size(), 0));
    }
    for (const QPushButton* button : rig.window->findChildren<QPushButton*>()) {
        EXPECT_TRUE(fits(*button, button->text(), buttonRoom(*button), 0));
    }
    for (const QLineEdit* edit : rig.window->findChildren<QLineEdit*>()) {
        EXPECT_TRUE(fits(*edit, edit->text(), lineEditRoom(*edit), 1));
    }
    for (const auto& [name, value] : longestValues()) {
        const auto* edit = rig.find<QLineEdit>(name);
        EXPECT_TRUE(fits(*edit, value, lineEditRoom(*edit), 1));
    }

    app::frmCustomInput dialog;
    dialog.show();
    const auto* label = dialog.findChild<QLabel*>("Label1");
    EXPECT_TRUE(fits(*label, label->text(), label->contentsRect().size(), 0));
    app::frmTimeoutMsg notice;
    notice.show();
    for (const QPushButton* button :
         {dialog.findChild<QPushButton*>("cmdOK"), dialog.findChild<QPushButton*>("cmdCancel"),
          notice.findChild<QPushButton*>("cmdClose")}) {
        EXPECT_TRUE(fits(*button, button->text(), buttonRoom(*button), 0));
    }
}

// Every locale Qt knows: the date and time in the format the program chooses with the window's
// TimeStamp box fits that box whole, in every month and hour; locales whose own time fits keep it.
TEST(MainWindowLayout, TimeStampFitsItsBoxInEveryLocale) {
    const AppPlaces places;
    const WindowRig rig;
    rig.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.window.get()));
    const auto* stamp = rig.find<QLineEdit>("TimeStamp");
    const QSizeF room = lineEditRoom(*stamp);
    const QFontMetricsF metrics(stamp->font());
    const auto chosen = [&](const QLocale& locale) {
        auto texts = std::make_unique<app::QtLocaleTexts>(locale, ".");
        texts->fitDateTimeTo([&](const QString& text) { return metrics.horizontalAdvance(text); },
                             app::textRoom(*stamp));
        return texts;
    };

    std::vector<std::string> cut;
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 300);
    for (const QLocale& locale : locales) {
        const auto texts = chosen(locale);
        // Every day of a year, each with other digits in every field.
        for (QDate date(2026, 1, 1); date.year() == 2026; date = date.addDays(1)) {
            const int n = date.dayOfYear();
            const QString text = QString::fromStdString(texts->dateTimeText(support::CalendarTime{
                2026 + n * 3 % 74, date.month(), date.day(), n % 24, n * 7 % 60, n * 13 % 60}));
            if (!fits(*stamp, text, room, 1)) {
                cut.push_back(locale.name().toStdString() + ": " + text.toStdString());
                break;
            }
        }
    }
    EXPECT_EQ(cut, std::vector<std::string>{});
    EXPECT_EQ(chosen(QLocale("en_US"))->timeFormat(), "h:mm:ss AP");
    EXPECT_EQ(chosen(QLocale("de_DE"))->timeFormat(), "HH:mm:ss");
    EXPECT_EQ(chosen(QLocale("th_TH"))->timeFormat(), "HH:mm:ss");
}

TEST(MainWindowLayout, ValueBoxesAndTheCheckBoxTellAScreenReaderWhatTheyHold) {
    const AppPlaces places;
    const WindowRig rig;
    const std::pair<const char*, const char*> kNames[] = {{"TimeStamp", "Timestamp"},
                                                          {"Production", "Production"},
                                                          {"Grid", "Grid"},
                                                          {"Turnaround", "Response time"},
                                                          {"Delay", "Delay"},
                                                          {"S1", "Phase 1 Solar"},
                                                          {"G3", "Phase 3 Grid"},
                                                          {"A1", "Phase 1 Amps"},
                                                          {"V2", "Phase 2 Volts"},
                                                          {"IP", "Envoy address"},
                                                          {"CreateOutputchk", "Write output file"},
                                                          {"OutFile", "File to write to"},
                                                          {"TokenString", "Token"}};
    for (const auto& [control, name] : kNames) {
        QAccessibleInterface* accessible =
            QAccessible::queryAccessibleInterface(rig.find<QWidget>(control));
        ASSERT_NE(accessible, nullptr) << control;
        EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), name) << control;
    }
}

TEST(DisplayBoxes, ATextLongerThanItsBoxIsShownFromItsStart) {
    const AppPlaces places;
    WindowRig rig;
    rig.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.window.get()));
    for (const auto& [box, name] :
         {std::pair{Box::TimeStamp, "TimeStamp"}, std::pair{Box::Production, "Production"},
          std::pair{Box::OutFile, "OutFile"}}) {
        rig.window->setText(box, "1234567890 1234567890 1234567890 1234567890 1234567890");
        auto* edit = rig.find<QLineEdit>(name);
        // The edit scrolls its text when it paints.
        edit->grab();
        // A point just inside the box's left edge lies on the first character.
        EXPECT_EQ(edit->cursorPositionAt(QPoint(5, edit->height() / 2)), 0) << name;
    }
}

TEST(DisplayBoxes, AreTheWidgetsTextsAndBaseColoursInBgr) {
    const AppPlaces places;
    WindowRig rig;
    rig.find<QLineEdit>("Consumption")->setText("1,234.5");
    EXPECT_EQ(rig.window->text(Box::Consumption), "1,234.5");
    rig.window->setText(Box::OutFile, "C:\\Zählerstände.txt");
    EXPECT_EQ(rig.find<QLineEdit>("OutFile")->text(), QString::fromUtf8("C:\\Zählerstände.txt"));

    auto* grid = rig.find<QLineEdit>("Grid");
    EXPECT_EQ(rig.window->backColour(Box::Grid), reading::colours::kLightRed);
    EXPECT_EQ(grid->palette().color(QPalette::Base), QColor(255, 128, 128));

    rig.window->setBackColour(Box::G2, reading::colours::kGreen);
    EXPECT_EQ(rig.find<QLineEdit>("G2")->palette().color(QPalette::Base), QColor(0, 255, 0));
    EXPECT_EQ(rig.window->backColour(Box::G2), reading::colours::kGreen);

    EXPECT_EQ(rig.window->backColour(Box::G3), reading::colours::kWindowBackground);
    rig.window->setBackColour(Box::Grid, reading::colours::kWindowBackground);
    EXPECT_EQ(rig.window->backColour(Box::Grid), reading::colours::kWindowBackground);
    EXPECT_EQ(grid->palette().color(QPalette::Base),
              rig.find<QLineEdit>("G3")->palette().color(QPalette::Base));
}

// On a dark theme the program's own green and light red carry the design's black window text;
// the theme's light text on them would hardly show. A box given the window colour again (as the
// consumption variant's phase boxes are) takes the theme's back and text.
TEST(DisplayBoxes, TextStaysReadableOnADarkTheme) {
    const AppPlaces places;
    const DarkPalette dark;
    WindowRig rig;
    rig.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.window.get()));
    // No box has the cursor, so its text and back alone are drawn inside its frame.
    rig.find<QWidget>("Startbtn")->setFocus();
    struct Row {
        Box box;
        const char* name;
        std::uint32_t colour;
        QColor back;
    };
    const Row rows[] = {
        {Box::Grid, "Grid", reading::colours::kGreen, QColor(0, 255, 0)},
        {Box::Grid, "Grid", reading::colours::kLightRed, QColor(255, 128, 128)},
        {Box::G1, "G1", reading::colours::kGreen, QColor(0, 255, 0)},
        {Box::G3, "G3", reading::colours::kLightRed, QColor(255, 128, 128)},
        {Box::G1, "G1", reading::colours::kWindowBackground, QColor(0x2d, 0x2d, 0x2d)},
        {Box::G3, "G3", reading::colours::kWindowBackground, QColor(0x2d, 0x2d, 0x2d)},
        {Box::Production, "Production", reading::colours::kWindowBackground,
         QColor(0x2d, 0x2d, 0x2d)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " on " + row.back.name().toStdString());
        rig.window->setText(row.box, "4,721.0");
        rig.window->setBackColour(row.box, row.colour);
        const Drawn drawn = drawnColours(*rig.find<QLineEdit>(row.name));
        EXPECT_EQ(drawn.back, row.back);
        EXPECT_GE(contrastRatio(drawn.text, drawn.back), 4.5) << drawn.text.name().toStdString();
    }
}

TEST(NoticeLayout, WindowTextBoxAndOkButtonAsDesigned) {
    app::frmTimeoutMsg notice;
    EXPECT_EQ(notice.windowTitle(), "Message (auto closes)");
    EXPECT_EQ(notice.size(), QSize(307, 202));
    const auto* txtMessage = notice.findChild<QPlainTextEdit*>("txtMessage");
    auto* cmdClose = notice.findChild<QPushButton*>("cmdClose");
    EXPECT_EQ(txtMessage->geometry(), QRect(0, 0, 305, 203));
    EXPECT_EQ(cmdClose->geometry(), QRect(184, 144, 89, 41));
    EXPECT_EQ(cmdClose->text(), "OK");
    EXPECT_EQ(txtMessage->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(txtMessage->font().pointSizeF(), 8.25);
    EXPECT_EQ(tabChain(cmdClose), (std::vector<std::string>{"cmdClose", "txtMessage"}));
}

TEST(TokenDialogLayout, LabelBoxAndButtonsAsDesigned) {
    app::frmCustomInput dialog;
    EXPECT_EQ(dialog.windowTitle(), "Token input");
    EXPECT_EQ(dialog.size(), QSize(304, 201));
    const auto* Label1 = dialog.findChild<QLabel*>("Label1");
    auto* txtInput = dialog.findChild<QPlainTextEdit*>("txtInput");
    const auto* cmdOK = dialog.findChild<QPushButton*>("cmdOK");
    const auto* cmdCancel = dialog.findChild<QPushButton*>("cmdCancel");
    EXPECT_EQ(Label1->text(), "Paste in your token");
    EXPECT_EQ(Label1->geometry(), QRect(24, 16, 257, 17));
    EXPECT_EQ(txtInput->geometry(), QRect(24, 40, 257, 105));
    EXPECT_EQ(cmdOK->geometry(), QRect(24, 160, 57, 33));
    EXPECT_EQ(cmdCancel->geometry(), QRect(208, 160, 57, 33));
    EXPECT_EQ(cmdOK->text(), "Ok");
    EXPECT_EQ(cmdCancel->text(), "Cancel");
    EXPECT_TRUE(cmdOK->font().bold());
    // Enter makes a new line in the box; no button takes it.
    EXPECT_FALSE(cmdOK->isDefault() || cmdOK->autoDefault());
    EXPECT_FALSE(cmdCancel->isDefault() || cmdCancel->autoDefault());
    EXPECT_EQ(tabChain(txtInput),
              (std::vector<std::string>{"txtInput", "cmdOK", "cmdCancel"}));
}

} // namespace
} // namespace quorvane::testing
