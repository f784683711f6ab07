#include "gateway/tokenfile.h"

#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "common/testdoubles.h"
#include "support/failure.h"
#include "support/supporttest.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quorvane::gateway {
namespace {

namespace fs = std::filesystem;
using testing::readFileBytes;
using testing::TempDir;
using testing::writeFileBytes;

struct FieldRow {
    const char* name;
    std::string bytes;
    std::string token;
};

void PrintTo(const FieldRow& row, std::ostream* out) {
    *out << row.name;
}

class TokenFileFirstField : public ::testing::TestWithParam<FieldRow> {};

TEST_P(TokenFileFirstField, LoadsOnlyTheFirstField) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";
    writeFileBytes(file, GetParam().bytes);

    const std::optional<TokenRead> read = readTokenFile(file);

    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->token, GetParam().token);
    EXPECT_EQ(read->problem, "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TokenFileFirstField,
    ::testing::Values(FieldRow{"TokenAlone", "eyJhbGci.eyJhdWQ.sig-_", "eyJhbGci.eyJhdWQ.sig-_"},
                      FieldRow{"EndsAtCrLf", "abc.def\r\nsecond line", "abc.def"},
                      FieldRow{"EndsAtLf", "abc.def\nsecond line", "abc.def"},
                      FieldRow{"EndsAtCr", "abc.def\rsecond line", "abc.def"},
                      FieldRow{"EndsAtComma", "abc,def", "abc"},
                      FieldRow{"LeadingBlanksSkipped", "   abc", "abc"},
                      FieldRow{"QuotesDropped", "\"abc\"", "abc"},
                      FieldRow{"QuotedFieldKeepsCommaAndLineEnd", "\"ab,c\r\nd\",e", "ab,c\r\nd"},
                      FieldRow{"QuotedFieldAfterBlanks", "  \"abc\" ,x", "abc"},
                      FieldRow{"UnclosedQuoteRunsToTheEnd", "\"abc", "abc"},
                      FieldRow{"EmptyFileIsNoToken", "", ""},
                      FieldRow{"LineEndOnlyIsNoToken", "\r\n", ""},
                      FieldRow{"BlanksOnlyAreNoToken", "    ", ""}),
    [](const ::testing::TestParamInfo<FieldRow>& row) { return std::string(row.param.name); });

TEST(TokenFile, MissingFileIsNoFileAFolderIsAProblem) {
    TempDir folder;
    EXPECT_FALSE(readTokenFile(folder / "mytoken.txt").has_value());

    fs::create_directory(folder / "mytoken.txt");
    const std::optional<TokenRead> read = readTokenFile(folder / "mytoken.txt");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->token, "");
    EXPECT_EQ(read->problem, "Cannot read the token file " + (folder / "mytoken.txt").string() +
                                 ": it is a folder");
}

TEST(TokenFile, ReadsOnlyTheFirst64KiB) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";
    writeFileBytes(file, std::string(64 * 1024, 'a') + "bbbb");

    const std::optional<TokenRead> read = readTokenFile(file);

    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->token, std::string(64 * 1024, 'a'));
}

TEST(TokenFile, WritesExactlyTheTokenBytes) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";

    writeTokenFile(file, "abc.def-ghi");

    EXPECT_EQ(readFileBytes(file), "abc.def-ghi");
}

TEST(TokenFile, ShorterTokenReplacesLongerOneWhole) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";
    writeTokenFile(file, "a-much-longer-token-than-the-next");

    writeTokenFile(file, "short");

    EXPECT_EQ(readFileBytes(file), "short");
    EXPECT_EQ(readTokenFile(file)->token, "short");
}

TEST(TokenFile, TokenWithLineBreakIsSavedWholeButLoadsUpToTheBreak) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";

    writeTokenFile(file, "first\r\nsecond");

    EXPECT_EQ(readFileBytes(file), "first\r\nsecond");
    EXPECT_EQ(readTokenFile(file)->token, "first");
}

#ifndef _WIN32

TEST(TokenFile, WrittenFileIsReadableByItsOwnerOnly) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";
    writeFileBytes(file, "old");
    ::chmod(file.c_str(), 0644);

    writeTokenFile(file, "new-token");

    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(TokenFile, UnreadableFileIsNoTokenWithOneProblemLine) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";
    writeFileBytes(file, "secret");
    ::chmod(file.c_str(), 0000);

    const bool asExpected = testing::runUnprivileged(folder.path(), [&file] {
        const std::optional<TokenRead> read = readTokenFile(file);
        const std::string expected =
            "Cannot read the token file " + file.string() + ": Permission denied";
        if (!read || read->token != "" || read->problem != expected) {
            std::cerr << "read: " << (read ? read->token + " / " + read->problem : "nullopt")
                      << "\n";
            return false;
        }
        return true;
    });

    EXPECT_TRUE(asExpected);
}

TEST(TokenFile, FailedWriteKeepsTheOldToken) {
    TempDir folder;
    const fs::path file = folder / "mytoken.txt";
    writeTokenFile(file, "old-token");
    ::chmod(file.c_str(), 0644);
    ::chmod(folder.path().c_str(), 0555);

    const bool raisedPermissionDenied = testing::runUnprivileged(folder.path(), [&file] {
        try {
            writeTokenFile(file, "new");
        } catch (const support::RunTimeError& error) {
            return error.failure().number == support::errors::kPermissionDenied;
        }
        return false;
    });

    EXPECT_TRUE(raisedPermissionDenied);
    EXPECT_EQ(readFileBytes(file), "old-token");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

#endif

struct HeaderRow {
    const char* name;
    std::string token;
    std::optional<std::string> value;
};

void PrintTo(const HeaderRow& row, std::ostream* out) {
    *out << row.name;
}

class HeaderToken : public ::testing::TestWithParam<HeaderRow> {};

TEST_P(HeaderToken, NeverBreaksTheHeaderLine) {
    EXPECT_EQ(headerToken(GetParam().token), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeaderToken,
    ::testing::Values(HeaderRow{"PlainTokenUnchanged", "abc.def-_=", "abc.def-_="},
                      HeaderRow{"TrailingCrLfLeftOut", "abc\r\n", "abc"},
                      HeaderRow{"OuterBlanksAndTabsLeftOut", " \t abc \t", "abc"},
                      HeaderRow{"EmptyStaysEmpty", "", ""},
                      HeaderRow{"WhiteSpaceOnlyIsEmpty", " \r\n\t", ""},
                      HeaderRow{"InnerLineBreakRefused", "abc\r\nInjected: yes", std::nullopt},
                      HeaderRow{"InnerLfRefused", "abc\ndef", std::nullopt},
                      HeaderRow{"InnerBlankRefused", "abc def", std::nullopt},
                      HeaderRow{"InnerTabRefused", "abc\tdef", std::nullopt},
                      HeaderRow{"ControlCharacterRefused", std::string("ab\0c", 4), std::nullopt},
                      HeaderRow{"TrailingDeleteRefused", "abc\x7f", std::nullopt},
                      HeaderRow{"NonAsciiKept", "abc\xc3\xa9", "abc\xc3\xa9"}),
    [](const ::testing::TestParamInfo<HeaderRow>& row) { return std::string(row.param.name); });

} // namespace
} // namespace quorvane::gateway
