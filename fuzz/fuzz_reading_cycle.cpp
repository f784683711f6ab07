// Fuzz target: two reading cycles on one gateway reply, over in-memory boxes, with the real
// output file and error log in a temporary folder. Only a run-time failure may leave a cycle,
// and whatever the reply, the boxes hold texts the window can show and the output file holds
// what the boxes show.
//
// Input: byte 0 chooses the set-up: bit 0 the consumption variant, bit 1 a failed request in
// the second cycle, bits 2 and 3 the time zone, bit 4 a decimal comma, bit 5 writing off. The
// rest is the reply of the first cycle and, after a NUL byte, the reply of the second; without a
// NUL both cycles get the same reply.

#include "common/testdoubles.h"
#include "fuzzcheck.h"
#include "reading/readingcycle.h"
#include "reading/replywalk.h"
#include "support/errorlog.h"
#include "support/failure.h"
#include "support/outputfile.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace quorvane;
using reading::Box;

// One folder for the whole run: a fresh folder per input would cost more than the cycles.
const testing::TempDir& workFolder() {
    static const testing::TempDir folder;
    return folder;
}

// Standard time east and west of UTC, daylight time, and a platform without zone information.
constexpr std::array<support::ZoneInformation, 4> kZones = {
    {{1, -60}, {1, 330}, {2, -600}, {0xFFFFFFFF, 0}}};

constexpr std::array<Box, 15> kNumberBoxes = {
    Box::Production, Box::Consumption, Box::Grid, Box::S1, Box::S2, Box::S3, Box::G1, Box::G2,
    Box::G3,         Box::A1,          Box::A2,   Box::A3, Box::V1, Box::V2, Box::V3};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Every character of `text` is a digit, except `separators` at the same places in `shape`.
