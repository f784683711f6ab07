#include "support/filereplace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/testdoubles.h"
#include "support/supporttest.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace quorvane::support {
namespace {

namespace fs = std::filesystem;
using testing::failureNumberOf;
using testing::readFileBytes;

TEST(ReplaceFile, LeavesExactlyTheNewBytes) {
    testing::TempDir folder;
    const auto target = folder / "Meters.txt";
    replaceFile(target, "a much longer first content\r\n");
    replaceFile(target, "short\r\n");
    EXPECT_EQ(readFileBytes(target), "short\r\n");
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

TEST(ReplaceFile, NamesWithoutAFileFailAsBadNames) {
    testing::TempDir folder;
    EXPECT_EQ(failureNumberOf([] { replaceFile("", "x"); }), errors::kBadFileName);
    EXPECT_EQ(failureNumberOf([&] { replaceFile(folder.path() / "", "x"); }),
              errors::kBadFileName);
    EXPECT_EQ(failureNumberOf([] { pathFromText(std::string("a\0b", 3)); }),
              errors::kBadFileName);
}

TEST(ReplaceFile, FolderInTheWayOfTheFileFailsAndStays) {
    testing::TempDir folder;
    fs::create_directory(folder / "Meters.txt");
    EXPECT_NE(failureNumberOf([&] { replaceFile(folder / "Meters.txt", "x"); }), 0);
    EXPECT_TRUE(fs::is_directory(folder / "Meters.txt"));
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

TEST(AppendFile, CreatesTheFileThenAddsToIt) {
    testing::TempDir folder;
    const auto log = folder / "log.txt";
    appendFile(log, "one\r\n");
    appendFile(log, "two\r\n");
    EXPECT_EQ(readFileBytes(log), "one\r\ntwo\r\n");
}

#ifndef _WIN32
// Limits the size of files this process may write until the end of the scope; a write
// beyond it fails (EFBIG) instead of stopping the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

TEST(ReplaceFile, WriteThatFailsHalfwayKeepsTheOldFileAndNoTemporary) {
    testing::TempDir folder;
    const auto target = folder / "Meters.txt";
    testing::writeFileBytes(target, "old content\r\n");
    {
        FileSizeLimit limit(1024);
        EXPECT_EQ(failureNumberOf([&] { replaceFile(target, std::string(4096, 'x')); }),
                  errors::kPathFileAccessError);
    }
    EXPECT_EQ(readFileBytes(target), "old content\r\n");
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 0777;
}

TEST(ReplaceFile, OwnerOnlyFileIsReadableByTheOwnerAlone) {
    testing::TempDir folder;
    const auto token = folder / "mytoken.txt";
    testing::writeFileBytes(token, "old");
    fs::permissions(token, fs::perms::owner_read | fs::perms::owner_write |
                               fs::perms::group_read | fs::perms::others_read);
    replaceFile(token, "secret", FileAccess::OwnerOnly);
    EXPECT_EQ(modeOf(token), 0600u);
    EXPECT_EQ(readFileBytes(token), "secret");
}

TEST(ReplaceFile, ReplacedFileKeepsItsPermissions) {
    testing::TempDir folder;
    const auto target = folder / "Meters.txt";
    testing::writeFileBytes(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write |
                                fs::perms::group_read);
    replaceFile(target, "new");
    EXPECT_EQ(modeOf(target), 0640u);
}

TEST(ReplaceFile, LinkKeepsPointingAtTheReplacedFile) {
    testing::TempDir folder;
    fs::create_directory(folder / "real");
    testing::writeFileBytes(folder / "real" / "Meters.txt", "old");
    fs::create_symlink(folder / "real" / "Meters.txt", folder / "link.txt");
    replaceFile(folder / "link.txt", "new");
    EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
    EXPECT_EQ(readFileBytes(folder / "real" / "Meters.txt"), "new");
    EXPECT_EQ(testing::namesIn(folder / "real"), std::vector<std::string>{"Meters.txt"});
}

TEST(ReplaceFile, FileTheUserMayNotWriteStaysAsItWas) {
    testing::TempDir folder;
    const auto target = folder / "Meters.txt";
    testing::writeFileBytes(target, "kept");
    fs::permissions(target, fs::perms::owner_read);
    if (!testing::makeReadOnly(folder.path())) {
        GTEST_SKIP() << "this user may write read-only files";
    }
    fs::permissions(folder.path(), fs::perms::owner_all);
    EXPECT_EQ(failureNumberOf([&] { replaceFile(target, "new"); }), errors::kPermissionDenied);
    EXPECT_EQ(readFileBytes(target), "kept");
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}
#endif

} // namespace
} // namespace quorvane::support
