#pragma once

#include <QWidget>
#include <memory>

// Declared only: moc, which reads this header, cannot read the standard library's <compare>.
namespace quorvane::history {
struct DayEnergy;
struct Interval;
} // namespace quorvane::history

namespace quorvane::app {

// An interval's average power in kW from its energy in Wh (ΔWh × 3600 / Δs / 1000); 0 for an
// interval without length.
double averageKw(double wh, const history::Interval& interval);

// The day chart: production and consumption power over the local day, each interval's average
// as a step, the area between them green where the house exports and light red where it
// imports, a local-time axis over [dayStart, dayEnd) and a kW axis. The mouse or the arrow keys
// (Home, End) select an interval.
class EnergyDayChart final : public QWidget {
    Q_OBJECT

public:
    explicit EnergyDayChart(QWidget* parent = nullptr);
    ~EnergyDayChart() override;

    // Shows `day`; a selected interval stays selected when the new day has one starting at the
    // same second (today's chart growing), otherwise the selection goes.
    void setDay(history::DayEnergy day);
    const history::DayEnergy& day() const;

    // The selected interval's index in day().intervals, or -1 for none.
    int selected() const { return m_selected; }
    // Selects the interval at `index`; -1 or an index out of range selects none.
    void select(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Where the plot goes inside the widget, and the kW scale it uses.
    QRectF plotArea() const;
    double xOf(const QRectF& plot, std::int64_t time) const;
    // The interval under (or nearest to) `x`; -1 when the day has none.
    int intervalAt(double x) const;

    std::unique_ptr<history::DayEnergy> m_day;
    double m_highestKw = 0.0;
    int m_selected = -1;
};

} // namespace quorvane::app
