#pragma once

#include "app/errorreplybox.h"
#include "app/quorvanefrm.h"
#include "common/testdoubles.h"

#include <QObject>
#include <QSettings>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>

namespace quorvane::testing {

// One test's own places: the settings store (XDG_CONFIG_HOME), the local data (XDG_DATA_HOME,
// where the energy history lies) and the working folder, all fresh temp folders; the test runs
// inside the working folder.
class AppPlaces {
public:
    AppPlaces();
    ~AppPlaces();
    AppPlaces(const AppPlaces&) = delete;
    AppPlaces& operator=(const AppPlaces&) = delete;

    const std::filesystem::path& work() const { return m_work.path(); }
    // $XDG_DATA_HOME, made when the program first writes there.
    std::filesystem::path dataFolder() const { return m_config.path() / "data"; }
    // $XDG_CONFIG_HOME/Quorvane/Quorvane.conf
    std::filesystem::path settingsFile() const;
    // Writes section "Settings" of the store as a user's earlier run would have left it.
    void storeSettings(const std::string& lines) const;

private:
    TempDir m_config;
    TempDir m_work;
    std::filesystem::path m_previous;
    std::optional<std::string> m_previousData;
};

// Calls the handler with each modal window once its modal loop runs, so that a test can look at
// it and press its buttons.
class ModalWatcher : public QObject {
public:
    using Handler = std::function<void(QWidget& modal)>;

    explicit ModalWatcher(Handler handler);
    ~ModalWatcher() override;

    int seen() const { return m_seen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler m_handler;
    int m_seen = 0;
};

// The main window over the core's in-memory doubles and the real settings store.
struct WindowRig {
    explicit WindowRig(std::string programPath = "/opt/quorvane/Quorvane",
                       std::string arguments = "127.0.0.1:1 out.txt");

    ScriptedHttp http;
    app::ErrorReplyBox replyBox;
    ManualClock clock;
    FixedLocale locale;
    FixedZone zones;
    std::unique_ptr<QSettings> settings;
    int endRequests = 0;
    std::unique_ptr<app::Quorvanefrm> window;

    template <class Control> Control* find(const char* name) const {
        return window->findChild<Control*>(QString::fromLatin1(name));
    }
};

// The name of a table row, for the test's name.
template <class Row> std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

// Runs the window's start-up, closing every notice at once.
void startUp(WindowRig& rig);

// Clicks the dialog's push button with this object name.
void press(QWidget& dialog, const char* button);

// The text of the notice window's message box ("" when `modal` is no notice).
std::string noticeText(QWidget& modal);

// What keeps a shown notice's text from being read whole: text or scroll bar under the OK
// button, text beyond the box without a scroll bar, a word that fits a line broken across two
// (other than after its hyphen or colon) or an option broken at all.
// "" when nothing does.
std::string unreadableNotice(const QWidget& notice);

} // namespace quorvane::testing
