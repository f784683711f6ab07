#pragma once

#include "common/testdoubles.h"
#include "reading/readingcycle.h"
#include "support/errorlog.h"
#include "support/failure.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::testing {

using reading::Box;

// A reading cycle over in-memory boxes, a scripted gateway and a real output file and error log
// in a fresh folder. The zone is UTC+1 standard time; writing is on.
struct CycleRig {
    TempDir dir;
    MemoryBoxes boxes;
    RecordingNotices notices;
    RecordingReplyBox replyBox;
    ScriptedHttp http;
    ManualClock clock;
    FixedLocale locale;
    FixedZone zone;
    support::ErrorLog log{clock, locale, dir.path()};
    bool dialogVisible = false;
    bool dialogFails = false;
    reading::ReadingCycle cycle{
        {boxes, notices, replyBox, http, clock, locale, zone, log,
         [this] {
             if (dialogFails) {
                 support::raise(support::errors::kTypeMismatch);
             }
             return dialogVisible;
         },
         [this](const reading::ShownReading& shown) { boxes.draw(shown); }}};

    CycleRig() {
        zone.zone = {1, -60};
        http.clock = &clock;
        boxes.writeCheck = 1;
        boxes.setText(Box::OutFile, outPath().string());
        cycle.setShown(boxes.shown());
        cycle.updateTimeZoneBias();
        boxes.changes = 0;
    }

    std::filesystem::path outPath() const { return dir / "Meters.txt"; }
    std::string outFile() const { return readFileBytes(outPath()); }

    // Makes the boxes show `text` and `colour`, as an earlier reading would have left them.
    void showBefore(Box box, std::string_view text) {
        reading::ShownReading shown = cycle.shown();
        shown.setText(box, text);
        cycle.setShown(shown);
        boxes.draw(shown);
    }
    void showBefore(Box box, std::uint32_t colour) {
        reading::ShownReading shown = cycle.shown();
        shown.setBackColour(box, colour);
        cycle.setShown(shown);
        boxes.draw(shown);
    }

    // One cycle on `reply`.
    void read(std::string reply) {
        http.answers.push_back({std::move(reply), {}});
        cycle.QuorvaneRead();
    }
};

// One entry in the gateway's layout: line break, eight blanks, the key in quotes, ": ", value.
inline std::string item(std::string_view key, std::string_view value) {
    return "\n        \"" + std::string(key) + "\": " + std::string(value);
}

// Entries joined by commas.
inline std::string reply(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& entry : items) {
        text += (text.empty() ? "" : ",") + entry;
    }
    return text;
}

// The entries of one key for the meters and phases in walk order.
inline std::vector<std::string> readings(std::string_view key,
                                         std::initializer_list<std::string_view> values) {
    std::vector<std::string> items;
    for (auto value : values) {
        items.push_back(item(key, value));
    }
    return items;
}

inline std::vector<std::string> operator+(std::vector<std::string> a,
                                          const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Test names from the `name` of table rows.
struct RowName {
    template <class Info> std::string operator()(const Info& row) const { return row.param.name; }
};

using Texts = std::vector<std::pair<Box, std::string>>;
using Colours = std::vector<std::pair<Box, std::uint32_t>>;

inline void expectBoxes(const MemoryBoxes& boxes, const Texts& texts, const Colours& colours = {}) {
    for (const auto& [box, text] : texts) {
        EXPECT_EQ(boxes.text(box), text) << reading::boxName(box);
    }
    for (const auto& [box, colour] : colours) {
        EXPECT_EQ(boxes.backColour(box), colour) << reading::boxName(box);
    }
}

} // namespace quorvane::testing
