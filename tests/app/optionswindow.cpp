#include "optionswindow.h"

#include <QGuiApplication>
#include <QScreen>

namespace quorvane::testing {

using app::kTwipsPerPixel;

OptionsWindow::OptionsWindow()
    : m_ip(new QLineEdit(QStringLiteral("127.0.0.50"), this)), m_write(new QCheckBox(this)),
      m_label(new QLabel(QStringLiteral("Grid"), this)) {
    m_ip->setGeometry(376, 8, 113, 19);
    m_write->setGeometry(352, 56, 17, 17);
    m_label->setGeometry(8, 80, 41, 17);
    // The offscreen platform gives shown windows a frame; outer sizes count it from here on.
    show();
    setOuterTop(1500);
    setOuterLeft(1500);
    setOuterWidth(app::kWidthMainPanel);
    setOuterHeight(app::kHeightMainRows);
    connect(m_write, &QCheckBox::toggled, this, [this](bool ticked) {
        if (ticked) {
            setOuterWidth(app::kWidthPhases);
        }
    });
}

double OptionsWindow::outerTop() const {
    return m_top.report(frameGeometry().y());
}
double OptionsWindow::outerLeft() const {
    return m_left.report(frameGeometry().x());
}
double OptionsWindow::outerWidth() const {
    return m_width.report(frameGeometry().width());
}
double OptionsWindow::outerHeight() const {
    return m_height.report(frameGeometry().height());
}

void OptionsWindow::setOuterTop(double twips) {
    move(frameGeometry().x(), m_top.set(twips));
}

void OptionsWindow::setOuterLeft(double twips) {
    move(m_left.set(twips), frameGeometry().y());
}

void OptionsWindow::setOuterWidth(double twips) {
    const int frame = frameGeometry().width() - width();
    resize(m_width.set(twips) - frame, height());
}

void OptionsWindow::setOuterHeight(double twips) {
    const int frame = frameGeometry().height() - height();
    resize(width(), m_height.set(twips) - frame);
}

double OptionsWindow::screenWidth() const {
    return QGuiApplication::primaryScreen()->size().width() * kTwipsPerPixel;
}

double OptionsWindow::screenHeight() const {
    return QGuiApplication::primaryScreen()->size().height() * kTwipsPerPixel;
}

bool OptionsWindow::stayOnTop() const {
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void OptionsWindow::setStayOnTop(bool on) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing a window flag hides the window.
    if (shown) {
        show();
    }
}

} // namespace quorvane::testing
