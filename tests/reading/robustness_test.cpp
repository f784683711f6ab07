#include "reading/cyclerig.h"

#include <gtest/gtest.h>
#include <random>

namespace quorvane::testing {
namespace {

// A real reply mangled the way a broken connection or firmware might: cut, a slice repeated,
// bytes flipped, separators and brackets inserted.
std::string mutate(std::string text, std::mt19937& random) {
    const auto at = [&](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size)(random);
    };
    static const std::string kInserts = ",,,::[]{}\" -.e0123456789";
    const int rounds = std::uniform_int_distribution<int>(1, 6)(random);
    for (int i = 0; i < rounds; ++i) {
        switch (std::uniform_int_distribution<int>(0, 3)(random)) {
        case 0:
            text.resize(at(text.size()));
            break;
        case 1: {
            const std::size_t from = at(text.size());
            const std::string slice = text.substr(from, at(200));
            text.insert(at(text.size()), slice);
            break;
        }
        case 2:
            if (!text.empty()) {
                text[at(text.size() - 1)] ^= static_cast<char>(1 << (random() % 8));
            }
            break;
        default:
            text.insert(at(text.size()), 1, kInserts[at(kInserts.size() - 1)]);
            break;
        }
    }
    return text;
}

TEST(ReadingCycle, MangledRepliesNeverEscapeAsAnythingButARunTimeError) {
    const std::vector<std::string> replies = {
        testData("readings-fw7.6.175-production-and-net.json"),
        testData("readings-fw8.2.4345-production-and-net.json"),
        testData("readings-fw8.3.5167-three-meters.json"),
        testData("readings-fw3.8.10-not-found.json"),
    };
    std::mt19937 random(20250222);
    CycleRig rig;
    rig.boxes.writeCheck = 0;
    int passedOut = 0;
    for (int i = 0; i < 3000; ++i) {
        rig.cycle.setConsumptionVariant(i % 2 == 1);
        rig.http.answers.push_back({mutate(replies[i % replies.size()], random), ""});
        bool ended = false;
        try {
            rig.cycle.QuorvaneRead();
            ended = true;
        } catch (const support::RunTimeError&) {
            ++passedOut;
        }
        ASSERT_FALSE(rig.cycle.running());
        if (ended) {
            // A normal end leaves magnitudes in the grid boxes: the colour carries the sign.
            for (Box box : {Box::Grid, Box::G1, Box::G2, Box::G3}) {
                ASSERT_EQ(rig.boxes.text(box).find('-'), std::string::npos)
                    << reading::boxName(box) << " after reply " << i;
            }
        }
    }
    // The mutations are meant to break entries often enough to reach the second failure.
    EXPECT_GT(passedOut, 0);
}

} // namespace
} // namespace quorvane::testing
