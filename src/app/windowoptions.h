#pragma once

#include <QString>

class QWidget;

namespace quorvane::app {

// Twips per device-independent pixel (1440 to the inch at 96 dots per inch).
inline constexpr double kTwipsPerPixel = 15.0;

// Preset outer sizes of the main window in twips.
inline constexpr double kWidthMainPanel = 4575;
inline constexpr double kWidthPhases = 5265;
inline constexpr double kWidthSettings = 9165;
inline constexpr double kHeightMainRows = 2160;
inline constexpr double kHeightPhaseRows = 3560;

// What settings persistence and the window menu use of the main window. Positions and sizes
// are the window's outer geometry (frame included) in twips.
class WindowOptions {
public:
    virtual ~WindowOptions() = default;

    virtual QWidget* widget() = 0;

    virtual double outerTop() const = 0;
    virtual double outerLeft() const = 0;
    virtual double outerWidth() const = 0;
    virtual double outerHeight() const = 0;
    virtual void setOuterTop(double twips) = 0;
    virtual void setOuterLeft(double twips) = 0;
    virtual void setOuterWidth(double twips) = 0;
    virtual void setOuterHeight(double twips) = 0;

    // The primary screen's size in twips.
    virtual double screenWidth() const = 0;
    virtual double screenHeight() const = 0;

    virtual QString ipText() const = 0;
    virtual void setIpText(const QString& text) = 0;

    // The output file's name (the OutFile box).
    virtual QString outFileText() const = 0;
    virtual void setOutFileText(const QString& text) = 0;

    // The CreateOutputchk value (0 clear, 1 ticked). Setting it from clear to ticked counts as a
    // click (CreateOutputchk_Click narrows the window to 5265).
    virtual int writeCheckValue() const = 0;
    virtual void setWriteCheckValue(int value) = 0;

    // StayOnTop; setting it also applies the window's z-order (stay-on-top flag).
    virtual bool stayOnTop() const = 0;
    virtual void setStayOnTop(bool on) = 0;
};

} // namespace quorvane::app
