#include "support/filereplace.h"
#include "support/systemtext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "common/testdoubles.h"
#include "support/supporttest.h"

#ifdef _WIN32
#include <windows.h>
// The Windows API's name for ReplaceFileW would rename the tests below.
#undef ReplaceFile
#else
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

// Omega is in no ANSI code page of the Latin scripts; the name goes through the wide API whole.
TEST(ReplaceFile, NameTypedInUtf8IsTheNameTheFileGetsAndIsToldBack) {
    testing::TempDir folder;
    const std::string name = "Z\xC3\xA4hlerst\xC3\xA4nde \xCE\xA9.txt";
    replaceFile(pathFromText(textOfPath(folder.path()) + "/" + name), "x\r\n");
    const auto entries = fs::directory_iterator(folder.path());
    ASSERT_NE(entries, fs::directory_iterator());
    EXPECT_EQ(textOfPath(entries->path().filename()), name);
}

TEST(ReplaceFile, FolderInTheWayOfTheFileFailsAndStays) {
    testing::TempDir folder;
    fs::create_directory(folder / "Meters.txt");
    EXPECT_NE(failureNumberOf([&] { replaceFile(folder / "Meters.txt", "x"); }), 0);
    EXPECT_TRUE(fs::is_directory(folder / "Meters.txt"));
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
}

TEST(ReplaceFile, FileThatCannotBeReplacedWholeIsRewrittenInPlace) {
    struct Row {
        const char* name;
        std::string fileName;
        // Sets the folder up; false when this user cannot be refused that way.
        std::function<bool(const fs::path& folder, const fs::path& target)> arrange;
    };
    const std::vector<Row> rows = {
        {"file with a second hard link", "Meters.txt",
         [](const fs::path& folder, const fs::path& target) {
             fs::create_hard_link(target, folder / "other name.txt");
             return true;
         }},
#ifndef _WIN32
        {"folder closed to new files", "Meters.txt",
         [](const fs::path& folder, const fs::path&) { return testing::makeReadOnly(folder); }},
        {"name with no room for the temporary file's suffix", std::string(250, 'm'),
         [](const fs::path&, const fs::path&) { return true; }},
#endif
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::TempDir folder;
        const auto target = folder / row.fileName;
        testing::writeFileBytes(target, "a longer previous content\r\n");
        if (!row.arrange(folder.path(), target)) {
            std::cout << "skipped \"" << row.name << "\": this user may write anywhere\n";
            continue;
        }
        const auto namesBefore = testing::namesIn(folder.path());
        const int failure = failureNumberOf([&] { replaceFile(target, "new\r\n"); });
        fs::permissions(folder.path(), fs::perms::owner_all);
        EXPECT_EQ(failure, 0);
        for (const auto& name : namesBefore) {
            EXPECT_EQ(readFileBytes(folder / name), "new\r\n") << name;
        }
        EXPECT_EQ(testing::namesIn(folder.path()), namesBefore);
    }
}

TEST(ReplaceFile, OwnerOnlyFileIsNeverRewrittenInPlace) {
    testing::TempDir folder;
    const auto token = folder / "mytoken.txt";
    testing::writeFileBytes(token, "old");
    fs::create_hard_link(token, folder / "shared.txt");
    replaceFile(token, "secret", FileAccess::OwnerOnly);
    EXPECT_EQ(readFileBytes(token), "secret");
    EXPECT_EQ(readFileBytes(folder / "shared.txt"), "old");
}

#ifdef _WIN32
TEST(ReplaceFile, ReaderWithoutDeleteSharingKeepsThePreviousWholeFile) {
    testing::TempDir folder;
    const auto target = folder / "Meters.txt";
    testing::writeFileBytes(target, "previous\r\n");
    HANDLE reader = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const int failure = failureNumberOf([&] { replaceFile(target, "new\r\n"); });
    CloseHandle(reader);
    EXPECT_EQ(failure, errors::kPermissionDenied);
    EXPECT_EQ(readFileBytes(target), "previous\r\n");
    EXPECT_EQ(testing::namesIn(folder.path()), std::vector<std::string>{"Meters.txt"});
    replaceFile(target, "new\r\n");
    EXPECT_EQ(readFileBytes(target), "new\r\n");
}
#endif

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
    EXPECT_TRUE(testing::runUnprivileged(folder.path(), [&] {
        if (!testing::makeReadOnly(folder.path())) {
            return false;
        }
        fs::permissions(folder.path(), fs::perms::owner_all);
        const int number = failureNumberOf([&] { replaceFile(target, "new"); });
        return number == errors::kPermissionDenied && readFileBytes(target) == "kept" &&
               testing::namesIn(folder.path()) == std::vector<std::string>{"Meters.txt"};
    }));
}
#endif

} // namespace
} // namespace quorvane::support
