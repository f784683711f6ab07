#include "app/frmcustominput.h"
#include "apptesting.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

struct FileCase {
    const char* name;
    std::string bytes;
    const char* token;
    const char* notice;
};

void PrintTo(const FileCase& row, std::ostream* out) {
    *out << row.name;
}

class TokenFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(TokenFile, LoadsTheFirstFieldAndShowsItsLength) {
    const AppPlaces places;
    writeFileBytes(places.work() / "mytoken.txt", GetParam().bytes);
    WindowRig rig;
    std::vector<std::string> notices;
    ModalWatcher watcher([&](QWidget& modal) {
        notices.push_back(noticeText(modal));
        press(modal, "cmdClose");
    });
    rig.window->Form_Load();
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices.front(), GetParam().notice);
    EXPECT_EQ(rig.window->bearerToken(), GetParam().token);
    EXPECT_EQ(rig.find<QPlainTextEdit>("TokenString")->toPlainText(), GetParam().token);
    // A token read is not written back.
    EXPECT_EQ(readFileBytes(places.work() / "mytoken.txt"), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenFile,
    ::testing::Values(
        FileCase{"Plain", "eyJ.abc.def", "eyJ.abc.def", "token with length 11\neyJ.abc.def"},
        FileCase{"LineEndLeftOut", "abc.def\r\n", "abc.def", "token with length 7\nabc.def"},
        FileCase{"UpToTheFirstComma", "abc,def", "abc", "token with length 3\nabc"},
        FileCase{"QuotesLeftOut", "\"a,b c\"\r\n", "a,b c", "token with length 5\na,b c"},
        FileCase{"LeadingBlanksSkipped", "  abc", "abc", "token with length 3\nabc"}),
    rowName<FileCase>);

struct AskCase {
    const char* name;
    // The token file's bytes; none for no file.
    const char* file;
};

void PrintTo(const AskCase& row, std::ostream* out) {
    *out << row.name;
}

class TokenDialog : public ::testing::TestWithParam<AskCase> {};

TEST_P(TokenDialog, OkSavesTheEnteredTokenAndStartUpGoesOn) {
    const AppPlaces places;
    if (GetParam().file != nullptr) {
        writeFileBytes(places.work() / "mytoken.txt", GetParam().file);
    }
    WindowRig rig;
    std::vector<std::string> notices;
    bool pollingWhileAsked = true;
    bool dialogVisibleToTheCycle = false;
    ModalWatcher watcher([&](QWidget& modal) {
        if (auto* dialog = qobject_cast<app::frmCustomInput*>(&modal)) {
            pollingWhileAsked = rig.window->timer().enabled();
            dialogVisibleToTheCycle = rig.window->tokenDialog() == dialog && dialog->isVisible();
            QTest::keyClicks(dialog->findChild<QPlainTextEdit*>("txtInput"), "eyJ.token");
            press(modal, "cmdOK");
            return;
        }
        notices.push_back(noticeText(modal));
        press(modal, "cmdClose");
    });
    rig.window->Form_Load();
    EXPECT_FALSE(pollingWhileAsked);
    EXPECT_TRUE(dialogVisibleToTheCycle);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], "Entered token with length 9\neyJ.token");
    EXPECT_EQ(readFileBytes(places.work() / "mytoken.txt"), "eyJ.token");
    EXPECT_EQ(rig.find<QPlainTextEdit>("TokenString")->toPlainText(), "eyJ.token");
    EXPECT_FALSE(rig.window->tokenDialog()->isVisible());
    EXPECT_TRUE(rig.window->timer().enabled());
}

INSTANTIATE_TEST_SUITE_P(Cases, TokenDialog,
                         ::testing::Values(AskCase{"NoTokenFile", nullptr},
                                           AskCase{"EmptyTokenFile", "\r\n"}),
                         rowName<AskCase>);

