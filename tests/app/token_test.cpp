#include "app/frmcustominput.h"
#include "apptesting.h"

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
            QTest::keyClicks(dialog->txtInput, "eyJ.token");
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
        CancelCase{"Cancel", [](app::frmCustomInput& dialog) { dialog.cmdCancel->click(); }},
        CancelCase{"OkWithEmptyBox", [](app::frmCustomInput& dialog) { dialog.cmdOK->click(); }},
        CancelCase{"CloseBoxAfterTyping",
                   [](app::frmCustomInput& dialog) {
                       dialog.txtInput->setPlainText("half a token");
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

} // namespace
} // namespace quorvane::testing