bool hasShape(std::string_view text, std::string_view shape) {
    if (text.size() != shape.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (shape[i] == 'd' ? !isDigit(text[i]) : text[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

// "0" (the design and reset text) or a text in the display pattern.
bool isNumberText(std::string_view text) {
    return text == "0" || quorvane::fuzz::isDisplayPattern(text);
}

std::string describeBox(const testing::MemoryBoxes& boxes, Box box) {
    return std::string(reading::boxName(box)) + " = \"" + boxes.text(box) + "\"";
}

// The cycle's end state, whatever the reply was.
void checkBoxes(const testing::MemoryBoxes& boxes, bool consumptionVariant) {
    for (Box box : kNumberBoxes) {
        QUORVANE_FUZZ_CHECK(isNumberText(boxes.text(box)), describeBox(boxes, box));
    }
    for (Box box : {Box::A1, Box::A2, Box::A3}) {
        const std::string tip = boxes.toolTip(box);
        QUORVANE_FUZZ_CHECK(tip == "Green Export, Red Iimport" || isNumberText(tip),
                            std::string(reading::boxName(box)) + " tooltip \"" + tip + "\"");
    }
    const std::string stamp = boxes.text(Box::TimeStamp);
    QUORVANE_FUZZ_CHECK(stamp == "0" || stamp == "Wrong/No IP address" ||
                            hasShape(stamp, "dddd-dd-dd dd:dd:dd"),
                        describeBox(boxes, Box::TimeStamp));
    QUORVANE_FUZZ_CHECK(boxes.text(Box::Turnaround) == "187 ms",
                        describeBox(boxes, Box::Turnaround));

    // The design colour until the first reading of the box, then export or import colours.
    static const testing::MemoryBoxes design;
    for (Box box : {Box::Grid, Box::G1, Box::G2, Box::G3}) {
        const auto colour = boxes.backColour(box);
        QUORVANE_FUZZ_CHECK(
            colour == design.backColour(box) || colour == reading::colours::kGreen ||
                colour == reading::colours::kLightRed ||
                (consumptionVariant && box != Box::Grid &&
                 colour == reading::colours::kWindowBackground),
            std::string(reading::boxName(box)) + " colour " + std::to_string(colour));
    }
}

// The error log holds whole two-line entries with CR LF line ends.
void checkErrorLog(const std::filesystem::path& path) {
    const std::string log = testing::readFileBytes(path);
    std::size_t at = 0;
    int line = 0;
    while (at < log.size()) {
        const auto end = log.find("\r\n", at);
        QUORVANE_FUZZ_CHECK(end != std::string::npos, "unended error log line: " + log.substr(at));
        const std::string_view start = line % 2 == 0 ? " Time: " : " In  .Epoch2Date at line - ";
        QUORVANE_FUZZ_CHECK(log.compare(at, start.size(), start) == 0,
                            "error log line: " + log.substr(at, end - at));
        at = end + 2;
        ++line;
    }
    QUORVANE_FUZZ_CHECK(line % 2 == 0, "error log ends inside an entry");
}

// The key tests the walk ran, in order: T time stamp, V volts, P power factor, A amps, W power.
class RecordedTests final : public reading::EntryTests {
public:
    void timeStampRule(std::string_view entry) override { record('T', entry); }
    void GetVolts(std::string_view entry) override { record('V', entry); }
    void GetPFs(std::string_view entry) override { record('P', entry); }
    void GetAmps(std::string_view entry) override { record('A', entry); }
    void powerRule(std::string_view entry, support::Trap&) override { record('W', entry); }

    std::vector<std::pair<char, std::string_view>> calls;

private:
    void record(char test, std::string_view entry) { calls.emplace_back(test, entry); }
};

// The key tests of a reply as its rules state them: every comma cuts, an entry with a bracket
// is skipped, the time-stamp rule comes before the "reactivePower" test that skips the rest.
std::vector<std::pair<char, std::string_view>> statedTests(std::string_view reply) {
    std::vector<std::pair<char, std::string_view>> calls;
    const auto has = [](std::string_view entry, std::string_view key) {
        return entry.find(key) != std::string_view::npos;
    };
    std::size_t start = 0;
    for (bool last = false; !last;) {
        const auto comma = reply.find(',', start);
        last = comma == std::string_view::npos;
        const auto entry = reply.substr(start, last ? reply.size() - start : comma - start);
        start = comma + 1;
        if (has(entry, "[") || has(entry, "]")) {
            continue;
        }
        if (has(entry, "timestamp")) {
            calls.emplace_back('T', entry);
        }
        if (has(entry, "reactivePower")) {
            continue;
        }
        for (const auto& [test, key] : {std::pair<char, std::string_view>{'V', "voltage"},
                                        {'P', "pwrFactor"},
                                        {'A', "current"},
                                        {'W', "activePower"}}) {
            if (has(entry, key)) {
                calls.emplace_back(test, entry);
            }
        }
    }
    return calls;
}

void checkWalk(std::string_view reply) {
    RecordedTests tests;
    support::Trap trap = support::Trap::resumeSilently();
    reading::walkReply(reply, tests, trap);
    const auto expected = statedTests(reply);
    QUORVANE_FUZZ_CHECK(tests.calls == expected,
                        "the walk ran " + std::to_string(tests.calls.size()) + " key tests, " +
                            std::to_string(expected.size()) + " expected");
}

// One cycle: either it ends (true), or a run-time failure leaves it; anything else escapes and
// is a finding. After a normal end the file holds what the boxes show; after a failure it is as
// it was.
bool runCycle(reading::ReadingCycle& cycle, const testing::MemoryBoxes& boxes,
              const support::LocaleTexts& locale, const std::filesystem::path& outPath) {
    const std::string before = testing::readFileBytes(outPath);
    bool ended = false;
    try {
        cycle.QuorvaneRead();
        ended = true;
    } catch (const support::RunTimeError&) {
    }
    QUORVANE_FUZZ_CHECK(!cycle.running(), "the cycle still counts as running");
    const std::string file = testing::readFileBytes(outPath);
    if (!ended) {
        QUORVANE_FUZZ_CHECK(file == before, "a failed cycle changed the output file");
        return ended;
    }
    if (!boxes.writing()) {
        QUORVANE_FUZZ_CHECK(!std::filesystem::exists(outPath), "written with writing off");
        return ended;
    }
    std::string shown;
    try {
        shown = reading::composeOutput(boxes.shown(), locale);
    } catch (const support::RunTimeError&) {
        // Save failed on these boxes too and absorbed it; the file stays as it was.
        QUORVANE_FUZZ_CHECK(file == before, "Save failed but changed the output file");
        return ended;
    }
    QUORVANE_FUZZ_CHECK(file == shown, "output file \"" + file + "\", boxes \"" + shown + "\"");
    return ended;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t setUp = data[0];
    const bool consumptionVariant = (setUp & 1) != 0;
    const bool secondRequestFails = (setUp & 2) != 0;
    const std::string_view replies = quorvane::fuzz::inputText(data + 1, size - 1);
    const auto split = replies.find('\0');
    const std::string_view first = replies.substr(0, split);
    const std::string_view second =
        split == std::string_view::npos ? replies : replies.substr(split + 1);

    checkWalk(first);
    checkWalk(second);

    const auto& folder = workFolder();
    const auto outPath = folder / "Meters.txt";
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(folder / std::string(support::ErrorLog::kFileName), ignored);

    testing::MemoryBoxes boxes;
    testing::RecordingNotices notices;
    testing::RecordingReplyBox replyBox;
    testing::ScriptedHttp http;
    testing::ManualClock clock;
    testing::FixedLocale locale;
    if ((setUp & 16) != 0) {
        locale.decimal = ",";
        locale.group = ".";
    }
    testing::FixedZone zone;
    zone.zone = kZones[(setUp >> 2) & 3];
    support::ErrorLog log(clock, locale, folder.path());
    reading::ReadingCycle cycle({boxes, notices, replyBox, http, clock, locale, zone, log, {},
                                 [&boxes](const reading::ShownReading& shown) {
                                     boxes.draw(shown);
                                 }});
    cycle.setShown(boxes.shown());
    cycle.setConsumptionVariant(consumptionVariant);
    boxes.writeCheck = (setUp & 32) != 0 ? 0 : 1;
    boxes.setText(Box::OutFile, outPath.string());
    http.clock = &clock;
    http.turnaround = 187;
    http.answers.push_back({std::string(first), {}});
    if (secondRequestFails) {
        http.answers.push_back({{}, "Error 12029: A connection with the server could not be made"});
    } else {
        http.answers.push_back({std::string(second), {}});
    }

    runCycle(cycle, boxes, locale, outPath);
    checkBoxes(boxes, consumptionVariant);
    const testing::MemoryBoxes afterFirst = boxes;
    const bool secondEnded = runCycle(cycle, boxes, locale, outPath);
    checkBoxes(boxes, consumptionVariant);

    if (secondRequestFails) {
        // A failed request shows "Wrong/No IP address" and touches nothing else of the reading.
        QUORVANE_FUZZ_CHECK(notices.shown.size() == 1 && secondEnded, "failed request");
        QUORVANE_FUZZ_CHECK(boxes.text(Box::TimeStamp) == "Wrong/No IP address",
                            describeBox(boxes, Box::TimeStamp));
        for (Box box : kNumberBoxes) {
            QUORVANE_FUZZ_CHECK(boxes.text(box) == afterFirst.text(box) &&
                                    boxes.backColour(box) == afterFirst.backColour(box),
                                describeBox(boxes, box) + " after a failed request");
        }
    } else {
        QUORVANE_FUZZ_CHECK(notices.shown.empty(), "a notice was shown");
    }
    checkErrorLog(log.path());
    return 0;
}
