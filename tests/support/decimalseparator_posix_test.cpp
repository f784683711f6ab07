#include "support/decimalseparator.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace quorvane::support {
namespace {

namespace fs = std::filesystem;

// The folder LOCPATH names for these tests: locales made by localedef, kept for later runs.
const fs::path kLocaleFolder = QUORVANE_TEST_LOCALE_DIR;

// Makes the C library's locale `language` (such as "de_DE") in UTF-8 in kLocaleFolder from the
// system's locale sources (Debian's package "locales"), unless an earlier run made it.
void makeLocale(const std::string& language) {
    const fs::path made = kLocaleFolder / (language + ".UTF-8");
    if (fs::exists(made / "LC_NUMERIC")) {
        return;
    }
    fs::create_directories(kLocaleFolder);
    // Made under a name of its own, then renamed: tests running side by side may make it too.
    const fs::path building = kLocaleFolder / (language + ".building." + std::to_string(getpid()));
    const std::string command =
        "localedef -c -i " + language + " -f UTF-8 '" + building.string() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(fs::exists(building / "LC_NUMERIC"))
        << command << " made no locale (status " << status << ")";
    std::error_code ignored;
    fs::rename(building, made, ignored);
    fs::remove_all(building, ignored);
    ASSERT_TRUE(fs::exists(made / "LC_NUMERIC"));
}

// Sets an environment variable until the end of the scope.
class Environment {
public:
    Environment(const char* name, const std::string& value) : m_name(name) {
        if (const char* previous = std::getenv(name)) {
            m_previous = previous;
            m_hadValue = true;
        }
        setenv(name, value.c_str(), 1);
    }
    ~Environment() {
        if (m_hadValue) {
            setenv(m_name, m_previous.c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const char* m_name;
    std::string m_previous;
    bool m_hadValue = false;
};

struct SeparatorCase {
    const char* name;
    // The language whose UTF-8 locale LC_ALL names; empty for the C locale.
    const char* language;
    const char* expected;
};

void PrintTo(const SeparatorCase& row, std::ostream* out) {
    *out << row.name;
}

class SystemDecimalSeparator : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(SystemDecimalSeparator, IsTheCLibrarysOneAsciiCharacterOrAPoint) {
    const std::string language = GetParam().language;
    if (!language.empty()) {
        makeLocale(language);
    }
    const Environment path("LOCPATH", kLocaleFolder.string());
    const Environment all("LC_ALL", language.empty() ? "C" : language + ".UTF-8");
    EXPECT_EQ(systemDecimalSeparator(), GetParam().expected);
}

// ps_AF's C library separator is U+066B, which no number reader takes.
INSTANTIATE_TEST_SUITE_P(
    Locales, SystemDecimalSeparator,
    ::testing::Values(SeparatorCase{"C", "", "."}, SeparatorCase{"German", "de_DE", ","},
                      SeparatorCase{"EgyptianArabic", "ar_EG", "."},
                      SeparatorCase{"Persian", "fa_IR", "."},
                      SeparatorCase{"PashtoArabicSeparatorBecomesAPoint", "ps_AF", "."}),
    [](const ::testing::TestParamInfo<SeparatorCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace quorvane::support
