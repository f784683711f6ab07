#include "app/errorreplybox.h"
#include "app/frmtimeoutmsg.h"
#include "apptesting.h"
#include "support/failure.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

// Closes whatever modal window is still up after ten seconds, so that a notice that fails to
// close fails the test instead of hanging it.
class Rescue {
public:
    Rescue() {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                fired = true;
                modal->close();
            }
        });
        m_timer.start(10000);
    }
    bool fired = false;

private:
    QTimer m_timer;
};

struct NoticeFixture : ::testing::Test {
    AppPlaces places;
    WindowRig rig;
    Rescue rescue;
};

TEST_F(NoticeFixture, TimeOutClosesTheNoticeAndOnlyThenReturns) {
    std::string shown;
    bool countingDown = false;
    ModalWatcher watcher([&](QWidget& modal) {
        shown = noticeText(modal);
        countingDown = static_cast<app::frmTimeoutMsg&>(modal).tmrTimeout.isActive();
    });
    rig.window->TestTimeoutMsgBox("ip 127.0.0.1:1\r\nWith file out.txt", 50);
    EXPECT_FALSE(rescue.fired);
    EXPECT_EQ(watcher.seen(), 1);
    EXPECT_EQ(shown, "ip 127.0.0.1:1\nWith file out.txt");
    EXPECT_TRUE(countingDown);
    EXPECT_EQ(rig.window->notice(), nullptr);
}

TEST_F(NoticeFixture, CrLfStartsASecondLine) {
    int lines = 0;
    ModalWatcher watcher([&](QWidget& modal) {
        lines = modal.findChild<QPlainTextEdit*>("txtMessage")->document()->blockCount();
        press(modal, "cmdClose");
    });
    rig.window->TestTimeoutMsgBox("ip 127.0.0.1:1\r\nWith file ", 0);
    EXPECT_EQ(lines, 2);
}

TEST_F(NoticeFixture, OkClosesAtOnceAndStopsTheCountdown) {
    bool focusOnOk = false;
    app::frmTimeoutMsg* notice = nullptr;
    ModalWatcher watcher([&](QWidget& modal) {
        notice = static_cast<app::frmTimeoutMsg*>(&modal);
        focusOnOk = notice->focusWidget() == notice->cmdClose;
        press(modal, "cmdClose");
        EXPECT_FALSE(notice->tmrTimeout.isActive());
        EXPECT_FALSE(notice->isVisible());
    });
    rig.window->TestTimeoutMsgBox("API Call Failed: Error 1: x", 60000);
    EXPECT_FALSE(rescue.fired);
    EXPECT_TRUE(focusOnOk);
}

TEST_F(NoticeFixture, CloseBoxClosesLikeOk) {
    ModalWatcher watcher([](QWidget& modal) { modal.close(); });
    rig.window->TestTimeoutMsgBox("x", 60000);
    EXPECT_FALSE(rescue.fired);
    EXPECT_EQ(watcher.seen(), 1);
}

TEST_F(NoticeFixture, TimeOutZeroWaitsForOk) {
    bool countingDown = true;
    bool stillShown = false;
    ModalWatcher watcher([&](QWidget& modal) {
        countingDown = static_cast<app::frmTimeoutMsg&>(modal).tmrTimeout.isActive();
        QCoreApplication::processEvents();
        stillShown = modal.isVisible();
        press(modal, "cmdClose");
    });
    rig.window->TestTimeoutMsgBox("x", 0);
    EXPECT_FALSE(countingDown);
    EXPECT_TRUE(stillShown);
    EXPECT_FALSE(rescue.fired);
}

TEST_F(NoticeFixture, SecondRequestTakesOverTheShownNoticeAndFailsAtOnce) {
    std::optional<support::Failure> secondFailure;
    std::string textAfter;
    ModalWatcher watcher([&](QWidget& modal) {
        try {
            rig.window->TestTimeoutMsgBox("API Call Failed: Error 2: y", 50);
        } catch (const support::RunTimeError& error) {
            secondFailure = error.failure();
        }
        textAfter = noticeText(modal);
    });
    // The first request alone would never close; the second one's time-out closes it.
    rig.window->TestTimeoutMsgBox("first", 0);
    ASSERT_TRUE(secondFailure.has_value());
    EXPECT_EQ(secondFailure->number, support::errors::kFormAlreadyShown);
    EXPECT_EQ(textAfter, "API Call Failed: Error 2: y");
    EXPECT_FALSE(rescue.fired);
    EXPECT_EQ(watcher.seen(), 1);
}

TEST(ErrorReplyBox, ShowsTheWholeReplyWithOkUnderTheApplicationTitle) {
    app::ErrorReplyBox replies;
    QString title;
    QString text;
    int buttons = 0;
    ModalWatcher watcher([&](QWidget& modal) {
        auto& box = static_cast<QMessageBox&>(modal);
        title = box.windowTitle();
        text = box.text();
        buttons = static_cast<int>(box.buttons().size());
        box.button(QMessageBox::Ok)->click();
    });
    replies.showReply("{\"error\": \"<b>not</b> authorized\"}");
    EXPECT_EQ(title, "Quorvane");
    EXPECT_EQ(text, "{\"error\": \"<b>not</b> authorized\"}");
    EXPECT_EQ(buttons, 1);
}

TEST(ErrorReplyBox, ShutDownClosesTheBoxAndShowsNoMore) {
    app::ErrorReplyBox replies;
    ModalWatcher watcher([&](QWidget&) { replies.shutDown(); });
    replies.showReply("error one");
    EXPECT_EQ(watcher.seen(), 1);
    replies.showReply("error two");
    QCoreApplication::processEvents();
    EXPECT_EQ(watcher.seen(), 1);
}

} // namespace
} // namespace quorvane::testing
