#pragma once

// The end-to-end tests' shared parts: the built program started as a user starts it, the
// program's window run inside the test with its real client, and the simulator on a thread.

#include "app/apptesting.h"
#include "app/program.h"
#include "app/qtplatform.h"
#include "app/quorvanefrm.h"
#include "common/testdoubles.h"
#include "sim/gatewaysimulator.h"
#include "sim/selfsignedcertificate.h"
#include "sim/simulatorthread.h"
#include "support/clock.h"

#include <QDateTime>
#include <QProcess>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::testing {

using OutputLines = std::vector<std::string>;

// Section "Settings" as an earlier run left it: writing switched on, and an address that the
// command line replaces.
extern const char* const kStoredSettings;

// The lines of an output file without their CR LF ends.
OutputLines lines(const std::string& content);

// Four lines whose first is a time stamp rather than "Wrong/No IP address".
bool hasReading(const OutputLines& shown);

// The environment of a started program: offscreen, its own settings store (XDG_CONFIG_HOME
// `config`) and data folder (XDG_DATA_HOME `config`/data), en_US, UTC.
QProcessEnvironment programEnvironment(const std::filesystem::path& config);

// One start of the built program with the gateway's token and writing switched on, in folders
// of its own.
class ProgramRun {
public:
    ProgramRun();
    explicit ProgramRun(QString program);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    void start(const QStringList& arguments);
    // Runs to its end (options that need no window) and gives the exit code.
    int run(const QStringList& arguments);

    // The output file the command line names, in the working folder ("out.txt" unless told).
    void setOutputFile(std::string name) { m_outputFile = std::move(name); }
    // The output file's lines now.
    OutputLines output() const;
    // Waits, with the event loop running, until the output file's lines satisfy `ready`.
    bool waitForOutput(const std::function<bool(const OutputLines&)>& ready, int budgetMs) const;

    std::filesystem::path settingsFile() const;
    // The program's settings store and current folder.
    const std::filesystem::path& configFolder() const { return m_config.path(); }
    // The program's XDG_DATA_HOME.
    std::filesystem::path dataFolder() const { return m_config.path() / "data"; }
    const std::filesystem::path& workFolder() const { return m_work.path(); }
    QProcess& process() { return m_process; }

private:
    QString m_program;
    TempDir m_config;
    TempDir m_work;
    QProcess m_process;
    std::string m_outputFile = "out.txt";
};

// The simulator's own whole-meter energy counters in Wh, as its reading for one second carries
// them.
struct SimulatorCounters {
    // The production meter: produced, and drawn by the inverters.
    double productionDelivered = 0.0;
    double productionReceived = 0.0;
    // The net meter: from the grid, and to the grid.
    double netDelivered = 0.0;
    double netReceived = 0.0;
};

// Energy in Wh between two readings of the simulator, by the counters' differences:
// consumed = produced - drawn by the inverters + imported - exported.
struct SimulatorEnergy {
    double produced = 0.0;
    double consumed = 0.0;
    double imported = 0.0;
    double exported = 0.0;
};
SimulatorEnergy energyBetween(const SimulatorCounters& from, const SimulatorCounters& to);

// The gateway simulator on a thread of its own, serving one certificate the test holds, so a
// changed certificate can be put back.
class GatewayThread {
public:
    // Starts serving `setup`'s replies; the test fails when it cannot listen.
    explicit GatewayThread(const std::function<void(sim::GatewaySimulator&)>& setup);

    // "127.0.0.1:PORT".
    QString address() const;
    quint16 port() const { return m_thread.port(); }
    // Runs `action` on the simulator's thread and returns when it is done.
    void invoke(const std::function<void(sim::GatewaySimulator&)>& action);
    // The counters of the simulator's reading for `time`'s whole second: those of a reply
    // stamped with that second, whether or not one was sent. Asking does not change the replies.
    SimulatorCounters countersAt(const QDateTime& time);
    // The certificate the simulator was started with.
    const sim::CertificateAndKey& firstCertificate() const { return m_first; }

private:
    sim::CertificateAndKey m_first;
    sim::SimulatorThread m_thread;
};

// The gateway restarting on the same port: open connections end, new ones meet whatever the
// simulator is set to now.
void restartOnSamePort(sim::GatewaySimulator& simulator);

// The program's main window run in this process as main.cpp runs it: the program's gateway
// access (client, certificate pins, message box, token expiry note), Qt's clock, an en_US
// locale, the system time zone, and a settings store and working folder of its own (with
// mytoken.txt). The command line is "<gateway address> out.txt".
class WindowRun {
public:
    explicit WindowRun(
        const QString& gatewayAddress,
        const std::string& token = sim::GatewaySimulator::defaultToken().toStdString());
    ~WindowRun();
    WindowRun(const WindowRun&) = delete;
    WindowRun& operator=(const WindowRun&) = delete;

    // Form_Load, pressing OK on each start-up notice at once.
    void startUp();
    // Types `milliseconds` into the Delay box and leaves it with Tab, as a user does.
    void typeDelay(const QString& milliseconds);
    // Clicks a push button of the main window.
    void click(const char* button);

    // The output file's lines now.
    OutputLines output() const;
    std::filesystem::path outputFile() const;
    // Waits, with the event loop running, until the output file's lines satisfy `ready`.
    bool waitForOutput(const std::function<bool(const OutputLines&)>& ready, int budgetMs) const;

    app::Quorvanefrm& window() { return *m_window; }
    const AppPlaces& places() const { return m_places; }

private:
    AppPlaces m_places;
    // After m_places: its pins live in this test's settings store.
    app::GatewayAccess m_gateway;
    app::QtClock m_clock;
    app::QtLocaleTexts m_locale;
    support::SystemZoneSource m_zones;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<app::Quorvanefrm> m_window;
};

} // namespace quorvane::testing
