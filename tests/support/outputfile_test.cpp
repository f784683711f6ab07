#include "support/outputfile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/testdoubles.h"
#include "support/supporttest.h"

namespace quorvane::support {
namespace {

using testing::failureNumberOf;
using testing::readFileBytes;

// Boxes with a reading on display and writing switched on into a fresh folder.
class SaveTest : public ::testing::Test {
protected:
    SaveTest() {
        boxes.writeCheck = 1;
        boxes.setText(Box::TimeStamp, "2025-02-22 19:22:58");
        boxes.setText(Box::Production, "1,234.6");
        boxes.setText(Box::Consumption, "422.3");
        boxes.setText(Box::Grid, "812.3");
        boxes.setBackColour(Box::Grid, colours::kGreen);
        boxes.setText(Box::OutFile, outFile.string());
    }

    testing::TempDir folder;
    std::filesystem::path outFile = folder / "Meters.txt";
    testing::MemoryBoxes boxes;
    testing::FixedLocale locale;
};

struct GridRow {
    const char* name;
    const char* gridText;
    std::uint32_t colour;
    const char* decimal;
    const char* line4;
};

TEST_F(SaveTest, WritesFourLinesWithTheGridSignedByItsColour) {
    const std::vector<GridRow> rows = {
        {"import keeps the text", "1,234.5", colours::kLightRed, ".", "1,234.5"},
        {"export is negated without groups", "1,234.5", colours::kGreen, ".", "-1234.5 "},
        {"whole export has no decimals", "36.0", colours::kGreen, ".", "-36 "},
        {"export uses the locale separator", "0.5", colours::kGreen, ",", "-0,5 "},
        {"zero export gets a blank for its sign", "0.0", colours::kGreen, ".", " 0 "},
        {"any other colour counts as export", "7.0", colours::kWindowBackground, ".", "-7 "},
        {"carried value", "1,000.0", colours::kGreen, ".", "-1000 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        boxes.setText(Box::Grid, row.gridText);
        boxes.setBackColour(Box::Grid, row.colour);
        locale.decimal = row.decimal;
        Save(boxes, locale);
        EXPECT_EQ(readFileBytes(outFile), std::string("2025-02-22 19:22:58\r\n1,234.6\r\n"
                                                      "422.3\r\n") +
                                              row.line4 + "\r\n");
    }
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

TEST(ComposeOutput, CycleWithoutAnyReadingWritesTheDesignTexts) {
    testing::MemoryBoxes boxes;
    testing::FixedLocale locale;
    boxes.setText(Box::TimeStamp, "Wrong/No IP address");
    EXPECT_EQ(composeOutput(boxes, locale), "Wrong/No IP address\r\n0\r\n0\r\n0\r\n");
}

TEST_F(SaveTest, WritingSwitchedOffTouchesNothing) {
    boxes.writeCheck = 0;
    Save(boxes, locale);
    EXPECT_FALSE(std::filesystem::exists(outFile));

    testing::writeFileBytes(outFile, "previous");
    Save(boxes, locale);
    EXPECT_EQ(readFileBytes(outFile), "previous");
}

TEST_F(SaveTest, GridTextThatIsNotANumberKeepsThePreviousFileWhole) {
    Save(boxes, locale);
    const std::string previous = readFileBytes(outFile);
    ASSERT_EQ(previous, "2025-02-22 19:22:58\r\n1,234.6\r\n422.3\r\n-812.3 \r\n");

    boxes.setText(Box::TimeStamp, "2025-02-22 19:23:00");
    boxes.setText(Box::Grid, "812.3 W");
    EXPECT_EQ(failureNumberOf([&] { Save(boxes, locale); }), errors::kTypeMismatch);
    EXPECT_EQ(readFileBytes(outFile), previous);
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

TEST_F(SaveTest, MissingFolderFailsAndLeavesNoFile) {
    boxes.setText(Box::OutFile, (folder / "missing" / "Meters.txt").string());
    EXPECT_EQ(failureNumberOf([&] { Save(boxes, locale); }), errors::kPathNotFound);
    EXPECT_TRUE(testing::namesIn(folder.path()).empty());
}

TEST_F(SaveTest, EmptyFileNameFailsAsABadName) {
    boxes.setText(Box::OutFile, "");
    EXPECT_EQ(failureNumberOf([&] { Save(boxes, locale); }), errors::kBadFileName);
}

TEST_F(SaveTest, RelativeNameResolvesAgainstTheCurrentFolder) {
    testing::CurrentFolder current(folder.path());
    boxes.setText(Box::OutFile, "relative.txt");
    Save(boxes, locale);
    EXPECT_EQ(readFileBytes(folder / "relative.txt"),
              "2025-02-22 19:22:58\r\n1,234.6\r\n422.3\r\n-812.3 \r\n");
}

#ifndef _WIN32
TEST_F(SaveTest, ReadOnlyFolderFailsAndLeavesNothingBehind) {
    const auto locked = folder / "locked";
    std::filesystem::create_directory(locked);
    boxes.setText(Box::OutFile, (locked / "Meters.txt").string());
    EXPECT_TRUE(testing::runUnprivileged(folder.path(), [&] {
        if (!testing::makeReadOnly(locked)) {
            return false;
        }
        const int number = failureNumberOf([&] { Save(boxes, locale); });
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
        return number == errors::kPermissionDenied && testing::namesIn(locked).empty();
    }));
}
#endif

} // namespace
} // namespace quorvane::support
