#include "history/recorder.h"

namespace quorvane::history {

namespace {

constexpr std::int64_t kMinute = 60;

} // namespace

Recorder::Recorder(const HistoryStore& store,
                   std::function<void(const std::string& message)> writeFailed)
    : m_store(store), m_writeFailed(std::move(writeFailed)) {}

void Recorder::record(std::int64_t timestamp, std::string_view reply) noexcept {
    // Once a second: a timestamp without a snapshot due costs these compares only.
    if (timestamp <= m_lastWritten || timestamp / kMinute == m_lastMinute) {
        return;
    }
    // One try a minute: a reply without counters is not parsed again each second.
    m_lastMinute = timestamp / kMinute;
    write(reply);
}

void Recorder::finish(std::int64_t timestamp, std::string_view reply) noexcept {
    if (timestamp > m_lastWritten) {
        write(reply);
    }
}

void Recorder::write(std::string_view reply) noexcept {
    const auto snapshot = parseSnapshot(reply);
    if (!snapshot || snapshot->timestamp <= m_lastWritten) {
        return;
    }
    const std::error_code error = m_store.append(*snapshot);
    if (!error) {
        m_lastWritten = snapshot->timestamp;
        m_failureReported = false;
        return;
    }
    if (m_failureReported) {
        return;
    }
    m_failureReported = true;
    try {
        const std::u8string folder = m_store.folder().u8string();
        const std::string message = "The energy history cannot be written to " +
                                    std::string(folder.begin(), folder.end()) + ": " +
                                    error.message();
        if (m_writeFailed) {
            m_writeFailed(message);
        }
    } catch (...) {
        // The reading goes on unrecorded; the next failure after a good write reports again.
    }
}

} // namespace quorvane::history
