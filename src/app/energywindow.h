#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QSettings;
class QTabWidget;

// Declared only: moc, which reads this header, cannot read the standard library's <compare>.
namespace quorvane::history {
struct LocalDate;
} // namespace quorvane::history

namespace quorvane::app {

class EnergyDayChart;
class EnergyMonthChart;
// Where the window takes its numbers from (app/energysources.h).
struct EnergySources;

// The energy window: a Day view (power over the local day and the day's totals) and a Month
// view (energy by day and the month's totals), previous and next, and "Export CSV…". Not
// modal; the main window calls refresh() after each reading so that today's chart grows. Its
// size and place are kept in section "EnergyWindow" of the settings store.
class EnergyWindow final : public QWidget {
    Q_OBJECT

public:
    EnergyWindow(EnergySources sources, QSettings& settings, QWidget* parent = nullptr);
    ~EnergyWindow() override;

    // Shows this day in the Day view and brings the Day view to the front.
    void showDay(const history::LocalDate& date);
    // Shows this month in the Month view and brings the Month view to the front.
    void showMonth(int year, int month);
    history::LocalDate shownDay() const;
    // Whether the Month view is in front.
    bool monthViewShown() const;

    // Chooses the file "Export CSV…" writes, from a suggested file name; "" cancels. Without
    // one, a save dialog asks.
    void setExportFileChooser(std::function<QString(const QString& suggestedName)> chooser);

public slots:
    // Shows the window at today's day (or month) when it is hidden, at its kept size and place
    // the first time, and brings it to the front.
    void open();
    // Reads today's day again (and the month, at most once a minute) while the window is shown.
    void refresh();
    // Saves the shown day's intervals or the shown month's days as CSV.
    void exportCsv();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct TotalsView;

    void buildDayPage(QWidget* page);
    void buildMonthPage(QWidget* page);
    void loadDay();
    void loadMonth();
    void stepDay(int days);
    void stepMonth(int months);
    void showToday();
    void showThisMonth();
    void updateDaySelection();
    void updateMonthSelection();
    void updateNavigation();
    void savePlace();

    std::unique_ptr<EnergySources> m_sources;
    QSettings& m_settings;
    std::function<QString(const QString&)> m_chooseExportFile;
    QDate m_day;
    int m_monthYear = 0;
    int m_month = 0;
    bool m_placed = false;
    QElapsedTimer m_monthRead;

    QTabWidget* m_views = nullptr;
    EnergyDayChart* m_dayChart = nullptr;
    EnergyMonthChart* m_monthChart = nullptr;
    QLabel* m_dayHeading = nullptr;
    QLabel* m_dayIncomplete = nullptr;
    QLabel* m_daySelection = nullptr;
    QLabel* m_monthHeading = nullptr;
    QLabel* m_monthIncomplete = nullptr;
    QLabel* m_monthSelection = nullptr;
    QPushButton* m_nextDay = nullptr;
    QPushButton* m_nextMonth = nullptr;
    std::unique_ptr<TotalsView> m_dayTotals;
    std::unique_ptr<TotalsView> m_monthTotals;
};

} // namespace quorvane::app
