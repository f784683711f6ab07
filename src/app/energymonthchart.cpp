#include "app/energymonthchart.h"

#include "app/energychartstyle.h"
#include "history/energy.h"

#include <QDate>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <array>
#include <cmath>

namespace quorvane::app {

using chartstyle::gap;

namespace {

constexpr double kWhPerKwh = 1000.0;
constexpr int kMostValueSteps = 5;
// How many days one label of the day axis may stand for, the fewest that fit first.
constexpr int kDaySteps[] = {1, 2, 5, 10};
// The part of a day's slot its four bars fill together.
constexpr double kGroupShare = 0.8;

std::array<double, 4> barValues(const history::EnergyTotals& totals) {
    return {totals.produced / kWhPerKwh, totals.consumed / kWhPerKwh, totals.imported / kWhPerKwh,
            totals.exported / kWhPerKwh};
}

std::array<QColor, 4> barColours(const QPalette& palette) {
    return {chartstyle::productionColour(palette), chartstyle::consumptionColour(palette),
            chartstyle::importColour(), chartstyle::exportColour()};
}

} // namespace

EnergyMonthChart::EnergyMonthChart(QWidget* parent)
    : QWidget(parent), m_month(std::make_unique<history::MonthEnergy>()) {
    setObjectName("monthChart");
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Energy by day"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

EnergyMonthChart::~EnergyMonthChart() = default;

const history::MonthEnergy& EnergyMonthChart::month() const {
    return *m_month;
}

void EnergyMonthChart::setMonth(history::MonthEnergy month) {
    const bool sameMonth = month.year == m_month->year && month.month == m_month->month;
    *m_month = std::move(month);
    m_highestKwh = 0.0;
    for (const history::DayEnergy& day : m_month->days) {
        for (const double value : barValues(day.totals)) {
            m_highestKwh = std::max(m_highestKwh, value);
        }
    }
    if (!sameMonth || m_selectedDay > daysInMonth()) {
        m_selectedDay = 0;
    }
    update();
    emit selectionChanged();
}

int EnergyMonthChart::daysInMonth() const {
    const QDate first(m_month->year, m_month->month, 1);
    return first.isValid() ? first.daysInMonth() : 0;
}

void EnergyMonthChart::selectDay(int day) {
    if (day < 0 || day > daysInMonth()) {
        day = 0;
    }
    if (day == m_selectedDay) {
        return;
    }
    m_selectedDay = day;
    update();
    emit selectionChanged();
}

const history::DayEnergy* EnergyMonthChart::dayEntry(int day) const {
    const auto found =
        std::find_if(m_month->days.begin(), m_month->days.end(),
                     [day](const history::DayEnergy& entry) { return entry.date.day == day; });
    return found == m_month->days.end() ? nullptr : &*found;
}

QSize EnergyMonthChart::sizeHint() const {
    return chartstyle::chartSizeHint(font());
}

QSize EnergyMonthChart::minimumSizeHint() const {
    return chartstyle::chartMinimumSizeHint(font());
}

QRectF EnergyMonthChart::plotArea() const {
    const QFontMetricsF metrics(font());
    const chartstyle::Scale scale = chartstyle::niceScale(m_highestKwh, kMostValueSteps);
    const double left = chartstyle::valueAxisRoom(metrics, scale, QStringLiteral("kWh"));
    const double top = metrics.height() * 1.5;
    const double right = gap(metrics) * 2;
    const double bottom = gap(metrics) + metrics.height() + gap(metrics);
    return QRectF(left, top, width() - left - right, height() - top - bottom);
}

int EnergyMonthChart::dayAt(double x) const {
    const QRectF plot = plotArea();
    const int days = daysInMonth();
    if (days == 0 || x < plot.left() || x > plot.right()) {
        return 0;
    }
    const int day = static_cast<int>((x - plot.left()) / plot.width() * days) + 1;
    return std::clamp(day, 1, days);
}

void EnergyMonthChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QFontMetricsF metrics(font());
    painter.fillRect(rect(), colours.base());
    const QRectF plot = plotArea();
    const int days = daysInMonth();
    if (plot.width() <= 0 || plot.height() <= 0 || days == 0) {
        return;
    }
    const chartstyle::Scale scale = chartstyle::niceScale(m_highestKwh, kMostValueSteps);
    const auto yOf = [&](double kwh) { return plot.bottom() - kwh / scale.top * plot.height(); };
    const QColor textColour = colours.color(QPalette::Text);
    const double slot = plot.width() / days;

    chartstyle::drawValueAxis(painter, plot, metrics, scale, QStringLiteral("kWh"), colours);

    if (m_selectedDay > 0) {
        const QColor band = chartstyle::selectionColour(colours);
        painter.fillRect(
            QRectF(plot.left() + (m_selectedDay - 1) * slot, plot.top(), slot, plot.height()),
            band);
    }

    // The day axis: each day's number under its slot, as many as fit.
    const QLocale locale;
    const double labelWidth = metrics.horizontalAdvance(locale.toString(28)) + gap(metrics);
    int labelEvery = kDaySteps[std::size(kDaySteps) - 1];
    for (const int step : kDaySteps) {
        if (step * slot >= labelWidth) {
            labelEvery = step;
            break;
        }
    }
    painter.setPen(textColour);
    for (int day = 1; day <= days; ++day) {
        if ((day - 1) % labelEvery != 0) {
            continue;
        }
        const double middle = plot.left() + (day - 0.5) * slot;
        painter.drawText(QRectF(middle - labelWidth, plot.bottom() + gap(metrics), labelWidth * 2,
                                metrics.height()),
                         Qt::AlignCenter, locale.toString(day));
    }

    const std::array<QColor, 4> fills = barColours(colours);
    const double barWidth = slot * kGroupShare / 4;
    for (const history::DayEnergy& day : m_month->days) {
        if (day.date.day < 1 || day.date.day > days) {
            continue;
        }
        const double groupLeft =
            plot.left() + (day.date.day - 1) * slot + slot * (1 - kGroupShare) / 2;
        const std::array<double, 4> values = barValues(day.totals);
        for (std::size_t bar = 0; bar < values.size(); ++bar) {
            const double x = groupLeft + static_cast<double>(bar) * barWidth;
            painter.fillRect(
                QRectF(QPointF(x, yOf(values[bar])), QPointF(x + barWidth, plot.bottom())),
                fills[bar]);
        }
    }

    painter.setPen(QPen(textColour, 0));
    painter.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));

    if (m_month->days.empty()) {
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No history for this month"));
    }

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        option.backgroundColor = colours.color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void EnergyMonthChart::mouseMoveEvent(QMouseEvent* event) {
    if (const int day = dayAt(event->position().x()); day > 0) {
        selectDay(day);
    }
    QWidget::mouseMoveEvent(event);
}

void EnergyMonthChart::mousePressEvent(QMouseEvent* event) {
    if (const int day = dayAt(event->position().x()); day > 0) {
        selectDay(day);
    }
    QWidget::mousePressEvent(event);
}

void EnergyMonthChart::mouseDoubleClickEvent(QMouseEvent* event) {
    if (const int day = dayAt(event->position().x()); day > 0) {
        emit dayActivated(day);
    }
}

void EnergyMonthChart::keyPressEvent(QKeyEvent* event) {
    const int last = daysInMonth();
    if (last == 0 || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        selectDay(m_selectedDay == 0 ? last : std::max(m_selectedDay - 1, 1));
        break;
    case Qt::Key_Right:
        selectDay(m_selectedDay == 0 ? 1 : std::min(m_selectedDay + 1, last));
        break;
    case Qt::Key_Home:
        selectDay(1);
        break;
    case Qt::Key_End:
        selectDay(last);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selectedDay > 0) {
            emit dayActivated(m_selectedDay);
        } else {
            QWidget::keyPressEvent(event);
        }
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace quorvane::app
