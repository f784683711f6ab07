#include "common/testdoubles.h"
#include "support/outputfile.h"
#include "support/supporttest.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvane::support {
namespace {

using testing::failureNumberOf;
using testing::readFileBytes;

// A reading on display, and a fresh folder for the output file.
class SaveTest : public ::testing::Test {
protected:
    std::string compose() const { return composeOutput(texts, locale); }
    void save(const std::string& path) const { Save(path, compose()); }
    void save() const { save(outFile.string()); }

    testing::TempDir folder;
    std::filesystem::path outFile = folder / "Meters.txt";
    OutputTexts texts{"2025-02-22 19:22:58", "1,234.6", "422.3", "812.3", false};
    testing::FixedLocale locale;
};

struct GridRow {
    const char* name;
    const char* gridText;
    bool importing;
    const char* decimal;
    const char* line4;
};

TEST_F(SaveTest, WritesFourLinesWithTheGridSignedByItsColour) {
    const std::vector<GridRow> rows = {
        {"import keeps the text", "1,234.5", true, ".", "1,234.5"},
        {"export is negated without groups", "1,234.5", false, ".", "-1234.5 "},
        {"whole export has no decimals", "36.0", false, ".", "-36 "},
        {"export uses the locale separator", "0.5", false, ",", "-0,5 "},
        {"zero export gets a blank for its sign", "0.0", false, ".", " 0 "},
        {"carried value", "1,000.0", false, ".", "-1000 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        texts.grid = row.gridText;
        texts.importing = row.importing;
        locale.decimal = row.decimal;
        save();
        EXPECT_EQ(readFileBytes(outFile), std::string("2025-02-22 19:22:58\r\n1,234.6\r\n"
                                                      "422.3\r\n") +
                                              row.line4 + "\r\n");
    }
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

TEST_F(SaveTest, GridTextThatIsNotANumberKeepsThePreviousFileWhole) {
    save();
    const std::string previous = readFileBytes(outFile);
    ASSERT_EQ(previous, "2025-02-22 19:22:58\r\n1,234.6\r\n422.3\r\n-812.3 \r\n");

    texts.timeStamp = "2025-02-22 19:23:00";
    texts.grid = "812.3 W";
    EXPECT_EQ(failureNumberOf([&] { save(); }), errors::kTypeMismatch);
    EXPECT_EQ(readFileBytes(outFile), previous);
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

TEST_F(SaveTest, MissingFolderFailsAndLeavesNoFile) {
    EXPECT_EQ(failureNumberOf([&] { save((folder / "missing" / "Meters.txt").string()); }),
              errors::kPathNotFound);
    EXPECT_TRUE(testing::namesIn(folder.path()).empty());
}

TEST_F(SaveTest, EmptyFileNameFailsAsABadName) {
    EXPECT_EQ(failureNumberOf([&] { save(""); }), errors::kBadFileName);
}

TEST_F(SaveTest, RelativeNameResolvesAgainstTheCurrentFolder) {
    testing::CurrentFolder current(folder.path());
    save("relative.txt");
    EXPECT_EQ(readFileBytes(folder / "relative.txt"),
              "2025-02-22 19:22:58\r\n1,234.6\r\n422.3\r\n-812.3 \r\n");
}

#ifndef _WIN32
TEST_F(SaveTest, ReadOnlyFolderFailsAndLeavesNothingBehind) {
    const auto locked = folder / "locked";
    std::filesystem::create_directory(locked);
    EXPECT_TRUE(testing::runUnprivileged(folder.path(), [&] {
        if (!testing::makeReadOnly(locked)) {
            return false;
        }
        const int number = failureNumberOf([&] { save((locked / "Meters.txt").string()); });
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
        return number == errors::kPermissionDenied && testing::namesIn(locked).empty();
    }));
}
#endif

} // namespace
} // namespace quorvane::support
