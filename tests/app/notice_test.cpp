#include "app/errorreplybox.h"
#include "app/frmtimeoutmsg.h"
#include "apptesting.h"
#include "support/failure.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

struct NoticeFixture : ::testing::Test {
    AppPlaces places;
    WindowRig rig;
};

TEST_F(NoticeFixture, TimeOutClosesTheNoticeAndOnlyThenReturns) {
    std::string shown;
    int lines = 0;
    bool countingDown = false;
    ModalWatcher watcher([&](QWidget& modal) {
        shown = noticeText(modal);
        lines = modal.findChild<QPlainTextEdit*>("txtMessage")->document()->blockCount();
        countingDown = static_cast<app::frmTimeoutMsg&>(modal).countingDown();
    });
    rig.window->TestTimeoutMsgBox("ip 127.0.0.1:1\r\nWith file out.txt", 50);
    EXPECT_EQ(watcher.seen(), 1);
    EXPECT_EQ(shown, "ip 127.0.0.1:1\nWith file out.txt");
    EXPECT_EQ(lines, 2);
    EXPECT_TRUE(countingDown);
    EXPECT_EQ(rig.window->notice(), nullptr);
}

TEST_F(NoticeFixture, OkClosesAtOnceAndStopsTheCountdown) {
    bool focusOnOk = false;
    app::frmTimeoutMsg* notice = nullptr;
    ModalWatcher watcher([&](QWidget& modal) {
        notice = static_cast<app::frmTimeoutMsg*>(&modal);
        focusOnOk = notice->focusWidget() == notice->findChild<QPushButton*>("cmdClose");
        press(modal, "cmdClose");
        EXPECT_FALSE(notice->countingDown());
        EXPECT_FALSE(notice->isVisible());
    });
    rig.window->TestTimeoutMsgBox("API Call Failed: Error 1: x", 60000);
    EXPECT_TRUE(focusOnOk);
}

TEST_F(NoticeFixture, TimeOutZeroWaitsForOk) {
    bool countingDown = true;
    bool stillShown = false;
    ModalWatcher watcher([&](QWidget& modal) {
        countingDown = static_cast<app::frmTimeoutMsg&>(modal).countingDown();
        QCoreApplication::processEvents();
        stillShown = modal.isVisible();
        press(modal, "cmdClose");
    });
    rig.window->TestTimeoutMsgBox("x", 0);
    EXPECT_FALSE(countingDown);
    EXPECT_TRUE(stillShown);
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
    EXPECT_EQ(watcher.seen(), 1);
}

TEST_F(NoticeFixture, ALongNoticeScrollsAboveOkWithNoWordBroken) {
    // A token of the usual length, and a failure text of many words with a long unbreakable
    // fingerprint in it.
    const std::string token = "eyJ" + std::string(700, 'x');
    std::string words = "API Call Failed: Error 12:";
    for (int i = 0; i < 12; ++i) {
        words += " The gateway presented another certificate than the trusted one.";
    }
    words += " SHA-256: " + std::string(95, 'F') + " and the end.";
    for (const std::string& message : {"token with length 703\r\n" + token, words}) {
        std::string problems = "not shown";
        int scrollRange = 0;
        ModalWatcher watcher([&](QWidget& modal) {
            problems = unreadableNotice(modal);
            scrollRange =
                modal.findChild<QPlainTextEdit*>("txtMessage")->verticalScrollBar()->maximum();
            press(modal, "cmdClose");
        });
        rig.window->TestTimeoutMsgBox(message, 0);
        EXPECT_EQ(problems, "") << message;
        EXPECT_GT(scrollRange, 0) << message;
    }
}

TEST(ErrorReplyBox, ShowsTheReplyAsTextWithOkUntilShutDownThenNoMore) {
    app::ErrorReplyBox replies;
    QString title;
    QString text;
    bool plain = false;
    qsizetype buttons = 0;
    ModalWatcher watcher([&](QWidget& modal) {
        auto& box = static_cast<QMessageBox&>(modal);
        title = box.windowTitle();
        text = box.text();
        plain = box.textFormat() == Qt::PlainText;
        buttons = box.buttons().size();
        replies.shutDown();
    });
    replies.showReply("{\"error\": \"<b>not</b> authorized\"}");
    EXPECT_EQ(title, "Quorvane");
    EXPECT_EQ(text, "{\"error\": \"<b>not</b> authorized\"}");
    EXPECT_TRUE(plain);
    EXPECT_EQ(buttons, 1);
    replies.showReply("error two");
    QCoreApplication::processEvents();
    EXPECT_EQ(watcher.seen(), 1);
}

} // namespace
} // namespace quorvane::testing
