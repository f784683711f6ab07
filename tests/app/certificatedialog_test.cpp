// The dialog "New gateway certificate" answered from the keyboard: only Alt+T, or Space on its
// button, trusts the new certificate; Enter, Esc and the close box keep refusing it.

#include "app/certificatedialog.h"
#include "apptesting.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

struct KeyRow {
    std::string name;
    std::function<void(QMessageBox&)> answer;
    bool trusted;
};

void PrintTo(const KeyRow& row, std::ostream* out) {
    *out << row.name;
}

QPushButton& button(QMessageBox& dialog, const char* name) {
    return *dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

class CertificateDialogKeys : public ::testing::TestWithParam<KeyRow> {};

TEST_P(CertificateDialogKeys, OnlyTrustTrusts) {
    app::CertificateDialog dialog;
    std::string focusAtStart;
    std::string title;
    const ModalWatcher watcher([&](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        title = box->windowTitle().toStdString();
        focusAtStart = box->focusWidget() != nullptr
                           ? box->focusWidget()->objectName().toStdString()
                           : std::string();
        GetParam().answer(*box);
        // A mnemonic clicks its button a moment later (the button is seen pressed first).
        if (!QTest::qWaitFor([box] { return !box->isVisible(); }, 5000)) {
            ADD_FAILURE() << "the dialog is still open";
            box->done(QMessageBox::Cancel);
        }
    });
    const client::CertificatePins::Details presented{"AB:CD", "CN=envoy", {}, {}};

    const bool trusted = dialog.trustNew("192.0.2.7", presented, "01:02", std::nullopt);

    EXPECT_EQ(trusted, GetParam().trusted);
    EXPECT_EQ(title, "New gateway certificate");
    EXPECT_EQ(focusAtStart, "cmdKeepRefusing");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Keys, CertificateDialogKeys, ::testing::Values(
    KeyRow{"AltT", [](QMessageBox& d) { QTest::keyClick(d.windowHandle(), Qt::Key_T, Qt::AltModifier); }, true},
    KeyRow{"SpaceOnTrust", [](QMessageBox& d) {
        button(d, "cmdTrust").setFocus();
        QTest::keyClick(&button(d, "cmdTrust"), Qt::Key_Space);
    }, true},
    KeyRow{"Enter", [](QMessageBox& d) { QTest::keyClick(&d, Qt::Key_Return); }, false},
    KeyRow{"EnterOnTrust", [](QMessageBox& d) {
        button(d, "cmdTrust").setFocus();
        QTest::keyClick(&button(d, "cmdTrust"), Qt::Key_Return);
    }, false},
    KeyRow{"Esc", [](QMessageBox& d) { QTest::keyClick(&d, Qt::Key_Escape); }, false},
    KeyRow{"CloseBox", [](QMessageBox& d) { d.close(); }, false},
    KeyRow{"AltK", [](QMessageBox& d) { QTest::keyClick(d.windowHandle(), Qt::Key_K, Qt::AltModifier); }, false}),
    rowName<KeyRow>);
// clang-format on

} // namespace
} // namespace quorvane::testing
