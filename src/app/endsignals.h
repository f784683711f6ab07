#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorvane::app {

// Turns SIGTERM and SIGINT into the signal endRequested() on the event loop, so that the program
// can close its window normally instead of dying (POSIX; elsewhere it never fires). The handler
// only writes one byte into a pipe; the rest happens on the user-interface thread. One at a time.
class EndSignals final : public QObject {
    Q_OBJECT

public:
    explicit EndSignals(QObject* parent = nullptr);
    // Gives both signals back their default handling.
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // Whether the handlers are in place.
    bool installed() const { return m_notifier != nullptr; }

signals:
    // SIGTERM or SIGINT arrived; `signalNumber` tells which.
    void endRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorvane::app
