#pragma once

#include <QObject>
#include <QTimer>

namespace quorvane::app {

// The polling timer as the window sees it: an enabled state and an interval of 0 to 65535
// milliseconds. It ticks only while enabled with an interval other than 0 (a plain QTimer with
// interval 0 would fire without pause). Ticks come also while the handler of an earlier one is
// still running (waiting in a modal window).
class PollTimer final : public QObject {
    Q_OBJECT

public:
    explicit PollTimer(QObject* parent = nullptr);

    bool enabled() const { return m_enabled; }
    // Enabling an enabled timer changes nothing; its countdown goes on.
    void setEnabled(bool on);

    int interval() const { return m_interval; }
    // A new interval starts the countdown again; the same one changes nothing.
    void setInterval(int milliseconds);

    // Whether ticks are coming.
    bool ticking() const { return m_timer.isActive(); }

signals:
    void tick();

private:
    void apply();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 1000;
};

} // namespace quorvane::app
