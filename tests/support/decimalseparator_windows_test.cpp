#include "support/decimalseparator.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace quorvane::support {
namespace {

std::wstring userLocaleName() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    return name;
}

// scripts/windows-check.sh runs these under Wine with the user locales German and Egyptian
// Arabic (LC_ALL for wine), and in the ordinary runs with English.
TEST(SystemDecimalSeparator, FollowsTheUserLocale) {
    const std::wstring locale = userLocaleName();
    const struct {
        const wchar_t* locale;
        const char* expected;
    } rows[] = {{L"en-US", "."}, {L"de-DE", ","}, {L"ar-EG", "."}, {L"fa-IR", "."}};
    for (const auto& row : rows) {
        if (locale == row.locale) {
            EXPECT_EQ(systemDecimalSeparator(), row.expected);
            return;
        }
    }
    GTEST_SKIP() << "no row for this user locale";
}

// The user's own choice in the regional settings, put back at the end of the scope.
class UserDecimalSetting {
public:
    UserDecimalSetting() {
        GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, m_previous, 8);
    }
    ~UserDecimalSetting() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, m_previous); }
    UserDecimalSetting(const UserDecimalSetting&) = delete;
    UserDecimalSetting& operator=(const UserDecimalSetting&) = delete;

    bool set(const wchar_t* separator) {
        return SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator) != 0;
    }

private:
    wchar_t m_previous[8] = {};
};

TEST(SystemDecimalSeparator, FollowsTheUsersOwnSettingWhenItIsOneAsciiCharacter) {
    UserDecimalSetting setting;
    const struct {
        const wchar_t* setting;
        const char* expected;
    } rows[] = {{L",", ","}, {L"'", "'"}, {L"\u066B", "."}, {L" ", "."}, {L",,", "."}, {L"-", "."}};
    for (const auto& row : rows) {
        ASSERT_TRUE(setting.set(row.setting));
        EXPECT_EQ(systemDecimalSeparator(), row.expected) << "setting #" << (&row - rows);
    }
}

} // namespace
} // namespace quorvane::support
