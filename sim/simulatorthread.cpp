#include "sim/simulatorthread.h"

#include "sim/gatewaysimulator.h"

#include <QThread>

namespace quorvane::sim {

SimulatorThread::~SimulatorThread() {
    stop();
}

bool SimulatorThread::start(quint16 port, const std::function<void(GatewaySimulator&)>& setup) {
    if (m_thread != nullptr) {
        m_errorString = QStringLiteral("already running");
        return false;
    }
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("gateway simulator"));
    m_simulator = new GatewaySimulator;
    m_simulator->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_simulator, &QObject::deleteLater);
    m_thread->start();

    bool listening = false;
    invoke([&](GatewaySimulator& simulator) {
        if (setup) {
            setup(simulator);
        }
        listening = simulator.listen(port);
        m_port = simulator.port();
        m_errorString = simulator.errorString();
    });
    if (!listening) {
        stop();
        return false;
    }
    return true;
}

void SimulatorThread::stop() {
    if (m_thread == nullptr) {
        return;
    }
    invoke([](GatewaySimulator& simulator) { simulator.close(); });
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_simulator = nullptr;
    m_port = 0;
}

void SimulatorThread::invoke(const std::function<void(GatewaySimulator&)>& action) {
    if (m_simulator == nullptr) {
        return;
    }
    GatewaySimulator* simulator = m_simulator;
    QMetaObject::invokeMethod(
        simulator, [simulator, &action] { action(*simulator); }, Qt::BlockingQueuedConnection);
}

} // namespace quorvane::sim
