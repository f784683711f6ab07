// The energy window over days and months built here, and the main window's ways of opening it.

#include "app/energydaychart.h"
#include "app/energysources.h"
#include "app/energywindow.h"
#include "apptesting.h"
#include "drawncolours.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace quorvane::testing {
namespace {

using history::DayEnergy;
using history::Interval;
using history::LocalDate;
using history::MonthEnergy;

constexpr LocalDate kToday{2026, 6, 21};

std::int64_t localMidnight(LocalDate date) {
    return QDateTime(QDate(date.year, date.month, date.day), QTime(0, 0)).toSecsSinceEpoch();
}

// A day whose intervals are whole minutes from `firstMinute`, each with these Wh, and the
// totals they add up to.
DayEnergy minutesDay(LocalDate date, int firstMinute,
                     const std::vector<std::array<double, 4>>& minutes, bool complete) {
    DayEnergy day;
    day.date = date;
    day.dayStart = localMidnight(date);
    day.dayEnd = QDateTime::fromSecsSinceEpoch(day.dayStart).addDays(1).toSecsSinceEpoch();
    day.complete = complete;
    std::int64_t start = day.dayStart + std::int64_t{firstMinute} * 60;
    for (const auto& [produced, consumed, imported, exported] : minutes) {
        day.intervals.push_back({start, start + 60, produced, consumed, imported, exported});
        day.totals.produced += produced;
        day.totals.consumed += consumed;
        day.totals.imported += imported;
        day.totals.exported += exported;
        start += 60;
    }
    return day;
}

// The window's sources: these days and months, every other one without history.
struct Sources {
    std::map<LocalDate, DayEnergy> days;
    std::map<std::pair<int, int>, MonthEnergy> months;
    int dayReads = 0;

    app::EnergySources sources() {
        return {[this](LocalDate date) {
                    ++dayReads;
                    const auto found = days.find(date);
                    if (found != days.end()) {
                        return found->second;
                    }
                    DayEnergy none;
                    none.date = date;
                    none.dayStart = localMidnight(date);
                    none.dayEnd = none.dayStart + 86400;
                    return none;
                },
                [this](int year, int month) {
                    const auto found = months.find({year, month});
                    if (found != months.end()) {
                        return found->second;
                    }
                    MonthEnergy none;
                    none.year = year;
                    none.month = month;
                    return none;
                },
                [] { return kToday; }};
    }
};

// The locale as the user's for as long as the object lives.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(m_previous); }
    DefaultLocale(const DefaultLocale&) = delete;
    DefaultLocale& operator=(const DefaultLocale&) = delete;

private:
    QLocale m_previous;
};

// A fresh settings file and an energy window over `sources`.
struct EnergyRig {
    TempDir folder;

    explicit EnergyRig(Sources& sources)
        : settings(QString::fromStdString((folder / "Quorvane.conf").string()),
                   QSettings::IniFormat),
          window(sources.sources(), settings) {}

    template <class Control> Control* find(const char* name) const {
        return window.findChild<Control*>(QString::fromLatin1(name));
    }
    QString text(const char* label) const { return find<QLabel>(label)->text(); }

    QSettings settings;
    app::EnergyWindow window;
};

TEST(EnergyWindowOpens, ByADoubleClickOnProductionOrConsumptionAndByCtrlEFromAnyBox) {
    const AppPlaces places;
    Sources sources;
    WindowRig rig;
    app::EnergyWindow energy(sources.sources(), *rig.settings);
    QObject::connect(rig.window.get(), &app::Quorvanefrm::energyWindowRequested, &energy,
                     &app::EnergyWindow::open);
    rig.window->show();
    const auto activateMain = [&] {
        energy.close();
        rig.window->activateWindow();
        return QTest::qWaitForWindowActive(rig.window.get());
    };
    ASSERT_TRUE(activateMain());

    QTest::mouseDClick(rig.find<QWidget>("Grid"), Qt::LeftButton);
    EXPECT_FALSE(energy.isVisible());

    for (const char* box : {"Production", "Consumption"}) {
        SCOPED_TRACE(box);
        ASSERT_TRUE(activateMain());
        QTest::mouseDClick(rig.find<QWidget>(box), Qt::LeftButton);
        EXPECT_TRUE(energy.isVisible());
        EXPECT_TRUE(
            rig.find<QWidget>(box)->toolTip().endsWith("\nDouble-click or Ctrl+E: energy history"));
    }
    for (const char* box : {"TokenString", "Delay", "Startbtn"}) {
        SCOPED_TRACE(box);
        ASSERT_TRUE(activateMain());
        QWidget* focused = rig.find<QWidget>(box);
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_E, Qt::ControlModifier);
        EXPECT_TRUE(energy.isVisible());
        EXPECT_EQ(energy.shownDay(), kToday);
    }
    EXPECT_EQ(rig.find<QPlainTextEdit>("TokenString")->toPlainText(), "");
    EXPECT_EQ(energy.windowTitle(), QString::fromUtf8("Quorvane — Energy"));
}

