// The program's HTTPS client polling the gateway simulator, side by side with curl polling the
// same simulator over one keep-alive connection. Both are on loopback only.
#include "benchmain.h"
#include "client/certificatepins.h"
#include "client/gatewayclient.h"
#include "sim/gatewaysimulator.h"
#include "sim/simulatorthread.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace quorvane::bench {
namespace {

constexpr int kPolls = 1000;

// The simulator on a thread of its own, its clock standing still so that every reply is the
// same; one for the whole run, so that its certificate stays the one pinned.
class Gateway {
public:
    bool start() {
        const bool started = m_thread.start(0, [](sim::GatewaySimulator& simulator) {
            simulator.setClock(QDateTime(QDate(2025, 6, 21), QTime(12, 0)), 0.0);
        });
        if (!started) {
            std::cerr << "simulator: " << m_thread.errorString().toStdString() << std::endl;
        }
        return started;
    }

    std::string url() const {
        return "https://127.0.0.1:" + std::to_string(m_thread.port()) +
               sim::GatewaySimulator::kReadingsPath + "?cache=12:00:00";
    }

    static std::string token() { return sim::GatewaySimulator::defaultToken().toStdString(); }

    void resetCounters() {
        m_thread.invoke([](sim::GatewaySimulator& simulator) { simulator.resetCounters(); });
    }

    // TLS handshakes completed and replies sent since the last resetCounters().
    std::pair<int, int> counters() {
        std::pair<int, int> result;
        m_thread.invoke([&result](sim::GatewaySimulator& simulator) {
            result = {simulator.connectionsAccepted(), simulator.requestsServed()};
        });
        return result;
    }

private:
    sim::SimulatorThread m_thread;
};

Gateway* g_gateway = nullptr;

// Counters every side reports: requests per iteration and TLS connections the simulator
// accepted in the whole run.
void reportCounters(benchmark::State& state, int requests) {
    const auto [connections, served] = g_gateway->counters();
    state.counters["requests"] = benchmark::Counter(requests, benchmark::Counter::kAvgIterations);
    state.counters["connections"] = connections;
    if (served != requests) {
        state.SkipWithError("the simulator did not serve every request");
    }
}

void BM_GatewayClientPolls(benchmark::State& state) {
    g_gateway->resetCounters();
    // Pins in the per-user store, which lives under this run's own XDG_CONFIG_HOME.
    client::CertificatePins pins;
    client::GatewayClient client(pins);
    const std::string url = g_gateway->url();
    const std::string token = Gateway::token();
    std::string reply;
    std::string errorText;
    int requests = 0;
    for (auto _ : state) {
        client.ApiGet(url, token, reply, errorText);
        ++requests;
        if (!errorText.empty()) {
            state.SkipWithError(("the request failed: " + errorText).c_str());
            return;
        }
    }
    state.counters["reply_bytes"] = static_cast<double>(reply.size());
    reportCounters(state, requests);
}
BENCHMARK(BM_GatewayClientPolls)
    ->ComputeStatistics("min", minimumOf)
    ->ComputeStatistics("max", maximumOf)
    ->Iterations(kPolls)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Runs one curl process per iteration fetching the URL `urls` times; curl keeps its connection
// open from one to the next. The number of requests sent, or nothing after a failure.
std::optional<int> runCurl(benchmark::State& state, int urls) {
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        state.SkipWithError("curl is not installed");
        return std::nullopt;
    }
    QStringList arguments{
        QStringLiteral("-sSk"), QStringLiteral("--http1.1"),
        QStringLiteral("-H"),   QString::fromStdString("Authorization: Bearer " + Gateway::token()),
        QStringLiteral("-H"),   QStringLiteral("Accept: application/json")};
    const QString url = QString::fromStdString(g_gateway->url());
    for (int i = 0; i < urls; ++i) {
        arguments << url;
    }
    int requests = 0;
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(curl, arguments);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            state.SkipWithError(
                ("curl failed: " + process.readAllStandardError().toStdString()).c_str());
            return std::nullopt;
        }
        requests += urls;
    }
    return requests;
}

void BM_CurlPolls(benchmark::State& state) {
    g_gateway->resetCounters();
    if (const auto requests = runCurl(state, kPolls)) {
        reportCounters(state, *requests);
    }
}
BENCHMARK(BM_CurlPolls)
    ->ComputeStatistics("min", minimumOf)
    ->ComputeStatistics("max", maximumOf)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// What starting curl, its handshake and one request cost, to read the per-request figure
// against.
void BM_CurlOnce(benchmark::State& state) {
    runCurl(state, 1);
}
BENCHMARK(BM_CurlOnce)
    ->ComputeStatistics("min", minimumOf)
    ->Iterations(20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void printConnections(const Results& results, const std::string& benchmark,
                      const std::string& who) {
    const auto found = results.find(benchmark);
    if (found == results.end()) {
        return;
    }
    // The most any repetition needed.
    std::printf("connections %s: %.0f for %d requests (target 1)\n", who.c_str(),
                found->second.counterMaxima.at("connections"), kPolls);
}

// The same comparison with what curl spends once, starting and opening its connection (one
// run for one URL, less its one request), taken off curl's side.
void printRatioWithoutCurlStartUp(const Results& results) {
    const auto client = results.find("BM_GatewayClientPolls");
    const auto polls = results.find("BM_CurlPolls");
    const auto once = results.find("BM_CurlOnce");
    if (client == results.end() || polls == results.end() || once == results.end()) {
        return;
    }
    const double requests = polls->second.counters.at("requests");
    // One iteration of each: a whole curl run.
    const double total = polls->second.secondsPer({}, true);
    const double startUp = once->second.secondsPer({}, true);
    const double perRequest = (total - startUp) / (requests - 1);
    std::printf("curl start-up with its first request: %.1f ms; curl per further request: "
                "%.3f ms\n",
                startUp * 1000.0, perRequest * 1000.0);
    printRatio("client/curl-after-start-up",
               client->second.secondsPer("requests", true) / perRequest, 1.3);
}

} // namespace
} // namespace quorvane::bench

int main(int argc, char** argv) {
    using namespace quorvane::bench;
    // The client pins the simulator's certificate in the per-user settings store: a fresh one.
    QTemporaryDir config;
    if (!config.isValid()) {
        std::cerr << "cannot make a temporary folder" << std::endl;
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication application(argc, argv);

    Gateway gateway;
    if (!gateway.start()) {
        return 1;
    }
    g_gateway = &gateway;
    const auto results = runBenchmarks(argc, argv);
    if (!results) {
        return 1;
    }
    // Wall time: each side spans the simulator's thread and, for curl, another process.
    const bool measured = printRatio(*results, "client/curl", "BM_GatewayClientPolls",
                                     "BM_CurlPolls", 1.3, TimeBase::Wall, "requests");
    printRatioWithoutCurlStartUp(*results);
    printConnections(*results, "BM_GatewayClientPolls", "gateway client");
    printConnections(*results, "BM_CurlPolls", "curl");
    return measured ? 0 : 1;
}
