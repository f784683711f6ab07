#pragma once

#include <QWidget>
#include <memory>

// Declared only: moc, which reads this header, cannot read the standard library's <compare>.
namespace quorvane::history {
struct DayEnergy;
struct MonthEnergy;
} // namespace quorvane::history

namespace quorvane::app {

// The month chart: a group of four bars for each day of the month with history (produced,
// consumed, imported, exported, in kWh) over the month's days, and a kWh axis. The mouse or the
// arrow keys (Home, End) select a day; a double-click, Enter or Return opens it.
class EnergyMonthChart final : public QWidget {
    Q_OBJECT

public:
    explicit EnergyMonthChart(QWidget* parent = nullptr);
    ~EnergyMonthChart() override;

    // Shows `month`; the selected day stays selected within the same month.
    void setMonth(history::MonthEnergy month);
    const history::MonthEnergy& month() const;
    int daysInMonth() const;

    // The selected day of the month (1 to 31), or 0 for none.
    int selectedDay() const { return m_selectedDay; }
    // Selects `day`; 0 or a day the month does not have selects none.
    void selectDay(int day);
    // The month's entry for `day`, or nullptr when that day has no history.
    const history::DayEnergy* dayEntry(int day) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void selectionChanged();
    // The owner asks to see this day of the month.
    void dayActivated(int day);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF plotArea() const;
    // The day whose slot holds `x`, 0 for none.
    int dayAt(double x) const;

    std::unique_ptr<history::MonthEnergy> m_month;
    double m_highestKwh = 0.0;
    int m_selectedDay = 0;
};

} // namespace quorvane::app
