// The main window's display boxes by name, drawn from what the reading cycle shows, what the
// cycle asks of the window, and the window's outer size and place in twips.
#include "app/desktop.h"
#include "app/quorvanefrm.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>

namespace quorvane::app {

using reading::Box;

namespace {

std::uint32_t toBgr(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) |
           static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

QColor fromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

} // namespace

QWidget* Quorvanefrm::box(Box which) const {
    return m_boxes.at(static_cast<std::size_t>(which));
}

std::string Quorvanefrm::text(Box which) const {
    QWidget* control = box(which);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text().toStdString();
    }
    return static_cast<QPlainTextEdit*>(control)->toPlainText().toStdString();
}

void Quorvanefrm::setText(Box which, std::string_view value) {
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    QWidget* control = box(which);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
        // The view shows the text's start, as the number's or the date's first digits matter.
        edit->setCursorPosition(0);
        return;
    }
    auto* multiLine = static_cast<QPlainTextEdit*>(control);
    // Setting the same text again would only move the user's cursor to the start.
    if (multiLine->toPlainText() != text) {
        multiLine->setPlainText(text);
    }
}

std::uint32_t Quorvanefrm::backColour(Box which) const {
    const QPalette& palette = box(which)->palette();
    if (!palette.isBrushSet(QPalette::Active, QPalette::Base)) {
        return reading::colours::kWindowBackground;
    }
    return toBgr(palette.color(QPalette::Active, QPalette::Base));
}

void Quorvanefrm::setBackColour(Box which, std::uint32_t colour) {
    QWidget* control = box(which);
    if (colour == reading::colours::kWindowBackground) {
        // Only Base and Text are ever set on a box; an empty palette gives the box the theme's
        // back and text again.
        control->setPalette(QPalette());
        return;
    }
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, fromBgr(colour));
    // The design's window text (black) on the program's own colours: a dark theme's light text
    // would hardly show on green or light red.
    palette.setColor(QPalette::Text, Qt::black);
    control->setPalette(palette);
}

std::string Quorvanefrm::toolTip(Box which) const {
    return box(which)->toolTip().toStdString();
}

void Quorvanefrm::setToolTip(Box which, std::string_view value) {
    box(which)->setToolTip(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

int Quorvanefrm::writeCheckValue() const {
    if (m_closing) {
        return 0;
    }
    return m_createOutputchk->isChecked() ? 1 : 0;
}

void Quorvanefrm::drawReading(const reading::ShownReading& shown) {
    for (Box which : reading::ShownReading::kBoxes) {
        if (text(which) != shown.text(which)) {
            setText(which, shown.text(which));
        }
        if (backColour(which) != shown.backColour(which)) {
            setBackColour(which, shown.backColour(which));
        }
        if (toolTip(which) != shown.toolTip(which)) {
            setToolTip(which, shown.toolTip(which));
        }
    }
    if (m_services.readingShown) {
        m_services.readingShown(shown);
    }
}

reading::ShownReading Quorvanefrm::shownBoxes() const {
    reading::ShownReading shown;
    for (Box which : reading::ShownReading::kBoxes) {
        shown.setText(which, text(which));
        shown.setBackColour(which, backColour(which));
        shown.setToolTip(which, toolTip(which));
    }
    return shown;
}

std::string Quorvanefrm::address() const {
    return text(Box::IP);
}

std::string Quorvanefrm::token() const {
    return text(Box::TokenString);
}

std::string Quorvanefrm::outputFile() const {
    return text(Box::OutFile);
}

bool Quorvanefrm::writing() const {
    return writeCheckValue() != 0;
}

// ---- Window options

double Quorvanefrm::outerTop() const {
    return m_outer.get(*this, OuterTwips::Edge::Top);
}
double Quorvanefrm::outerLeft() const {
    return m_outer.get(*this, OuterTwips::Edge::Left);
}
double Quorvanefrm::outerWidth() const {
    return m_outer.get(*this, OuterTwips::Edge::Width);
}
double Quorvanefrm::outerHeight() const {
    return m_outer.get(*this, OuterTwips::Edge::Height);
}

void Quorvanefrm::setOuterTop(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Top, twips);
}

void Quorvanefrm::setOuterLeft(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Left, twips);
}

void Quorvanefrm::setOuterWidth(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Width, twips);
}

void Quorvanefrm::setOuterHeight(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Height, twips);
}

double Quorvanefrm::screenWidth() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size().width() * kTwipsPerPixel : 0.0;
}

double Quorvanefrm::screenHeight() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size().height() * kTwipsPerPixel : 0.0;
}

QString Quorvanefrm::ipText() const {
    return static_cast<QLineEdit*>(box(Box::IP))->text();
}

void Quorvanefrm::setIpText(const QString& ip) {
    static_cast<QLineEdit*>(box(Box::IP))->setText(ip);
}

void Quorvanefrm::setWriteCheckValue(int value) {
    m_createOutputchk->setChecked(value == 1);
}

bool Quorvanefrm::stayOnTop() const {
    return StayOnTop;
}

void Quorvanefrm::setStayOnTop(bool on) {
    StayOnTop = on;
    desktop::setStaysOnTop(*this, on);
}

} // namespace quorvane::app
