#include "support/errorlog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/testdoubles.h"
#include "support/supporttest.h"

namespace quorvane::support {
namespace {

using testing::failureNumberOf;
using testing::readFileBytes;

class ErrorLogTest : public ::testing::Test {
protected:
    testing::TempDir folder;
    testing::ManualClock clock;
    testing::FixedLocale locale;
};

TEST_F(ErrorLogTest, EntryIsTwoExactLines) {
    ErrorLog log(clock, locale, folder.path());
    log.LogError(failure(errors::kOverflow), 2975, ".Epoch2Date");
    EXPECT_EQ(readFileBytes(folder / "LarkspurstationError.log"),
              " Time: 19:22:58 Error #  6,  Overflow\r\n In  .Epoch2Date at line - 2975\r\n");
}

TEST_F(ErrorLogTest, EntriesAreAppendedAndEarlierContentStays) {
    testing::writeFileBytes(folder / "LarkspurstationError.log", "earlier\r\n");
    ErrorLog log(clock, locale, folder.path());
    log.LogError(failure(errors::kTypeMismatch), 0, ".Epoch2Date");
    clock.now = CalendarTime{2025, 2, 22, 7, 5, 9};
    log.LogError(Failure{-5, "Negative"}, 2955, ".Somewhere");
    EXPECT_EQ(readFileBytes(log.path()),
              "earlier\r\n"
              " Time: 19:22:58 Error #  13,  Type mismatch\r\n In  .Epoch2Date at line - 0\r\n"
              " Time: 07:05:09 Error #  -5,  Negative\r\n In  .Somewhere at line - 2955\r\n");
}

TEST_F(ErrorLogTest, WithoutAFolderTheLogLivesInTheCurrentFolder) {
    testing::CurrentFolder current(folder.path());
    ErrorLog log(clock, locale);
    log.LogError(failure(errors::kOverflow), 2975, ".Epoch2Date");
    EXPECT_EQ(testing::namesIn(folder.path()),
              std::vector<std::string>{"LarkspurstationError.log"});
}

TEST_F(ErrorLogTest, FolderThatIsAFileFailsWithPathNotFound) {
    testing::writeFileBytes(folder / "plain", "x");
    ErrorLog log(clock, locale, folder / "plain");
    EXPECT_EQ(failureNumberOf([&] { log.LogError(failure(errors::kOverflow), 1, ".X"); }),
              errors::kPathNotFound);
}

TEST_F(ErrorLogTest, MissingFolderFailsWithPathNotFound) {
    ErrorLog log(clock, locale, folder / "missing");
    EXPECT_EQ(failureNumberOf([&] { log.LogError(failure(errors::kOverflow), 1, ".X"); }),
              errors::kPathNotFound);
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

#ifndef _WIN32
TEST_F(ErrorLogTest, ReadOnlyFolderFailsWithPermissionDenied) {
    const auto locked = folder / "locked";
    std::filesystem::create_directory(locked);
    EXPECT_TRUE(testing::runUnprivileged(folder.path(), [&] {
        if (!testing::makeReadOnly(locked)) {
            return false;
        }
        ErrorLog log(clock, locale, locked);
        const int number =
            failureNumberOf([&] { log.LogError(failure(errors::kOverflow), 1, ".X"); });
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
        return number == errors::kPermissionDenied && testing::namesIn(locked).empty();
    }));
}
#endif

} // namespace
} // namespace quorvane::support
