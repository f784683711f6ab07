#include "optionswindow.h"

#include "app/desktop.h"

#include <QGuiApplication>
#include <QScreen>

namespace quorvane::testing {

using app::kTwipsPerPixel;
using Edge = app::OuterTwips::Edge;

OptionsWindow::OptionsWindow()
    : m_ip(new QLineEdit(QStringLiteral("127.0.0.50"), this)),
      m_outFile(new QLineEdit(QStringLiteral("E:\\Meters.txt"), this)),
      m_write(new QCheckBox(this)), m_label(new QLabel(QStringLiteral("Grid"), this)) {
    m_ip->setGeometry(376, 8, 113, 19);
    m_outFile->setGeometry(376, 56, 209, 19);
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
    return m_outer.get(*this, Edge::Top);
}
double OptionsWindow::outerLeft() const {
    return m_outer.get(*this, Edge::Left);
}
double OptionsWindow::outerWidth() const {
    return m_outer.get(*this, Edge::Width);
}
double OptionsWindow::outerHeight() const {
    return m_outer.get(*this, Edge::Height);
}

void OptionsWindow::setOuterTop(double twips) {
    m_outer.set(*this, Edge::Top, twips);
}
void OptionsWindow::setOuterLeft(double twips) {
    m_outer.set(*this, Edge::Left, twips);
}
void OptionsWindow::setOuterWidth(double twips) {
    m_outer.set(*this, Edge::Width, twips);
}
void OptionsWindow::setOuterHeight(double twips) {
    m_outer.set(*this, Edge::Height, twips);
}

double OptionsWindow::screenWidth() const {
    return QGuiApplication::primaryScreen()->size().width() * kTwipsPerPixel;
}

double OptionsWindow::screenHeight() const {
    return QGuiApplication::primaryScreen()->size().height() * kTwipsPerPixel;
}

bool OptionsWindow::stayOnTop() const {
    return m_stayOnTop;
}

void OptionsWindow::setStayOnTop(bool on) {
    m_stayOnTop = on;
    app::desktop::setStaysOnTop(*this, on);
}

} // namespace quorvane::testing
