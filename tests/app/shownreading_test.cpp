// What the window shows is what the reading cycle made: for every real gateway reply and every
// seed of the reading cycle's fuzz target, each box a reading fills holds the value's text,
// colour and tooltip, and nothing else.
#include "app/quorvanefrm.h"
#include "apptesting.h"
#include "reading/shownreading.h"

#include <QMessageBox>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvane::testing {
namespace {

using reading::Box;
using reading::ShownReading;

struct Replies {
    std::string name;
    std::vector<std::string> bodies;
    bool consumptionVariant = false;
};

// The replies of a seed: a set-up byte (bit 0: the consumption variant), then the first reply,
// a NUL and the second.
Replies fromSeed(const std::filesystem::path& seed) {
    const std::string bytes = readFileBytes(seed);
    Replies replies{"seed " + seed.filename().string(), {}, false};
    if (bytes.empty()) {
        return replies;
    }
    replies.consumptionVariant = (static_cast<unsigned char>(bytes[0]) & 1) != 0;
    const std::string rest = bytes.substr(1);
    const auto split = rest.find('\0');
    replies.bodies.push_back(rest.substr(0, split));
    replies.bodies.push_back(split == std::string::npos ? rest : rest.substr(split + 1));
    return replies;
}

std::vector<Replies> everyReply() {
    std::vector<Replies> all;
    for (const auto& entry : std::filesystem::directory_iterator(QUORVANE_TEST_DATA_DIR)) {
        if (entry.path().extension() == ".json") {
            all.push_back({entry.path().filename().string(), {readFileBytes(entry.path())}});
        }
    }
    for (const auto& entry : std::filesystem::directory_iterator(QUORVANE_READING_SEEDS_DIR)) {
        all.push_back(fromSeed(entry.path()));
    }
    return all;
}

void expectDrawn(const app::Quorvanefrm& window, const ShownReading& shown) {
    for (Box box : ShownReading::kBoxes) {
        const std::string name(reading::boxName(box));
        EXPECT_EQ(window.text(box), shown.text(box)) << name;
        EXPECT_EQ(window.backColour(box), shown.backColour(box)) << name;
        EXPECT_EQ(window.toolTip(box), shown.toolTip(box)) << name;
    }
}

TEST(ShownReading, TheWindowShowsTheValueOfEveryRealReplyAndFuzzSeed) {
    const std::vector<Replies> all = everyReply();
    ASSERT_GT(all.size(), 20U);
    const AppPlaces places;
    // A reply containing "error" opens its message box: answered at once.
    const ModalWatcher watcher([](QWidget& modal) {
        if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
            box->done(QMessageBox::Ok);
        } else {
            press(modal, "cmdClose");
        }
    });
    for (const Replies& replies : all) {
        SCOPED_TRACE(replies.name);
        WindowRig rig(replies.consumptionVariant ? "/opt/quorvane/QuorvaneB"
                                                 : "/opt/quorvane/Quorvane");
        // The window's design texts are where the value starts.
        expectDrawn(*rig.window, rig.window->cycle().shown());
        for (const std::string& body : replies.bodies) {
            rig.http.answers.push_back({body, {}});
            rig.window->Timer1_Timer();
            expectDrawn(*rig.window, rig.window->cycle().shown());
        }
    }
}

} // namespace
} // namespace quorvane::testing