TEST(EnergyWindowTotals, InTheLocalesNumbersWithIncompleteAndNoRatioMarked) {
    const DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    Sources sources;
    sources.days[kToday] = minutesDay(kToday, 600, {{41873.4, 18254, 3120, 26739}}, false);
    // A night: nothing produced, so no self-consumption.
    sources.days[{2026, 6, 20}] = minutesDay({2026, 6, 20}, 0, {{0, 250, 250, 0}}, true);
    MonthEnergy june{2026, 6, {sources.days[kToday]}, {}, true};
    june.totals = {1234567, 0, 0, 0};
    sources.months[{2026, 6}] = june;
    EnergyRig rig(sources);
    rig.window.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));

    EXPECT_EQ(rig.text("dayHeading"), "Sonntag, 21. Juni 2026");
    EXPECT_EQ(rig.text("dayProduced"), "41,87 kWh");
    EXPECT_EQ(rig.text("dayConsumed"), "18,25 kWh");
    EXPECT_EQ(rig.text("dayImported"), "3,12 kWh");
    EXPECT_EQ(rig.text("dayExported"), "26,74 kWh");
    EXPECT_EQ(rig.text("daySelfConsumption"), "36%");
    EXPECT_EQ(rig.text("daySelfSufficiency"), "83%");
    EXPECT_EQ(rig.find<QLabel>("daySelfSufficiency")->accessibleName(), "Self-sufficiency");
    EXPECT_TRUE(rig.find<QLabel>("dayIncomplete")->isVisible());
    EXPECT_EQ(rig.text("dayIncomplete"), "incomplete");
    EXPECT_FALSE(rig.find<QPushButton>("cmdNextDay")->isEnabled());

    QTest::keyClick(&rig.window, Qt::Key_PageUp);
    EXPECT_EQ(rig.window.shownDay(), (LocalDate{2026, 6, 20}));
    EXPECT_EQ(rig.text("dayConsumed"), "0,25 kWh");
    EXPECT_EQ(rig.text("daySelfConsumption"), QString::fromUtf8("–"));
    EXPECT_EQ(rig.text("daySelfSufficiency"), "0%");
    EXPECT_FALSE(rig.find<QLabel>("dayIncomplete")->isVisible());

    QTest::keyClick(&rig.window, Qt::Key_PageUp);
    EXPECT_EQ(rig.text("dayProduced"), QString::fromUtf8("–"));
    EXPECT_FALSE(rig.find<QLabel>("dayIncomplete")->isVisible());

    rig.window.showMonth(2026, 6);
    EXPECT_EQ(rig.text("monthProduced"), "1.234,57 kWh");
    EXPECT_FALSE(rig.find<QLabel>("monthIncomplete")->isVisible());
}

