#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPalette>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

// What the energy window's two charts share: their colours and their value scale.
namespace quorvane::app::chartstyle {

// Exporting, as the Grid box shows it (green).
QColor exportColour();
// Importing, as the Grid box shows it (light red).
QColor importColour();
// The production and consumption lines and bars, darker on a light back, lighter on a dark one.
QColor productionColour(const QPalette& palette);
QColor consumptionColour(const QPalette& palette);

// Grid lines: the text colour, faint.
QColor gridColour(const QPalette& palette);
// The band over the selected interval or day: the highlight colour, half seen through.
QColor selectionColour(const QPalette& palette);

// A value axis from 0 to `top` in steps of `step` (1, 2, 2.5 or 5 times a power of ten), with
// at most `mostSteps` steps and `top` at least `highest`; 0 to 1 when `highest` is not above 0.
struct Scale {
    double step = 1.0;
    double top = 1.0;
};
Scale niceScale(double highest, int mostSteps);

// How many decimals the labels of a scale need to tell its ticks apart (0 to 3).
int scaleDecimals(const Scale& scale);

// The room between a chart's texts and its plot: a character's width.
double gap(const QFontMetricsF& metrics);
// A value axis label in the locale's numbers.
QString valueLabel(double value, int decimals);
// A chart's wished and least size, in the lines and characters of `font`.
QSize chartSizeHint(const QFont& font);
QSize chartMinimumSizeHint(const QFont& font);
// The room left of the plot for the value axis: its labels or its `unit`, with a gap each side.
double valueAxisRoom(const QFontMetricsF& metrics, const Scale& scale, const QString& unit);
// Draws the value axis left of `plot`: `unit` above, a faint grid line and a label each step.
void drawValueAxis(QPainter& painter, const QRectF& plot, const QFontMetricsF& metrics,
                   const Scale& scale, const QString& unit, const QPalette& colours);

} // namespace quorvane::app::chartstyle