TEST(TokenDialogKeys, TabReachesOkAndCancelEscLeavesTheDialogOpen) {
    const AppPlaces places;
    WindowRig rig;
    std::vector<std::string> reached;
    bool openAfterEsc = false;
    ModalWatcher watcher([&](QWidget& modal) {
        auto* dialog = qobject_cast<app::frmCustomInput*>(&modal);
        if (dialog == nullptr) {
            press(modal, "cmdClose");
            return;
        }
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::keyClicks(dialog->findChild<QPlainTextEdit*>("txtInput"), "eyJ.tok");
        QTest::keyClick(dialog->findChild<QPlainTextEdit*>("txtInput"), Qt::Key_Escape);
        openAfterEsc = dialog->isVisible();
        QTest::keyClick(dialog->findChild<QPlainTextEdit*>("txtInput"), Qt::Key_Tab);
        reached.push_back(dialog->focusWidget()->objectName().toStdString());
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        reached.push_back(dialog->focusWidget()->objectName().toStdString());
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        reached.push_back(dialog->focusWidget()->objectName().toStdString());
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Space);
    });
    rig.window->Form_Load();
    EXPECT_TRUE(openAfterEsc);
    EXPECT_EQ(reached, (std::vector<std::string>{"cmdOK", "cmdCancel", "cmdOK"}));
    EXPECT_EQ(readFileBytes(places.work() / "mytoken.txt"), "eyJ.tok");
    EXPECT_FALSE(rig.window->ended());
}

TEST(TokenFileProblems, AFolderInItsPlaceIsSaidBeforeTheDialogAndTheFailedSaveAfterIt) {
    const AppPlaces places;
    std::filesystem::create_directory(places.work() / "mytoken.txt");
    const std::string file = (std::filesystem::current_path() / "mytoken.txt").string();
    WindowRig rig;
    std::vector<std::string> notices;
    ModalWatcher watcher([&](QWidget& modal) {
        if (auto* dialog = qobject_cast<app::frmCustomInput*>(&modal)) {
            QTest::keyClicks(dialog->findChild<QPlainTextEdit*>("txtInput"), "eyJ.tok");
            press(modal, "cmdOK");
            return;
        }
        notices.push_back(noticeText(modal));
        press(modal, "cmdClose");
    });
    rig.window->Form_Load();
    ASSERT_EQ(notices.size(), 4u);
    EXPECT_EQ(notices[0], "Cannot read the token file " + file +
                              ": it is a folder\nPaste the token into the dialog that follows.");
    EXPECT_EQ(notices[1], "Entered token with length 7\neyJ.tok");
    EXPECT_EQ(notices[2].rfind("The token was not saved in " + file + ": ", 0), 0u) << notices[2];
    EXPECT_EQ(notices[3].rfind("ip ", 0), 0u) << notices[3];
    EXPECT_EQ(rig.window->bearerToken(), "eyJ.tok");
    EXPECT_TRUE(rig.window->timer().enabled());
}

struct CancelCase {
    const char* name;
    std::function<void(app::frmCustomInput&)> leave;
};

void PrintTo(const CancelCase& row, std::ostream* out) {
    *out << row.name;
}

class TokenDialogCancelled : public ::testing::TestWithParam<CancelCase> {};

TEST_P(TokenDialogCancelled, EndsTheProgramWithoutSavingAnything) {
    const AppPlaces places;
    places.storeSettings("Top=0\nLeft=0\nIP=127.0.0.2:9\n");
    const std::string stored = readFileBytes(places.settingsFile());
    WindowRig rig;
    std::vector<std::string> notices;
    ModalWatcher watcher([&](QWidget& modal) {
        if (auto* dialog = qobject_cast<app::frmCustomInput*>(&modal)) {
            GetParam().leave(*dialog);
            return;
        }
        notices.push_back(noticeText(modal));
        press(modal, "cmdClose");
    });
    rig.window->Form_Load();
    EXPECT_EQ(notices, std::vector<std::string>{"Input was canceled - program will end."});
    EXPECT_TRUE(rig.window->ended());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_FALSE(rig.window->timer().enabled());
    EXPECT_EQ(rig.window->ipText(), "192.168.1.64");
    EXPECT_EQ(rig.zones.calls, 0);
    EXPECT_FALSE(std::filesystem::exists(places.work() / "mytoken.txt"));
    EXPECT_EQ(readFileBytes(places.settingsFile()), stored);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenDialogCancelled,
    ::testing::Values(
        CancelCase{"Cancel", [](app::frmCustomInput& dialog) { press(dialog, "cmdCancel"); }},
        CancelCase{"OkWithEmptyBox", [](app::frmCustomInput& dialog) { press(dialog, "cmdOK"); }},
        CancelCase{"CloseBoxAfterTyping",
                   [](app::frmCustomInput& dialog) {
                       dialog.findChild<QPlainTextEdit*>("txtInput")->setPlainText("half a token");
                       dialog.close();
                   }}),
    rowName<CancelCase>);

