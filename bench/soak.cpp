// A long run of the program polling the gateway simulator every 10 ms: resident memory, open
// descriptors and CPU time per cycle. The program is the real one, started by runProgram as
// main.cpp starts it, offscreen, in a settings store and working folder of its own. This file
// only plays its user: once the start-up notices have closed it ticks the write box, types the
// delay into the Delay box and leaves it with Tab, and at the end closes the window.
#include "app/program.h"
#include "app/quorvanefrm.h"
#include "gateway/tokenfile.h"
#include "sim/gatewaysimulator.h"
#include "sim/simulatorthread.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <arpa/inet.h>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace quorvane::bench {
namespace {

struct Options {
    int cycles = 10000;
    int warmUp = 200;
    int delay = 10;
    int timeLimitSeconds = 600;
};

constexpr const char* kUsage =
    "usage: quorvane_soak [--cycles N] [--warm-up N] [--delay MS] [--time-limit SECONDS]\n";

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        int* target = name == "--cycles"       ? &options.cycles
                      : name == "--warm-up"    ? &options.warmUp
                      : name == "--delay"      ? &options.delay
                      : name == "--time-limit" ? &options.timeLimitSeconds
                                               : nullptr;
        if (target == nullptr || i + 1 >= argc) {
            return std::nullopt;
        }
        const std::string_view value = argv[++i];
        const auto parsed = std::from_chars(value.data(), value.data() + value.size(), *target);
        if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() || *target < 0) {
            return std::nullopt;
        }
    }
    return options;
}

// VmRSS of this process in KiB; 0 when /proc cannot tell.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    // The iterator's own descriptor is one of them.
    return count - 1;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCpuSeconds() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

// The state of the process at one moment of the run.
struct Sample {
    long residentKiB = 0;
    int descriptors = 0;
    // The program's CPU time: the whole process less the simulator's thread.
    double cpuSeconds = 0.0;
    int served = 0;
    std::chrono::steady_clock::time_point when;
};

// A port on 127.0.0.1 that nobody listens on now; 0 when there is none.
quint16 freePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(probe);
    return port;
}

// The simulator on its thread. Its address goes on the program's command line before the
// program starts, but the simulator needs the program's application object to run, so it is
// started on a port chosen beforehand and stopped as the program's event loop ends.
class Gateway {
public:
    bool start(quint16 port) {
        if (!m_thread.start(port)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(m_thread.errorString()));
            return false;
        }
        return true;
    }
    void stop() { m_thread.stop(); }
    bool running() const { return m_thread.isRunning(); }

    // Replies sent so far, and the simulator thread's CPU time.
    std::pair<int, double> progress() {
        std::pair<int, double> result;
        m_thread.invoke([&result](sim::GatewaySimulator& simulator) {
            result = {simulator.requestsServed(), threadCpuSeconds()};
        });
        return result;
    }

    int connections() {
        int count = 0;
        m_thread.invoke([&count](sim::GatewaySimulator& simulator) {
            count = simulator.connectionsAccepted();
        });
        return count;
    }

private:
    sim::SimulatorThread m_thread;
};

// The user at the window, looking at it every 50 ms from inside the program's event loop. What
// was seen outlives the program's application object; the timer goes with it.
class User {
public:
    User(Gateway& gateway, Options options)
        : m_gateway(gateway), m_options(options), m_look(new QTimer(QCoreApplication::instance())),
          m_started(std::chrono::steady_clock::now()) {
        m_look->setInterval(50);
        QObject::connect(m_look, &QTimer::timeout, m_look, [this] { look(); });
        m_look->start();
    }

    // Whether the run reached its number of cycles; measured() also after a time limit.
    bool completed() const { return m_completed; }
    bool measured() const { return m_measured; }
    const std::vector<std::string>& problems() const { return m_problems; }
    const Sample& startUp() const { return m_startUp; }
    const Sample& first() const { return m_first; }
    const Sample& last() const { return m_last; }
    const std::string& timeStamp() const { return m_timeStamp; }
    int notices() const { return m_notices; }

private:
    enum class Stage { StartingUp, WarmingUp, Measuring, Done };

