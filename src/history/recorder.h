#pragma once

#include "history/historystore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvane::history {

// Records the energy history from the readings the window shows: a snapshot for the first
// reading of each new minute (by the reading's own timestamp) and one for the last reading at
// the end. Never throws.
class Recorder {
public:
    // `writeFailed` gets a message naming the folder when writing fails; once, until a write
    // works again.
    Recorder(const HistoryStore& store, std::function<void(const std::string& message)> writeFailed);

    // One shown reading: its timestamp (seconds since 1970 UTC, 0 when it has none) and the raw
    // readings reply. Parses the reply only when a snapshot is due.
    void record(std::int64_t timestamp, std::string_view reply) noexcept;

    // The program ends: records the last shown reading when it is newer than the last snapshot.
    void finish(std::int64_t timestamp, std::string_view reply) noexcept;

    // The timestamp of the last snapshot written in this run; 0 before the first.
    std::int64_t lastSnapshot() const { return m_lastWritten; }

private:
    void write(std::string_view reply) noexcept;

    const HistoryStore& m_store;
    std::function<void(const std::string&)> m_writeFailed;
    std::int64_t m_lastWritten = 0;
    // The minute (timestamp / 60) of the last reading that was due, written or not.
    std::int64_t m_lastMinute = -1;
    bool m_failureReported = false;
};

} // namespace quorvane::history
