#include "app/energydaychart.h"

#include "app/energychartstyle.h"
#include "history/energy.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>

namespace quorvane::app {

using chartstyle::gap;

namespace {

constexpr double kSecondsPerHour = 3600.0;
constexpr double kWattsPerKilowatt = 1000.0;
// The most kW steps the value axis is divided into.
constexpr int kMostValueSteps = 5;
// How many hours one label of the time axis may stand for, the fewest that fit first.
constexpr int kHourSteps[] = {1, 2, 3, 4, 6, 8, 12};

// The room around texts and ticks, in multiples of the font's average character width.
QString hourLabel(std::int64_t time) {
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(time).time(), QLocale::ShortFormat);
}

} // namespace

double averageKw(double wh, const history::Interval& interval) {
    const auto seconds = static_cast<double>(interval.end - interval.start);
    if (seconds <= 0.0) {
        return 0.0;
    }
    return wh * kSecondsPerHour / seconds / kWattsPerKilowatt;
}

EnergyDayChart::EnergyDayChart(QWidget* parent)
    : QWidget(parent), m_day(std::make_unique<history::DayEnergy>()) {
    setObjectName("dayChart");
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Power over the day"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

EnergyDayChart::~EnergyDayChart() = default;

const history::DayEnergy& EnergyDayChart::day() const {
    return *m_day;
}

void EnergyDayChart::setDay(history::DayEnergy day) {
    const std::int64_t selectedStart =
        m_selected >= 0 ? m_day->intervals[static_cast<std::size_t>(m_selected)].start : -1;
    const bool sameDay = day.date == m_day->date;
    *m_day = std::move(day);
    m_highestKw = 0.0;
    for (const history::Interval& interval : m_day->intervals) {
        m_highestKw = std::max({m_highestKw, averageKw(interval.produced, interval),
                                averageKw(interval.consumed, interval)});
    }
    int selected = -1;
    if (sameDay && selectedStart >= 0) {
        const auto found = std::find_if(m_day->intervals.begin(), m_day->intervals.end(),
                                        [selectedStart](const history::Interval& interval) {
                                            return interval.start == selectedStart;
                                        });
        if (found != m_day->intervals.end()) {
            selected = static_cast<int>(found - m_day->intervals.begin());
        }
    }
    m_selected = selected;
    update();
    emit selectionChanged();
}

void EnergyDayChart::select(int index) {
    if (index < 0 || index >= static_cast<int>(m_day->intervals.size())) {
        index = -1;
    }
    if (index == m_selected) {
        return;
    }
    m_selected = index;
    update();
    emit selectionChanged();
}

QSize EnergyDayChart::sizeHint() const {
    return chartstyle::chartSizeHint(font());
}

QSize EnergyDayChart::minimumSizeHint() const {
    return chartstyle::chartMinimumSizeHint(font());
}

QRectF EnergyDayChart::plotArea() const {
    const QFontMetricsF metrics(font());
    const chartstyle::Scale scale = chartstyle::niceScale(m_highestKw, kMostValueSteps);
    const double left = chartstyle::valueAxisRoom(metrics, scale, QStringLiteral("kW"));
    const double top = metrics.height() * 1.5;
    const double right =
        std::max(gap(metrics) * 2, metrics.horizontalAdvance(hourLabel(m_day->dayEnd)) / 2 + 2);
    const double bottom = gap(metrics) + metrics.height() + gap(metrics);
    return QRectF(left, top, width() - left - right, height() - top - bottom);
}

double EnergyDayChart::xOf(const QRectF& plot, std::int64_t time) const {
    const auto span = static_cast<double>(m_day->dayEnd - m_day->dayStart);
    if (span <= 0.0) {
        return plot.left();
    }
    return plot.left() + static_cast<double>(time - m_day->dayStart) / span * plot.width();
}

int EnergyDayChart::intervalAt(double x) const {
    const auto& intervals = m_day->intervals;
    if (intervals.empty()) {
        return -1;
    }
    const QRectF plot = plotArea();
    const auto span = static_cast<double>(m_day->dayEnd - m_day->dayStart);
    const double time =
        static_cast<double>(m_day->dayStart) + (x - plot.left()) / plot.width() * span;
    int nearest = 0;
    double nearestDistance = -1.0;
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        const auto start = static_cast<double>(intervals[i].start);
        const auto end = static_cast<double>(intervals[i].end);
        const double distance = time < start ? start - time : (time >= end ? time - end : 0.0);
        if (nearestDistance < 0.0 || distance < nearestDistance) {
            nearest = static_cast<int>(i);
            nearestDistance = distance;
        }
    }
    return nearest;
}

void EnergyDayChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QFontMetricsF metrics(font());
    painter.fillRect(rect(), colours.base());
    const QRectF plot = plotArea();
    if (plot.width() <= 0 || plot.height() <= 0) {
        return;
    }
    const chartstyle::Scale scale = chartstyle::niceScale(m_highestKw, kMostValueSteps);
    const auto yOf = [&](double kw) { return plot.bottom() - kw / scale.top * plot.height(); };
    const QColor gridColour = chartstyle::gridColour(colours);
    const QColor textColour = colours.color(QPalette::Text);

    // The kW axis: a grid line and a label at each step, the unit above.
    chartstyle::drawValueAxis(painter, plot, metrics, scale, QStringLiteral("kW"), colours);

    // The local-time axis: a tick each hour from the day's start, labelled in local time, so
    // that a daylight-saving day shows its 23 or 25 hours.
    const std::int64_t span = m_day->dayEnd - m_day->dayStart;
    if (span > 0) {
        const double hourWidth = plot.width() * kSecondsPerHour / static_cast<double>(span);
        // The widest of a morning's and an afternoon's label ("12:00 AM", "10:00 PM").
        const double labelWidth =
            std::max(metrics.horizontalAdvance(hourLabel(m_day->dayStart)),
                     metrics.horizontalAdvance(hourLabel(m_day->dayStart + 22 * 3600)));
        int labelEvery = kHourSteps[std::size(kHourSteps) - 1];
        for (const int hours : kHourSteps) {
            if (hours * hourWidth >= labelWidth + gap(metrics) * 2) {
                labelEvery = hours;
                break;
            }
        }
        for (int hour = 0; m_day->dayStart + std::int64_t{hour} * 3600 <= m_day->dayEnd; ++hour) {
            const std::int64_t time = m_day->dayStart + std::int64_t{hour} * 3600;
            const double x = xOf(plot, time);
            const bool labelled = hour % labelEvery == 0;
            painter.setPen(QPen(gridColour, 0));
            if (labelled) {
                painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            }
            painter.setPen(QPen(textColour, 0));
            painter.drawLine(QPointF(x, plot.bottom()),
                             QPointF(x, plot.bottom() + gap(metrics) * (labelled ? 0.8 : 0.4)));
            if (labelled) {
                const QString label = hourLabel(time);
                const double width = metrics.horizontalAdvance(label);
                painter.drawText(QRectF(x - width / 2 - 1, plot.bottom() + gap(metrics), width + 2,
                                        metrics.height()),
                                 Qt::AlignCenter, label);
            }
        }
    }

    // The area between the two powers, then the powers as steps over it.
    QPainterPath production;
    QPainterPath consumption;
    const history::Interval* previous = nullptr;
    for (const history::Interval& interval : m_day->intervals) {
        const double x0 = xOf(plot, interval.start);
        const double x1 = xOf(plot, interval.end);
        const double yProduced = yOf(averageKw(interval.produced, interval));
        const double yConsumed = yOf(averageKw(interval.consumed, interval));
        if (yProduced != yConsumed) {
            const QColor area =
                yProduced < yConsumed ? chartstyle::exportColour() : chartstyle::importColour();
            painter.fillRect(QRectF(QPointF(x0, std::min(yProduced, yConsumed)),
                                    QPointF(x1, std::max(yProduced, yConsumed))),
                             area);
        }
        const bool joined = previous != nullptr && previous->end == interval.start;
        if (joined) {
            production.lineTo(x0, yProduced);
            consumption.lineTo(x0, yConsumed);
        } else {
            production.moveTo(x0, yProduced);
            consumption.moveTo(x0, yConsumed);
        }
        production.lineTo(x1, yProduced);
        consumption.lineTo(x1, yConsumed);
        previous = &interval;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const double lineWidth = std::max(1.5, metrics.height() / 8);
    painter.strokePath(consumption, QPen(chartstyle::consumptionColour(colours), lineWidth,
                                         Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.strokePath(production, QPen(chartstyle::productionColour(colours), lineWidth,
                                        Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));

    // The axes' base lines.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(textColour, 0));
    painter.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));

    if (m_selected >= 0) {
        const history::Interval& interval = m_day->intervals[static_cast<std::size_t>(m_selected)];
        const double x0 = xOf(plot, interval.start);
        const double x1 = std::max(xOf(plot, interval.end), x0 + 1);
        const QColor band = chartstyle::selectionColour(colours);
        painter.fillRect(QRectF(QPointF(x0, plot.top()), QPointF(x1, plot.bottom())), band);
        painter.setPen(QPen(colours.color(QPalette::Highlight), 0));
        const double middle = (x0 + x1) / 2;
        painter.drawLine(QPointF(middle, plot.top()), QPointF(middle, plot.bottom()));
        painter.setRenderHint(QPainter::Antialiasing);
        const double radius = lineWidth * 2;
        for (const auto& [wh, colour] :
             {std::pair{interval.produced, chartstyle::productionColour(colours)},
              std::pair{interval.consumed, chartstyle::consumptionColour(colours)}}) {
            painter.setPen(QPen(colours.color(QPalette::Base), lineWidth / 1.5));
            painter.setBrush(colour);
            painter.drawEllipse(QPointF(middle, yOf(averageKw(wh, interval))), radius, radius);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    if (m_day->intervals.empty()) {
        painter.setPen(textColour);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No history for this day"));
    }

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        option.backgroundColor = colours.color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void EnergyDayChart::mouseMoveEvent(QMouseEvent* event) {
    const QRectF plot = plotArea();
    const QPointF at = event->position();
    if (at.x() >= plot.left() && at.x() <= plot.right()) {
        select(intervalAt(at.x()));
    }
    QWidget::mouseMoveEvent(event);
}

void EnergyDayChart::mousePressEvent(QMouseEvent* event) {
    select(intervalAt(event->position().x()));
    QWidget::mousePressEvent(event);
}

void EnergyDayChart::keyPressEvent(QKeyEvent* event) {
    const int last = static_cast<int>(m_day->intervals.size()) - 1;
    if (last < 0 || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        select(m_selected < 0 ? last : std::max(m_selected - 1, 0));
        break;
    case Qt::Key_Right:
        select(m_selected < 0 ? 0 : std::min(m_selected + 1, last));
        break;
    case Qt::Key_Home:
        select(0);
        break;
    case Qt::Key_End:
        select(last);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace quorvane::app
