#include "app/energychartstyle.h"

#include "reading/boxes.h"

#include <QLocale>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <algorithm>
#include <cmath>

namespace quorvane::app::chartstyle {

namespace {

constexpr int kGridAlpha = 46;
constexpr int kSelectionAlpha = 90;

QColor fromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Base).lightness() < 128;
}

} // namespace

QColor exportColour() {
    return fromBgr(reading::colours::kGreen);
}

QColor importColour() {
    return fromBgr(reading::colours::kLightRed);
}

QColor productionColour(const QPalette& palette) {
    return isDark(palette) ? QColor(0xFF, 0xC2, 0x4D) : QColor(0xB8, 0x6E, 0x00);
}

QColor consumptionColour(const QPalette& palette) {
    return isDark(palette) ? QColor(0x8F, 0xB8, 0xFF) : QColor(0x1F, 0x4E, 0xA8);
}

QColor gridColour(const QPalette& palette) {
    QColor colour = palette.color(QPalette::Text);
    colour.setAlpha(kGridAlpha);
    return colour;
}

QColor selectionColour(const QPalette& palette) {
    QColor colour = palette.color(QPalette::Highlight);
    colour.setAlpha(kSelectionAlpha);
    return colour;
}

Scale niceScale(double highest, int mostSteps) {
    if (!(highest > 0.0) || !std::isfinite(highest)) {
        return {};
    }
    mostSteps = std::max(mostSteps, 1);
    const double rough = highest / mostSteps;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        const double step = factor * power;
        const double top = std::ceil(highest / step - 1e-9) * step;
        if (top / step <= mostSteps + 1e-9) {
            return {step, top};
        }
    }
    return {10.0 * power, std::ceil(highest / (10.0 * power)) * 10.0 * power};
}

int scaleDecimals(const Scale& scale) {
    int decimals = 0;
    while (decimals < 3 && std::abs(scale.step * std::pow(10.0, decimals) -
                                    std::round(scale.step * std::pow(10.0, decimals))) > 1e-6) {
        ++decimals;
    }
    return decimals;
}

double gap(const QFontMetricsF& metrics) {
    return metrics.averageCharWidth();
}

QString valueLabel(double value, int decimals) {
    return QLocale().toString(value, 'f', decimals);
}

QSize chartSizeHint(const QFont& font) {
    const QFontMetricsF metrics(font);
    return QSize(qRound(metrics.averageCharWidth() * 110), qRound(metrics.height() * 20));
}

QSize chartMinimumSizeHint(const QFont& font) {
    const QFontMetricsF metrics(font);
    return QSize(qRound(metrics.averageCharWidth() * 40), qRound(metrics.height() * 8));
}

double valueAxisRoom(const QFontMetricsF& metrics, const Scale& scale, const QString& unit) {
    const int decimals = scaleDecimals(scale);
    double labelWidth = metrics.horizontalAdvance(unit);
    for (double value = 0.0; value <= scale.top + scale.step / 2; value += scale.step) {
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(valueLabel(value, decimals)));
    }
    return gap(metrics) + labelWidth + gap(metrics);
}

void drawValueAxis(QPainter& painter, const QRectF& plot, const QFontMetricsF& metrics,
                   const Scale& scale, const QString& unit, const QPalette& colours) {
    const int decimals = scaleDecimals(scale);
    const QColor grid = gridColour(colours);
    const QColor text = colours.color(QPalette::Text);
    const double labelRight = plot.left() - gap(metrics);
    painter.setPen(text);
    painter.drawText(QRectF(0, 0, labelRight, metrics.height()), Qt::AlignRight | Qt::AlignVCenter,
                     unit);
    const int steps = static_cast<int>(std::lround(scale.top / scale.step));
    for (int i = 0; i <= steps; ++i) {
        const double value = i * scale.step;
        const double y = plot.bottom() - value / scale.top * plot.height();
        painter.setPen(QPen(grid, 0));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(text);
        painter.drawText(QRectF(0, y - metrics.height() / 2, labelRight, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, valueLabel(value, decimals));
    }
}

} // namespace quorvane::app::chartstyle
