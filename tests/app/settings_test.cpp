#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include <QSettings>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include "app/settings.h"
#include "common/testdoubles.h"
#include "optionswindow.h"

namespace quorvane::testing {
namespace {

using Keys = std::map<QString, QString>;

// A fresh per-user store under a temporary XDG_CONFIG_HOME and a fresh window.
class Settings : public ::testing::Test {
protected:
    Settings() {
#ifdef Q_OS_WIN
        // The registry key of the test's Wine prefix, emptied.
        app::openUserSettings()->clear();
#else
        const QString config = QString::fromStdString(m_config.path().string());
        qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
        // QSettings takes the folder from the environment only once per process.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
#endif
    }

    std::filesystem::path storeFile() const { return m_config / "Quorvane" / "Quorvane.conf"; }

    void store(const Keys& keys) {
        const auto settings = app::openUserSettings();
        for (const auto& [key, value] : keys) {
            settings->setValue(QStringLiteral("Settings/") + key, value);
        }
    }

    QString stored(const QString& key) const {
        return app::openUserSettings()->value(QStringLiteral("Settings/") + key).toString();
    }

#ifdef Q_OS_WIN
    static constexpr const wchar_t* kSettingsKey = L"Software\\Quorvane\\Quorvane\\Settings";

    // The registry type of a value of section "Settings".
    static DWORD registryType(const char* name) {
        DWORD type = REG_NONE;
        RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, QString::fromLatin1(name).toStdWString().c_str(),
                     RRF_RT_ANY, &type, nullptr, nullptr);
        return type;
    }
#endif

    void load(OptionsWindow& window) { app::LoadSettings(window, *app::openUserSettings()); }
    void load() { load(m_window); }
    void save() { app::SaveSettings(m_window, *app::openUserSettings()); }

