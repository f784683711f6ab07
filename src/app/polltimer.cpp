#include "app/polltimer.h"

namespace quorvane::app {

PollTimer::PollTimer(QObject* parent) : QObject(parent) {
    // Qt fires no timer again while its own handler still runs, and a tick's reading cycle can
    // wait in a modal window (a failure notice, the message box for an "error" reply) for as long
    // as nobody is at the desk. The tick is therefore queued and the handler returns at once:
    // ticks go on under the modal window, each in an event loop of its own.
    connect(&m_timer, &QTimer::timeout, this, [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Stopped meanwhile: no tick after Stop.
                if (ticking()) {
                    emit tick();
                }
            },
            Qt::QueuedConnection);
    });
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
