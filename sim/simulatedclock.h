#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace quorvane::sim {

// The simulator's notion of "now": real time, or a simulated time that starts at a chosen
// moment and runs a chosen number of simulated seconds per real second (0 stands still).
class SimulatedClock {
public:
    // Starts as the real clock.
    SimulatedClock();

    // From now on the clock shows `start` and advances `speed` seconds per real second.
    void set(const QDateTime& start, double speed);
    // Back to the real clock.
    void useRealTime();

    QDateTime now() const;
    double speed() const { return m_speed; }

private:
    QDateTime m_start;
    double m_speed = 1.0;
    bool m_real = true;
    QElapsedTimer m_elapsed;
};

// Today's date at `timeOfDay` in local time: the start of a simulated day for --start HH:MM.
QDateTime todayAt(QTime timeOfDay);

} // namespace quorvane::sim