TEST(EnergyWindowDayChart, ArrowKeysMoveTheSelectionAndTheShownValuesFollow) {
    const DefaultLocale american(QLocale(QLocale::English, QLocale::UnitedStates));
    Sources sources;
    // 14:03 to 14:06: 3 kW production and 0.6 kW use, then a cloud, then the kettle.
    sources.days[kToday] =
        minutesDay(kToday, 14 * 60 + 3, {{50, 10, 0, 40}, {10, 12, 2, 0}, {5, 40, 35, 0}}, false);
    EnergyRig rig(sources);
    rig.window.open();
    auto* chart = rig.find<app::EnergyDayChart>("dayChart");
    chart->setFocus();

    const QString shown[] = {
        QString::fromUtf8("2:03:00 PM – 2:04:00 PM:   Production 3.00 kW   Consumption 0.60 kW"
                          "   Export 2.40 kW"),
        QString::fromUtf8("2:04:00 PM – 2:05:00 PM:   Production 0.60 kW   Consumption 0.72 kW"
                          "   Import 0.12 kW"),
        QString::fromUtf8("2:05:00 PM – 2:06:00 PM:   Production 0.30 kW   Consumption 2.40 kW"
                          "   Import 2.10 kW"),
    };
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_Right, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 2}, {Qt::Key_Right, 2},
        {Qt::Key_Left, 1},  {Qt::Key_Home, 0},  {Qt::Key_End, 2}};
    for (const auto& [key, selected] : keys) {
        QTest::keyClick(chart, key);
        EXPECT_EQ(chart->selected(), selected);
        EXPECT_EQ(rig.text("daySelection"), shown[selected]);
        EXPECT_EQ(chart->accessibleDescription(), shown[selected]);
    }
}

// Today's chart grows with each reading while the window is open; a day gone by is not read
// again.
TEST(EnergyWindowDayChart, RefreshReadsTodayAgainAndKeepsTheSelection) {
    Sources sources;
    sources.days[kToday] = minutesDay(kToday, 0, {{1, 1, 0, 0}, {2, 1, 0, 1}}, false);
    EnergyRig rig(sources);
    rig.window.open();
    auto* chart = rig.find<app::EnergyDayChart>("dayChart");
    chart->select(1);
    sources.days[kToday] = minutesDay(kToday, 0, {{1, 1, 0, 0}, {2, 1, 0, 1}, {3, 1, 0, 2}}, false);
    rig.window.refresh();
    EXPECT_EQ(chart->day().intervals.size(), 3U);
    EXPECT_EQ(chart->selected(), 1);
    EXPECT_EQ(rig.text("dayExported"), "0.00 kWh");

    rig.window.showDay({2026, 6, 1});
    const int reads = sources.dayReads;
    rig.window.refresh();
    EXPECT_EQ(sources.dayReads, reads);
}

// The offset of each local time keeps apart the hour that a fall-back day has twice.
TEST(EnergyWindowExport, WritesTheShownDaysIntervalsOrTheMonthsDays) {
    const char* previousZone = std::getenv("TZ");
    const std::string previous = previousZone != nullptr ? previousZone : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    Sources sources;
    const LocalDate fallBack{2026, 10, 25};
    // 02:59 summer time, then 02:00 winter time: 180 minutes after midnight.
    sources.days[fallBack] =
        minutesDay(fallBack, 179, {{12.5, 2.5, 0, 10.5}, {0.4, 20, 19.6, 0}}, false);
    sources.months[{2026, 10}] =
        MonthEnergy{2026,
                    10,
                    {DayEnergy{{2026, 10, 24}, 0, 0, {}, {41873.5, 18254, 3120, 26739}, true},
                     DayEnergy{fallBack, 0, 0, {}, {12.9, 22.5, 19.6, 10.5}, false}},
                    {41886.4, 18276.5, 3139.6, 26749.5},
                    false};
    EnergyRig rig(sources);
    const std::filesystem::path file = rig.folder / "energy.csv";
    QString suggested;
    rig.window.setExportFileChooser([&](const QString& name) {
        suggested = name;
        return QString::fromStdString(file.string());
    });
    rig.window.open();
    rig.window.showDay(fallBack);
    rig.find<QPushButton>("cmdExportCsv")->click();
    EXPECT_EQ(suggested, "energy-2026-10-25.csv");
    EXPECT_EQ(readFileBytes(file),
              "start,end,produced_wh,consumed_wh,imported_wh,exported_wh\n"
              "2026-10-25T02:59:00+02:00,2026-10-25T02:00:00+01:00,13,3,0,11\n"
              "2026-10-25T02:00:00+01:00,2026-10-25T02:01:00+01:00,0,20,20,0\n");

    rig.window.showMonth(2026, 10);
    rig.find<QPushButton>("cmdExportCsv")->click();
    EXPECT_EQ(suggested, "energy-2026-10.csv");
    EXPECT_EQ(readFileBytes(file), "date,produced_wh,consumed_wh,imported_wh,exported_wh,complete\n"
                                   "2026-10-24,41874,18254,3120,26739,yes\n"
                                   "2026-10-25,13,23,20,11,no\n"
                                   "2026-10,41886,18277,3140,26750,no\n");
    if (previousZone != nullptr) {
        ::setenv("TZ", previous.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

// On a dark theme every text keeps 4.5:1 against what it is drawn on: the window's labels and
// the chart's axis labels.
TEST(EnergyWindowLayout, TextStaysReadableOnADarkTheme) {
    const DarkPalette dark;
    Sources sources;
    sources.days[kToday] = minutesDay(kToday, 600, {{41873.4, 18254, 3120, 26739}}, false);
    EnergyRig rig(sources);
    rig.window.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window));
    int checked = 0;
    for (QLabel* label : rig.window.findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) {
            continue;
        }
        SCOPED_TRACE(label->text().toStdString());
        const Drawn drawn = drawnColours(*label, 0);
        EXPECT_GE(contrastRatio(drawn.text, drawn.back), 4.5);
        ++checked;
    }
    EXPECT_GE(checked, 15);
    // The kW labels left of the plot.
    auto* chart = rig.find<QWidget>("dayChart");
    const QImage image = chart->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const Drawn axis = drawnColours(
        image,
        QRect(0, 0, qRound(chart->fontMetrics().horizontalAdvance("00") * ratio), image.height()));
    EXPECT_EQ(axis.back, QColor(0x2d, 0x2d, 0x2d));
    EXPECT_GE(contrastRatio(axis.text, axis.back), 4.5);
}