    Sample sample() {
        const auto [served, simulatorCpu] = m_gateway.progress();
        return {residentKiB(), openDescriptors(), processCpuSeconds() - simulatorCpu, served,
                std::chrono::steady_clock::now()};
    }

    static app::Quorvanefrm* findWindow() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<app::Quorvanefrm*>(widget)) {
                return window;
            }
        }
        return nullptr;
    }

    void look() {
        // Typing runs event loops of its own, in which this timer fires again.
        if (m_busy || m_stage == Stage::Done) {
            return;
        }
        m_busy = true;
        const auto elapsed = std::chrono::steady_clock::now() - m_started;
        if (elapsed > std::chrono::seconds(m_options.timeLimitSeconds)) {
            m_problems.push_back("time limit reached");
            if (m_stage == Stage::Measuring) {
                // What has been measured so far still tells something.
                m_last = sample();
                m_measured = true;
                if (app::Quorvanefrm* window = findWindow()) {
                    m_timeStamp = window->text(reading::Box::TimeStamp);
                }
            }
            finish();
        } else {
            act();
        }
        m_busy = false;
    }

    void act() {
        app::Quorvanefrm* window = findWindow();
        if (window == nullptr) {
            return;
        }
        switch (m_stage) {
        case Stage::StartingUp:
            // Start-up is over when polling has begun and the greeting has closed.
            if (window->timer().enabled() && window->notice() == nullptr) {
                m_startUp = sample();
                setUp(*window);
                m_stage = Stage::WarmingUp;
                m_warmUpFrom = m_gateway.progress().first;
            }
            break;
        case Stage::WarmingUp:
            if (m_gateway.progress().first >= m_warmUpFrom + m_options.warmUp) {
                m_first = sample();
                m_stage = Stage::Measuring;
            }
            break;
        case Stage::Measuring:
            if (window->notice() != nullptr && !m_noticeShown) {
                ++m_notices;
            }
            m_noticeShown = window->notice() != nullptr;
            if (m_gateway.progress().first >= m_first.served + m_options.cycles) {
                m_last = sample();
                m_measured = true;
                m_completed = true;
                m_timeStamp = window->text(reading::Box::TimeStamp);
                if (!std::filesystem::is_regular_file("out.txt")) {
                    m_problems.push_back("no output file was written");
                }
                finish();
            }
            break;
        case Stage::Done:
            break;
        }
    }

    // What a user does to poll every few milliseconds with writing on.
    void setUp(app::Quorvanefrm& window) {
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) {
            m_problems.push_back("the window did not become active");
        }
        auto* write = window.findChild<QCheckBox*>(QStringLiteral("CreateOutputchk"));
        if (write != nullptr && !write->isChecked()) {
            QTest::mouseClick(write, Qt::LeftButton);
        }
        auto* delay = window.findChild<QLineEdit*>(QStringLiteral("Delay"));
        delay->setFocus(Qt::MouseFocusReason);
        if (!QTest::qWaitFor([delay] { return delay->hasFocus(); })) {
            m_problems.push_back("the Delay box took no focus");
        }
        QTest::keyClick(delay, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(delay, QString::number(m_options.delay));
        QTest::keyClick(delay, Qt::Key_Tab);
        if (!QTest::qWaitFor(
                [&window, this] { return window.timer().interval() == m_options.delay; })) {
            m_problems.push_back("the delay was not taken: the timer runs every " +
                                 std::to_string(window.timer().interval()) + " ms");
        }
        if (write == nullptr || !write->isChecked()) {
            m_problems.push_back("writing is off");
        }
    }

    void finish() {
        m_stage = Stage::Done;
        m_look->stop();
        if (app::Quorvanefrm* window = findWindow()) {
            window->close();
        }
    }

    Gateway& m_gateway;
    Options m_options;
    QTimer* m_look;
    std::chrono::steady_clock::time_point m_started;
    Stage m_stage = Stage::StartingUp;
    bool m_busy = false;
    bool m_measured = false;
    bool m_completed = false;
    bool m_noticeShown = false;
    int m_notices = 0;
    int m_warmUpFrom = 0;
    Sample m_startUp;
    Sample m_first;
    Sample m_last;
    std::string m_timeStamp;
    std::vector<std::string> m_problems;
};

