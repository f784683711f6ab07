#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gateway/httpget.h"
#include "gateway/replymessagebox.h"
#include "reading/boxes.h"
#include "reading/notices.h"
#include "reading/readingcycle.h"
#include "reading/shownreading.h"
#include "support/clock.h"
#include "support/localetexts.h"

namespace quorvane::testing {

// The window's boxes held in memory, starting with the window's design texts and colours: what
// a cycle asks of the window, and what it draws.
class MemoryBoxes : public reading::CycleInputs {
public:
    MemoryBoxes();

    std::string text(reading::Box box) const;
    void setText(reading::Box box, std::string_view text);
    std::uint32_t backColour(reading::Box box) const;
    void setBackColour(reading::Box box, std::uint32_t colour);
    std::string toolTip(reading::Box box) const;
    void setToolTip(reading::Box box, std::string_view text);

    // Takes every box a reading fills from `shown`, as the window draws it; one change.
    void draw(const reading::ShownReading& shown);
    // The boxes a reading fills as they are now.
    reading::ShownReading shown() const;

    std::string address() const override { return text(reading::Box::IP); }
    std::string token() const override { return text(reading::Box::TokenString); }
    std::string outputFile() const override { return text(reading::Box::OutFile); }
    bool writing() const override { return writeCheck != 0; }

    int writeCheck = 0;
    // How many times any text, colour or tooltip was set, or a reading drawn.
    int changes = 0;

private:
    struct Entry {
        std::string text;
        std::uint32_t colour = 0xFFFFFF;
        std::string toolTip;
    };
    std::array<Entry, reading::kBoxCount> m_entries;
};

// A fixed English locale: "." decimal, "," groups, 24-hour "14:05:09", ISO-like dates
// "2025-02-22 14:05:09".
class FixedLocale : public support::LocaleTexts {
public:
    std::string decimalSeparator() const override { return decimal; }
    std::string groupSeparator() const override { return group; }
    std::string timeText(const support::CalendarTime& time) const override;
    std::string dateTimeText(const support::CalendarTime& time) const override;

    std::string decimal = ".";
    std::string group = ",";
    // Written after every time of day, such as a day period " PM".
    std::string timeSuffix;
};

// A clock that moves only when told.
class ManualClock : public support::Clock {
public:
    std::uint32_t tickCount() override { return ticks; }
    support::CalendarTime localNow() override { return now; }

    std::uint32_t ticks = 0;
    support::CalendarTime now{2025, 2, 22, 19, 22, 58};
};

// Zone information fixed by the test.
class FixedZone : public support::ZoneSource {
public:
    support::ZoneInformation zoneInformation() override {
        ++calls;
        return zone;
    }

    support::ZoneInformation zone{1, 0};
    int calls = 0;
};

// Notices recorded instead of shown. A notice asked for while one is "up" is recorded and
// raises errors::kFormAlreadyShown, as the window's does.
class RecordingNotices : public reading::Notices {
public:
    void TestTimeoutMsgBox(const std::string& message, std::int32_t timeout) override;

    std::vector<std::pair<std::string, std::int32_t>> shown;
    // Run while the notice is "up" (for example to start another cycle from inside it).
    std::function<void()> whileShown;

private:
    bool m_up = false;
};

// Message boxes for replies containing "error" recorded instead of shown.
class RecordingReplyBox : public gateway::ReplyMessageBox {
public:
    void showReply(const std::string& text) override;

    std::vector<std::string> shown;
    // Run while the box is "up" (for example to start another cycle from inside it).
    std::function<void()> whileShown;
};

// HTTP replies served from a queue; records each request.
class ScriptedHttp : public gateway::HttpGet {
public:
    struct Answer {
        std::string reply;
        std::string errorText;
    };

    void ApiGet(const std::string& url, const std::string& token, std::string& reply,
                std::string& errorText) override;

    std::deque<Answer> answers;
    // Served when the queue is empty.
    Answer fallback;
    std::vector<std::pair<std::string, std::string>> requests;
    // Milliseconds the clock moves on during each request (when `clock` is set).
    std::uint32_t turnaround = 0;
    ManualClock* clock = nullptr;
    std::function<void()> duringRequest;
};

// A fresh empty folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The whole content of a file as bytes ("" when missing).
std::string readFileBytes(const std::filesystem::path& path);
// Writes `bytes` to a file as they are.
void writeFileBytes(const std::filesystem::path& path, const std::string& bytes);
// A file from tests/data.
std::string testData(const std::string& name);

} // namespace quorvane::testing
