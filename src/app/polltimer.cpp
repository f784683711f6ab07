#include "app/polltimer.h"

namespace quorvane::app {

PollTimer::PollTimer(QObject* parent) : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, &PollTimer::tick);
}

void PollTimer::setEnabled(bool on) {
    if (on == m_enabled) {
        return;
    }
    m_enabled = on;
    apply();
}

void PollTimer::setInterval(int milliseconds) {
    if (milliseconds == m_interval) {
        return;
    }
    m_interval = milliseconds;
    apply();
}

void PollTimer::apply() {
    if (m_enabled && m_interval != 0) {
        m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}

} // namespace quorvane::app
