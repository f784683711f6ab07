#include "app/formlayout.h"

#include "app/desktop.h"
#include "app/windowoptions.h"

#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QWidget>
#include <algorithm>

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

namespace {

int edgeOf(const QRect& outer, OuterTwips::Edge edge) {
    switch (edge) {
    case OuterTwips::Edge::Top:
        return outer.y();
    case OuterTwips::Edge::Left:
        return outer.x();
    case OuterTwips::Edge::Width:
        return outer.width();
    case OuterTwips::Edge::Height:
        return outer.height();
    }
    return 0;
}

} // namespace

double OuterTwips::get(const QWidget& window, Edge edge) const {
    return m_given.at(static_cast<std::size_t>(edge))
        .report(edgeOf(desktop::outerGeometry(window), edge));
}

void OuterTwips::set(QWidget& window, Edge edge, double twips) {
    QRect outer = desktop::outerGeometry(window);
    const int pixels = m_given.at(static_cast<std::size_t>(edge)).set(twips);
    switch (edge) {
    case Edge::Top:
        outer.moveTop(pixels);
        break;
    case Edge::Left:
        outer.moveLeft(pixels);
        break;
    case Edge::Width:
        outer.setWidth(pixels);
        break;
    case Edge::Height:
        outer.setHeight(pixels);
        break;
    }
    desktop::setOuterGeometry(window, outer);
}

namespace {

// The application's style, but a push button's caption is drawn in at least the font's height.
class CaptionStyle final : public QProxyStyle {
public:
    explicit CaptionStyle(QStyle* base) : QProxyStyle(base) {}

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (element != CE_PushButtonLabel || button == nullptr || widget == nullptr ||
            button->rect.height() >= button->fontMetrics.height()) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionButton whole = *button;
        const QRect outer = widget->rect();
        const int height = std::min(button->fontMetrics.height(), outer.height());
        whole.rect.setTop(outer.top() + (outer.height() - height) / 2);
        whole.rect.setHeight(height);
        QProxyStyle::drawControl(element, &whole, painter, widget);
    }
};

} // namespace

void keepCaptionWhole(QPushButton& button) {
    QStyle* base = QStyleFactory::create(button.style()->name());
    if (base == nullptr) {
        return;
    }
    // The button owns its style, which it keeps only as a guarded pointer.
    auto* style = new CaptionStyle(base);
    style->setParent(&button);
    button.setStyle(style);
}

double textRoom(const QLineEdit& box) {
    // A line edit draws its text inside the style's contents rectangle, less its text margins,
    // a margin of 2 pixels on either side, and the cursor's pixel.
    constexpr int kLineEditMargins = 4;
    constexpr double kCursorWidth = 1;
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.rect();
    option.lineWidth = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box);
    option.state |= QStyle::State_Sunken;
    const QRect contents = box.style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, &box)
                               .marginsRemoved(box.textMargins());
    return contents.width() - kLineEditMargins - kCursorWidth;
}

QFont designFont(double points, bool bold) {
    QFont font(desktop::designFamily());
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace quorvane::app