struct EditCase {
    const char* name;
    const char* typed;
    const char* token;
    const char* file;
};

void PrintTo(const EditCase& row, std::ostream* out) {
    *out << row.name;
}

class TokenBoxLeft : public ::testing::TestWithParam<EditCase> {};

TEST_P(TokenBoxLeft, SavesANonEmptyTokenWholeAndKeepsTheFileForAnEmptyOne) {
    const AppPlaces places;
    writeFileBytes(places.work() / "mytoken.txt", "first");
    WindowRig rig;
    startUp(rig);
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    auto* box = rig.find<QPlainTextEdit>("TokenString");
    box->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([box] { return box->hasFocus(); }));
    box->setPlainText(GetParam().typed);
    QWidget* other = rig.find<QWidget>("Production");
    other->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([other] { return other->hasFocus(); }));
    EXPECT_EQ(rig.window->bearerToken(), GetParam().token);
    EXPECT_EQ(readFileBytes(places.work() / "mytoken.txt"), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(Cases, TokenBoxLeft,
                         ::testing::Values(EditCase{"LineBreakKept", "new\nline", "new\nline",
                                                    "new\nline"},
                                           EditCase{"ShorterReplacesLonger", "ab", "ab", "ab"},
                                           EditCase{"EmptiedKeepsTheFile", "", "", "first"}),
                         rowName<EditCase>);

// A window started with the token "first" from its file, active, the focus in TokenString and
// the box emptied, ready for typing.
struct TypingAToken : ::testing::Test {
    void SetUp() override {
        writeFileBytes(places.work() / "mytoken.txt", "first");
        startUp(rig);
        rig.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
        box = rig.find<QPlainTextEdit>("TokenString");
        box->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([this] { return box->hasFocus(); }));
        box->clear();
    }

    std::string file() const { return readFileBytes(places.work() / "mytoken.txt"); }

    AppPlaces places;
    WindowRig rig;
    QPlainTextEdit* box = nullptr;
};

TEST_F(TypingAToken, TabSavesExactlyTheTokenAndMovesOnShiftTabMovesBack) {
    QTest::keyClicks(box, "eyJ.one");
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_TRUE(rig.find<QWidget>("V1")->hasFocus());
    EXPECT_EQ(box->toPlainText().toStdString(), "eyJ.one");
    EXPECT_EQ(file(), "eyJ.one");

    box->setFocus();
    QTest::keyClicks(box, "2");
    QTest::keyClick(box, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(rig.find<QWidget>("A1")->hasFocus());
    EXPECT_EQ(file(), "eyJ.one2");
    // Enter still starts a new line.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->toPlainText().toStdString(), "eyJ.one2\n");
}

TEST_F(TypingAToken, ANoticeOrAContextMenuMidwaySavesNothingClosingTheWindowSavesTheToken) {
    QTest::keyClicks(box, "half");
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(4, 4),
                              box->viewport()->mapToGlobal(QPoint(4, 4)));
    QCoreApplication::sendEvent(box->viewport(), &menuKey);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    menu->close();
    EXPECT_EQ(file(), "first");

    std::string fileDuringNotice;
    ModalWatcher watcher([&](QWidget& modal) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&modal));
        fileDuringNotice = file();
        press(modal, "cmdClose");
    });
    rig.window->TestTimeoutMsgBox("API Call Failed: Error 1: x", 0);
    EXPECT_EQ(watcher.seen(), 1);
    EXPECT_EQ(fileDuringNotice, "first");
    EXPECT_EQ(file(), "first");
    EXPECT_EQ(rig.window->bearerToken(), "first");

    // The typing goes on once the desktop gives the window back.
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return box->hasFocus(); }));
    QTest::keyClicks(box, "-typed");
    EXPECT_EQ(file(), "first");
    rig.window->close();
    EXPECT_EQ(file(), "half-typed");
}

} // namespace
} // namespace quorvane::testing
