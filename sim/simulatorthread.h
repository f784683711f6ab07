#pragma once

#include <QString>
#include <functional>

class QThread;

namespace quorvane::sim {

class GatewaySimulator;

// A GatewaySimulator on a thread of its own, for clients that block the calling thread (curl in
// a benchmark, a synchronous request in a test).
class SimulatorThread {
public:
    SimulatorThread() = default;
    ~SimulatorThread();
    SimulatorThread(const SimulatorThread&) = delete;
    SimulatorThread& operator=(const SimulatorThread&) = delete;

    // Starts the thread and a simulator on it listening on 127.0.0.1:`port` (0 picks one);
    // `setup` runs on that thread first. False, with errorString(), when it cannot listen.
    bool start(quint16 port = 0, const std::function<void(GatewaySimulator&)>& setup = {});
    // Closes the simulator and ends the thread; safe to call twice.
    void stop();
    bool isRunning() const { return m_thread != nullptr; }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_errorString; }

    // Runs `action` on the simulator's thread and returns when it has finished (counters,
    // faults, certificate changes).
    void invoke(const std::function<void(GatewaySimulator&)>& action);

private:
    QThread* m_thread = nullptr;
    GatewaySimulator* m_simulator = nullptr;
    quint16 m_port = 0;
    QString m_errorString;
};

} // namespace quorvane::sim
