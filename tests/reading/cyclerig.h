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

using support::Box;

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
    reading::ReadingCycle cycle{{boxes, notices, replyBox, http, clock, locale, zone, log, [this] {
                                     if (dialogFails) {
                                         support::raise(support::errors::kTypeMismatch);
                                     }
                                     return dialogVisible;
                                 }}};

    CycleRig() {
        zone.zone = {1, -60};
        http.clock = &clock;
        boxes.writeCheck = 1;
        boxes.setText(Box::OutFile, outPath().string());
        cycle.updateTimeZoneBias();
        boxes.changes = 0;
    }

    std::filesystem::path outPath() const { return dir / "Meters.txt"; }
    std::string outFile() const { return readFileBytes(outPath()); }

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
        EXPECT_EQ(boxes.text(box), text) << support::boxName(box);
    }
    for (const auto& [box, colour] : colours) {
        EXPECT_EQ(boxes.backColour(box), colour) << support::boxName(box);
    }
}

} // namespace quorvane::testing
