#pragma once

#include <QFont>
#include <array>
#include <optional>

class QLineEdit;
class QPushButton;
class QString;
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

// A top-level window's outer position and size in twips (frame included, as the window system
// has it), each read back as last given while the window keeps the pixels it was rounded to.
class OuterTwips {
public:
    enum class Edge { Top, Left, Width, Height };

    double get(const QWidget& window, Edge edge) const;
    void set(QWidget& window, Edge edge, double twips);

private:
    std::array<GivenTwips, 4> m_given;
};

// Keeps the button's caption whole at any scaling: where the platform style leaves the text less
// height than the font's line, the caption gets that height in the middle of the button.
// Windows' style at 200 % leaves a button of the design's 17 pixels less, and the descender of
// "Stop" was cut off.
void keepCaptionWhole(QPushButton& button);

// The width in pixels a line edit has for its text, the cursor's pixel after it included.
double textRoom(const QLineEdit& box);

// The family the forms are laid out for (desktop::designFamily) at `points`, bold or regular.
QFont designFont(double points, bool bold);

} // namespace quorvane::app