// Every label and button is given at least the room its text asks for; the Windows check and
// a second run here do this at 200 %.
TEST(EnergyWindowLayout, EveryTextHasTheRoomItAsksFor) {
    Sources sources;
    sources.days[kToday] = minutesDay(kToday, 600, {{41873.4, 18254, 3120, 26739}}, false);
    EnergyRig rig(sources);
    rig.window.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window));
    rig.find<app::EnergyDayChart>("dayChart")->select(0);
    for (int view : {0, 1}) {
        if (view == 1) {
            rig.window.showMonth(2026, 6);
        }
        // The layouts take the new texts in.
        QApplication::processEvents();
        int checked = 0;
        for (QWidget* control : rig.window.findChildren<QWidget*>()) {
            if (!control->isVisible() || (qobject_cast<QLabel*>(control) == nullptr &&
                                          qobject_cast<QPushButton*>(control) == nullptr)) {
                continue;
            }
            SCOPED_TRACE(control->objectName().toStdString() + " " +
                         control->property("text").toString().toStdString());
            const QSize wanted = control->sizeHint();
            const auto* label = qobject_cast<QLabel*>(control);
            if (label != nullptr && label->wordWrap()) {
                EXPECT_GE(control->height(), label->heightForWidth(control->width()));
            } else {
                EXPECT_GE(control->width(), wanted.width());
                EXPECT_GE(control->height(), wanted.height());
            }
            ++checked;
        }
        EXPECT_GE(checked, 20);
    }
}

TEST(EnergyWindowLayout, ItsSizeAndPlaceAreKeptInASectionOfTheirOwn) {
    Sources sources;
    const TempDir folder;
    const QString file = QString::fromStdString((folder / "Quorvane.conf").string());
    const QRect placed(140, 90, 720, 520);
    {
        QSettings settings(file, QSettings::IniFormat);
        app::EnergyWindow window(sources.sources(), settings);
        window.open();
        window.setGeometry(placed);
        window.close();
    }
    QSettings settings(file, QSettings::IniFormat);
    EXPECT_EQ(settings.childGroups(), QStringList{"EnergyWindow"});
    app::EnergyWindow window(sources.sources(), settings);
    window.open();
    EXPECT_EQ(window.geometry(), placed);
}

} // namespace
} // namespace quorvane::testing
