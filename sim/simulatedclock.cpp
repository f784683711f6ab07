#include "sim/simulatedclock.h"

#include <cmath>

namespace quorvane::sim {

SimulatedClock::SimulatedClock() {
    m_elapsed.start();
}

void SimulatedClock::set(const QDateTime& start, double speed) {
    m_start = start;
    m_speed = speed;
    m_real = false;
    m_elapsed.restart();
}

void SimulatedClock::useRealTime() {
    m_real = true;
    m_speed = 1.0;
}

QDateTime SimulatedClock::now() const {
    if (m_real) {
        return QDateTime::currentDateTime();
    }
    const double simulatedMs = static_cast<double>(m_elapsed.elapsed()) * m_speed;
    return m_start.addMSecs(static_cast<qint64>(std::llround(simulatedMs)));
}

QDateTime todayAt(QTime timeOfDay) {
    return QDateTime(QDate::currentDate(), timeOfDay);
}

} // namespace quorvane::sim
