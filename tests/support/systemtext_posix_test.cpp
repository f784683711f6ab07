// File names and texts in the locale's own encoding: a legacy 8-bit locale (de_DE.ISO-8859-1)
// against UTF-8 and the C locale.

#include "common/legacylocale.h"
#include "common/testdoubles.h"
#include "support/commandline.h"
#include "support/outputfile.h"
#include "support/supporttest.h"
#include "support/systemtext.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvane::support {
namespace {

namespace fs = std::filesystem;
using testing::failureNumberOf;

// "Zähler/out ü.txt" in UTF-8 and in ISO-8859-1.
const std::string kUtf8Name = "Z\xC3\xA4hler/out \xC3\xBC.txt";
const std::string kLatin1Name = "Z\xE4hler/out \xFC.txt";
// "out €.txt": ISO-8859-1 has no euro sign.
const std::string kEuroName = "out \xE2\x82\xAC.txt";

class InLegacyLocale : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(locale.ready()) << locale.problem(); }

    testing::LegacyLocale locale;
};

TEST_F(InLegacyLocale, NamesAndArgumentsAreTakenAndUsedInTheLocalesEncoding) {
    const testing::LegacyLocale::InEnvironment session(locale);
    EXPECT_EQ(pathFromText(kUtf8Name).native(), kLatin1Name);
    EXPECT_EQ(textOfPath(fs::path(kLatin1Name)), kUtf8Name);

    char program[] = "/opt/quorvane/Quorvane";
    char address[] = "10.0.0.7";
    std::string file = kLatin1Name;
    char* argv[] = {program, address, file.data(), nullptr};
    EXPECT_EQ(programArguments(3, argv), (std::vector<std::string>{address, kUtf8Name}));

    EXPECT_EQ(toSystemCodePage("Z\xC3\xA4hler \xE2\x82\xAC"), "Z\xE4hler ?");
    EXPECT_EQ(fromSystemCodePage("Z\xE4hler"), "Z\xC3\xA4hler");
}

TEST_F(InLegacyLocale, NameTheEncodingCannotHoldIsABadFileName) {
    const testing::LegacyLocale::InEnvironment session(locale);
    EXPECT_EQ(failureNumberOf([] { pathFromText(kEuroName); }), errors::kBadFileName);
    // Not UTF-8 at all.
    EXPECT_EQ(failureNumberOf([] { pathFromText("out \xFC.txt"); }), errors::kBadFileName);
}

TEST_F(InLegacyLocale, OutputFileIsWrittenUnderItsLatin1NameOrNotAtAll) {
    const testing::LegacyLocale::InEnvironment session(locale);
    const testing::TempDir folder;
    fs::create_directory(folder.path() / "Z\xE4hler");
    const std::string content = "0\r\n0\r\n0\r\n0\r\n";
    const std::string prefix = folder.path().string() + "/";

    Save(prefix + kUtf8Name, content);
    EXPECT_EQ(testing::namesIn(folder.path() / "Z\xE4hler"),
              std::vector<std::string>{"out \xFC.txt"});

    EXPECT_EQ(failureNumberOf([&] { Save(prefix + "Z\xC3\xA4hler/" + kEuroName, content); }),
              errors::kBadFileName);
    EXPECT_EQ(testing::namesIn(folder.path() / "Z\xE4hler"),
              std::vector<std::string>{"out \xFC.txt"});
}

TEST(SystemText, UnicodeAndPlainAsciiLocalesKeepUtf8AsItIs) {
    const char* previous = std::getenv("LC_ALL");
    const std::string kept = previous != nullptr ? previous : "";
    for (const char* name : {"C.UTF-8", "C", "POSIX"}) {
        SCOPED_TRACE(name);
        ::setenv("LC_ALL", name, 1);
        EXPECT_EQ(pathFromText(kUtf8Name).native(), kUtf8Name);
        EXPECT_EQ(pathFromText(kEuroName).native(), kEuroName);
        EXPECT_EQ(textOfPath(fs::path(kUtf8Name)), kUtf8Name);
        EXPECT_EQ(toSystemCodePage(kEuroName), kEuroName);
        EXPECT_EQ(fromSystemCodePage(kUtf8Name), kUtf8Name);
    }
    if (previous != nullptr) {
        ::setenv("LC_ALL", kept.c_str(), 1);
    } else {
        ::unsetenv("LC_ALL");
    }
}

} // namespace
} // namespace quorvane::support