    TempDir m_config;
    OptionsWindow m_window;
};

TEST_F(Settings, EmptyStoreAppliesNothingAndCloseWritesEveryKey) {
    load();
    EXPECT_EQ(m_window.outerTop(), 1500);
    EXPECT_EQ(m_window.outerLeft(), 1500);
    EXPECT_EQ(m_window.outerWidth(), 4575);
    EXPECT_EQ(m_window.outerHeight(), 2160);
    EXPECT_EQ(m_window.ipText(), "127.0.0.50");
    EXPECT_EQ(m_window.outFileText(), "E:\\Meters.txt");
    EXPECT_EQ(m_window.writeCheckValue(), 0);
    EXPECT_FALSE(m_window.stayOnTop());

    m_window.setOuterLeft(3000);
    m_window.setOutFileText("Zählerstände heute.txt");
    save();
#ifdef Q_OS_WIN
    for (const char* key : {"Top", "Left", "Height", "Width", "IP", "OutFile", "Write", "OnTop"}) {
        EXPECT_EQ(registryType(key), REG_SZ) << key;
    }
#else
    EXPECT_TRUE(readFileBytes(storeFile()).starts_with("[Settings]\n"));
#endif
    const Keys expected{{"Top", "1500"},       {"Left", "3000"}, {"Height", "2160"},
                        {"Width", "4575"},     {"Write", "0"},   {"OnTop", "False"},
                        {"IP", "127.0.0.50"}, {"OutFile", "Zählerstände heute.txt"}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(stored(key), value) << key.toStdString();
    }
}

TEST_F(Settings, FullStoreRestoresEveryValue) {
    store({{"Top", "3000"},
           {"Left", "4500"},
           {"Height", "3560"},
           {"Width", "9165"},
           {"IP", "127.0.0.1"},
           {"OutFile", "meters today.txt"},
           {"Write", "0"},
           {"OnTop", "True"}});
    load();
    EXPECT_EQ(m_window.outerTop(), 3000);
    EXPECT_EQ(m_window.outerLeft(), 4500);
    EXPECT_EQ(m_window.outerHeight(), 3560);
    EXPECT_EQ(m_window.outerWidth(), 9165);
    EXPECT_EQ(m_window.ipText(), "127.0.0.1");
    EXPECT_EQ(m_window.outFileText(), "meters today.txt");
    EXPECT_EQ(m_window.writeCheckValue(), 0);
    EXPECT_TRUE(m_window.stayOnTop());
}

TEST_F(Settings, SavingLeavesTheCertificatePinsAlone) {
    store({{"Top", "3000"}});
    app::openUserSettings()->setValue("Certificates/127.0.0.1", "sha256/pin");
    save();
    EXPECT_EQ(app::openUserSettings()->value("Certificates/127.0.0.1").toString(), "sha256/pin");
}

TEST_F(Settings, StoredPositionIsCorrectedOntoTheScreen) {
    const double screenHeight = m_window.screenHeight();
    const double screenWidth = m_window.screenWidth();
    struct Row {
        const char* name;
        double top, left, width, height;
        double storedTop, storedLeft;
    };
    const Row rows[] = {
        {"on the screen", 1500, 3000, 4575, 2160, 1500, 3000},
        {"above and left of the screen", -600, -300, 4575, 2160, 0, 0},
        {"bottom and right edge past the screen", screenHeight - 1710, screenWidth - 4125, 4575,
         2160, screenHeight - 2160, screenWidth - 4575},
        {"taller than the screen", 300, 0, 4575, screenHeight + 150, 0, 0},
        {"halves to even", 22.5, 37.5, 4575, 2160, 22, 38},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_window.setOuterWidth(row.width);
        m_window.setOuterHeight(row.height);
        m_window.setOuterTop(row.top);
        m_window.setOuterLeft(row.left);
        save();
        EXPECT_EQ(stored("Top"), QString::number(row.storedTop));
        EXPECT_EQ(stored("Left"), QString::number(row.storedLeft));
        EXPECT_EQ(stored("Height"), QString::number(row.height));
        EXPECT_EQ(m_window.outerTop(), row.top) << "the window itself stays where it is";
    }
}

TEST_F(Settings, WindowTallerThanTheScreenIsStillRestoredNextStart) {
    // Ten pixels more than the screen: Windows lets a window grow no further.
    m_window.setOuterHeight(m_window.screenHeight() + 150);
    m_window.setIpText("127.0.0.2");
    save();

    OptionsWindow next;
    load(next);
    EXPECT_EQ(next.ipText(), "127.0.0.2");
    EXPECT_EQ(next.outerHeight(), m_window.screenHeight() + 150);
}

TEST_F(Settings, StoredWriteTickedNarrowsTheWindowWhateverTheStoredWidth) {
    for (const char* width : {"9165", "4575"}) {
        SCOPED_TRACE(width);
        OptionsWindow window;
        store({{"Top", "1500"}, {"Width", width}, {"Write", "1"}});
        load(window);
        EXPECT_EQ(window.writeCheckValue(), 1);
        EXPECT_EQ(window.outerWidth(), 5265);
    }
}

TEST_F(Settings, TopWithoutTheOtherKeysReadsThemAsMinusOne) {
    store({{"Top", "1500"}});
    load();
    EXPECT_EQ(m_window.ipText(), "-1");
    EXPECT_EQ(m_window.writeCheckValue(), 1);
    EXPECT_TRUE(m_window.stayOnTop());
    EXPECT_EQ(m_window.outerWidth(), 5265);
    EXPECT_EQ(m_window.outerHeight(), 2160);
}

TEST_F(Settings, TopThatIsNegativeOrNotAWholeNumberSkipsEverySetting) {
    for (const char* top : {"-1", "-15", "-0.6", "abc", "", "1500px", "3000000000", "nan"}) {
        SCOPED_TRACE(top);
        store({{"Top", top}, {"Height", "3560"}, {"IP", "127.0.0.1"}, {"OnTop", "True"}});
        load();
        EXPECT_EQ(m_window.outerTop(), 1500);
        EXPECT_EQ(m_window.outerHeight(), 2160);
        EXPECT_EQ(m_window.ipText(), "127.0.0.50");
        EXPECT_FALSE(m_window.stayOnTop());
    }
}

TEST_F(Settings, StoredNumbersTakeTheNearestWholeNumberHalvesToEven) {
    const std::pair<const char*, double> rows[] = {
        {"2.5", 2}, {"3.5", 4}, {"-0.5", 0}, {" 1500 ", 1500}, {"1e3", 1000}, {"2999.4", 2999},
    };
    for (const auto& [text, top] : rows) {
        SCOPED_TRACE(text);
        store({{"Top", text}});
        load();
        EXPECT_EQ(m_window.outerTop(), top);
    }
}

TEST_F(Settings, SizeThatIsNotPositiveKeepsTheCurrentSize) {
    for (const char* size : {"0", "-15", "-0.6", "abc", ""}) {
        SCOPED_TRACE(size);
        store({{"Top", "3000"}, {"Height", size}, {"Width", size}, {"Write", "0"}});
        load();
        EXPECT_EQ(m_window.outerHeight(), 2160);
        EXPECT_EQ(m_window.outerWidth(), 4575);
        EXPECT_EQ(m_window.outerTop(), 3000);
    }
}

TEST_F(Settings, WriteTicksTheBoxUnlessItIsZero) {
    const std::pair<const char*, int> rows[] = {
        {"0", 0},   {"1", 1},   {"2", 1},   {"-1", 1},    {"0.4", 0},
        {"0.5", 0}, {"1.5", 1}, {"abc", 1}, {"70000", 1},
    };
    for (const auto& [text, value] : rows) {
        SCOPED_TRACE(text);
        OptionsWindow window;
        store({{"Top", "1500"}, {"Write", text}});
        load(window);
        EXPECT_EQ(window.writeCheckValue(), value);
    }
}

TEST_F(Settings, OnTopIsABooleanWordOrANumber) {
    const std::pair<const char*, bool> rows[] = {
        {"True", true}, {"true", true}, {"FALSE", false}, {"False", false},
        {"0", false},   {"1", true},    {"-1", true},     {"0.0", false},
        {"0.25", true}, {"yes", false}, {"", false},
    };
    for (const auto& [text, on] : rows) {
        SCOPED_TRACE(text);
        store({{"Top", "1500"}, {"OnTop", text}});
        load();
        EXPECT_EQ(m_window.stayOnTop(), on);
        EXPECT_TRUE(m_window.isVisible());
    }
}

#ifdef Q_OS_WIN

TEST_F(Settings, NumbersStoredByAnEarlierRunAsDwordsStillRead) {
    store({{"IP", "127.0.0.1"}});
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const std::pair<const wchar_t*, DWORD> rows[] = {
        {L"Top", 3000}, {L"Left", 4500}, {L"Height", 3560}, {L"Write", 0}, {L"OnTop", 1}};
    for (const auto& [name, value] : rows) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    RegCloseKey(key);
    load();
    EXPECT_EQ(m_window.outerTop(), 3000);
    EXPECT_EQ(m_window.outerLeft(), 4500);
    EXPECT_EQ(m_window.outerHeight(), 3560);
    EXPECT_EQ(m_window.writeCheckValue(), 0);
    EXPECT_TRUE(m_window.stayOnTop());
    EXPECT_EQ(m_window.ipText(), "127.0.0.1");

    save();
    EXPECT_EQ(registryType("Top"), REG_SZ);
    EXPECT_EQ(stored("Top"), "3000");
}

#else

TEST_F(Settings, HandEditedAddressWithACommaIsRestoredWhole) {
    std::filesystem::create_directories(storeFile().parent_path());
    writeFileBytes(storeFile(), "[Settings]\nTop=1500\nIP=localhost,8443\n");
    load();
    EXPECT_EQ(m_window.ipText(), "localhost,8443");
}

#endif

} // namespace
} // namespace quorvane::testing
