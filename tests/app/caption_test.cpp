// Captions and values drawn whole at the screen's scaling: the Windows check runs this program
// at 100, 150 and 200 % (96, 144 and 192 dots per inch).

#include "app/frmcustominput.h"
#include "app/frmtimeoutmsg.h"
#include "app/quorvanefrm.h"
#include "common/testdoubles.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace quorvane::testing {
namespace {

// The height in pixels of the rows of `image` within `columns` that hold ink: a pixel darker
// than any back, frame or box colour the program draws text on.
int inkHeight(const QImage& image, int left, int right) {
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x) {
            if (qGray(image.pixel(x, y)) < 96) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// How tall `text` is in ink when drawn in `font` with room to spare, in device pixels.
int freeInkHeight(const QFont& font, const QString& text, qreal ratio) {
    const QFontMetrics metrics(font);
    QImage image(QSize(metrics.horizontalAdvance(text) + 20, metrics.height() * 3) * ratio,
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(10, metrics.height() + metrics.ascent()), text);
    painter.end();
    return inkHeight(image, 0, image.width());
}

// Whether `control` draws its `text` as tall as the font draws it freely: a clipped descender
// or top makes it shorter.
::testing::AssertionResult drawnWhole(QWidget& control, const QString& text) {
    const QImage shot = control.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal ratio = shot.devicePixelRatio();
    // Inside the side frames; the frames above and below are lighter than ink.
    const int side = qRound(3 * ratio);
    const int drawn = inkHeight(shot, side, shot.width() - side);
    const int free = freeInkHeight(control.font(), text, ratio);
    if (drawn + 1 >= free) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << control.objectName().toStdString() << ": \"" << text.toStdString() << "\" is "
           << drawn << " device pixels tall in ink, " << free << " when drawn freely (" << ratio
           << " device pixels to the pixel)";
}

TEST(Captions, EveryButtonLabelAndValueIsDrawnWholeAtTheScreensScaling) {
    const TempDir folder;
    QSettings settings(QString::fromStdString((folder / "settings.ini").string()),
                       QSettings::IniFormat);
    ScriptedHttp http;
    RecordingReplyBox replyBox;
    ManualClock clock;
    FixedLocale locale;
    FixedZone zones;
    app::Quorvanefrm window(
        app::WindowServices{http, replyBox, clock, locale, zones, settings, "Quorvane", "", [] {}, {}});
    window.resize(611, 237);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // No focus frame or text cursor in the way of the ink.
    if (QWidget* focused = QApplication::focusWidget()) {
        focused->clearFocus();
    }
    app::frmCustomInput dialog;
    app::frmTimeoutMsg notice;
    notice.findChild<QPushButton*>("cmdClose")->clearFocus();

    std::vector<QWidget*> controls;
    for (QWidget* form : std::initializer_list<QWidget*>{&window, &dialog, &notice}) {
        for (QPushButton* button : form->findChildren<QPushButton*>()) {
            controls.push_back(button);
        }
        for (QLabel* label : form->findChildren<QLabel*>()) {
            controls.push_back(label);
        }
    }
    ASSERT_GT(controls.size(), 16U);
    for (QWidget* control : controls) {
        EXPECT_TRUE(drawnWhole(*control, control->property("text").toString()));
    }
    // The comma's tail goes below the line, as a descender does.
    for (QLineEdit* box : window.findChildren<QLineEdit*>()) {
        if (box->isVisible()) {
            box->setText(QStringLiteral("9,9"));
            EXPECT_TRUE(drawnWhole(*box, box->text()));
        }
    }
}

} // namespace
} // namespace quorvane::testing