Gateway* g_gateway = nullptr;
quint16 g_port = 0;
int g_connections = 0;
Options g_options;
User* g_user = nullptr;

// Runs as the program's QApplication is made: once its event loop runs, the gateway comes up
// and the user sits down. The first request follows the start-up notices, seconds later.
void seatUser() {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            if (!g_gateway->start(g_port)) {
                QCoreApplication::exit(1);
                return;
            }
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
                g_connections = g_gateway->connections();
                g_gateway->stop();
            });
            g_user = new User(*g_gateway, g_options);
        },
        Qt::QueuedConnection);
}

void report(const User& user, int exitCode, int connections) {
    for (const std::string& problem : user.problems()) {
        std::printf("soak problem: %s\n", problem.c_str());
    }
    std::printf("soak program exit code: %d\n", exitCode);
    if (!user.measured()) {
        std::printf("soak: nothing measured\n");
        return;
    }
    const Sample& first = user.first();
    const Sample& last = user.last();
    const int cycles = last.served - first.served;
    const double seconds = std::chrono::duration<double>(last.when - first.when).count();
    std::printf("soak cycles: %d measured after %d warm-up cycles at a %d ms delay, %.1f s "
                "(%.2f ms per cycle)\n",
                cycles, g_options.warmUp, g_options.delay, seconds,
                cycles > 0 ? seconds * 1000.0 / cycles : 0.0);
    std::printf("soak rss: %.2f MB after start-up, %.2f MB after the warm-up, %.2f MB at end, "
                "growth %.2f MB (target <= 2 MB)\n",
                static_cast<double>(user.startUp().residentKiB) / 1024.0,
                static_cast<double>(first.residentKiB) / 1024.0,
                static_cast<double>(last.residentKiB) / 1024.0,
                static_cast<double>(last.residentKiB - first.residentKiB) / 1024.0);
    std::printf("soak descriptors: %d at start, %d at end (target: unchanged)\n", first.descriptors,
                last.descriptors);
    std::printf("soak cpu per cycle: %.3f ms (the program's threads, simulator excluded)\n",
                cycles > 0 ? (last.cpuSeconds - first.cpuSeconds) * 1000.0 / cycles : 0.0);
    std::printf("soak connections: %d TLS connections for the whole run (target 1)\n", connections);
    std::printf("soak notices during the run: %d; last time stamp shown: %s\n", user.notices(),
                user.timeStamp().c_str());
}

} // namespace
} // namespace quorvane::bench

int main(int argc, char** argv) {
    using namespace quorvane::bench;
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    g_options = *options;

    // The program's own places: a fresh settings store and working folder with the token file.
    QTemporaryDir config;
    QTemporaryDir runtime;
    QTemporaryDir work;
    if (!config.isValid() || !runtime.isValid() || !work.isValid()) {
        std::fputs("cannot make temporary folders\n", stderr);
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QDir::setCurrent(work.path());

    Gateway gateway;
    g_gateway = &gateway;
    g_port = freePort();
    if (g_port == 0) {
        std::fputs("no free port on 127.0.0.1\n", stderr);
        return 1;
    }
    quorvane::gateway::writeTokenFile(
        std::string(quorvane::gateway::kTokenFileName),
        quorvane::sim::GatewaySimulator::defaultToken().toStdString());

    std::string address = "127.0.0.1:" + std::to_string(g_port);
    std::string program = "Quorvane";
    std::string outFile = "out.txt";
    std::vector<char*> arguments{program.data(), address.data(), outFile.data(), nullptr};
    int count = static_cast<int>(arguments.size()) - 1;

    qAddPreRoutine(seatUser);
    const int exitCode = quorvane::app::runProgram(count, arguments.data());
    if (g_user == nullptr || gateway.running()) {
        std::fputs("the program ended before its event loop ran\n", stderr);
        return 1;
    }
    report(*g_user, exitCode, g_connections);
    const bool completed = g_user->completed() && g_user->problems().empty();
    delete g_user;
    return completed ? 0 : 1;
}
