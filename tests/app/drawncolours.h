#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace quorvane::testing {

// WCAG's contrast ratio of two colours, from 1 (the same) to 21 (black on white).
inline double contrastRatio(const QColor& one, const QColor& other) {
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double channel) {
            return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double first = luminance(one);
    const double second = luminance(other);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// The back and the text as drawn in a part of an image: the colour most pixels have, and the
// colour that stands out most from it.
struct Drawn {
    QColor back;
    QColor text;
};

inline Drawn drawnColours(const QImage& image, const QRect& part) {
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const QRect inside = part.intersected(pixels.rect());
    std::map<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ++counts[pixels.pixel(x, y)];
        }
    }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
    Drawn drawn{QColor(most->first), QColor(most->first)};
    for (const auto& [pixel, count] : counts) {
        if (contrastRatio(QColor(pixel), drawn.back) > contrastRatio(drawn.text, drawn.back)) {
            drawn.text = QColor(pixel);
        }
    }
    return drawn;
}

// The same inside a control, `inset` pixels in from each side (its frame left out).
inline Drawn drawnColours(QWidget& control, int inset = 3) {
    const QImage image = control.grab().toImage();
    return drawnColours(image, image.rect().adjusted(inset, inset, -inset, -inset));
}

// A dark desktop theme's palette for the application, as long as the object lives.
class DarkPalette {
public:
    DarkPalette() : m_previous(QApplication::palette()) {
        QPalette dark;
        for (const auto& [role, colour] :
             {std::pair{QPalette::Window, QColor(0x35, 0x35, 0x35)},
              std::pair{QPalette::WindowText, QColor(Qt::white)},
              std::pair{QPalette::Base, QColor(0x2d, 0x2d, 0x2d)},
              std::pair{QPalette::AlternateBase, QColor(0x35, 0x35, 0x35)},
              std::pair{QPalette::Text, QColor(Qt::white)},
              std::pair{QPalette::Button, QColor(0x35, 0x35, 0x35)},
              std::pair{QPalette::ButtonText, QColor(Qt::white)}}) {
            dark.setColor(role, colour);
        }
        QApplication::setPalette(dark);
    }
    ~DarkPalette() { QApplication::setPalette(m_previous); }
    DarkPalette(const DarkPalette&) = delete;
    DarkPalette& operator=(const DarkPalette&) = delete;

private:
    QPalette m_previous;
};

} // namespace quorvane::testing
