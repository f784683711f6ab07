#pragma once

#include <QFont>
#include <optional>

class QWidget;

// Design units of the program's forms: positions and sizes in twips, fonts by name and points.
namespace quorvane::app {

// Twips as whole device-independent pixels, rounded to the nearest.
int twipsToPixels(double twips);

// Puts a control at its design position and size, given in twips.
void placeTwips(QWidget& control, double left, double top, double width, double height);

// Sizes a window's client area in twips.
void setClientTwips(QWidget& window, double width, double height);

// One edge or size of a window that is set in twips but kept in pixels: it reads back the twips
// last given while the window still has the pixels they were rounded to, so that a value set
// from the settings or a preset is the value read back.
class GivenTwips {
public:
    // The twips to report for the window's `pixels` now.
    double report(int pixels) const;
    // Remembers `twips` and returns the pixels to give the window.
    int set(double twips);

private:
    std::optional<double> m_given;
};

// The family the forms are laid out for: "MS Sans Serif" on Windows; elsewhere "Liberation Sans",
// which has Arial's metrics (the Debian package fonts-liberation2). Wider families cut texts off.
QString designFamily();

// The design family at `points`, bold or regular.
QFont designFont(double points, bool bold);

} // namespace quorvane::app
