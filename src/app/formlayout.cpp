#include "app/formlayout.h"

#include "app/windowoptions.h"

#include <QWidget>

namespace quorvane::app {

int twipsToPixels(double twips) {
    return qRound(twips / kTwipsPerPixel);
}

void placeTwips(QWidget& control, double left, double top, double width, double height) {
    control.setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void setClientTwips(QWidget& window, double width, double height) {
    window.resize(twipsToPixels(width), twipsToPixels(height));
}

double GivenTwips::report(int pixels) const {
    if (m_given && twipsToPixels(*m_given) == pixels) {
        return *m_given;
    }
    return pixels * kTwipsPerPixel;
}

int GivenTwips::set(double twips) {
    m_given = twips;
    return twipsToPixels(twips);
}

QString designFamily() {
#ifdef _WIN32
    return QStringLiteral("MS Sans Serif");
#else
    return QStringLiteral("Liberation Sans");
#endif
}

QFont designFont(double points, bool bold) {
    QFont font(designFamily());
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace quorvane::app
