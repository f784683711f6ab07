#pragma once

#include "history/localdays.h"
#include "history/snapshot.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#ifndef _WIN32
#include "common/scopedtimezone_posix.h"
#endif

namespace quorvane::testing {

// A fresh folder, removed at the end of the scope.
class HistoryFolder {
public:
    HistoryFolder() {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("quorvane-history-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~HistoryFolder() {
        std::error_code error;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(m_path, error);
    }
    HistoryFolder(const HistoryFolder&) = delete;
    HistoryFolder& operator=(const HistoryFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The whole content of a file.
inline std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `text` as the whole file.
inline void writeFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// A readings reply of two meters with these counters (Wh), all at `timestamp`.
inline std::string readingsReply(std::int64_t timestamp, double productionDelivered,
                                 double productionReceived, double secondDelivered,
                                 double secondReceived) {
    const auto meter = [timestamp](double delivered, double received) {
        return "{\"eid\":1,\"timestamp\":" + std::to_string(timestamp) +
               ",\"actEnergyDlvd\":" + std::to_string(delivered) +
               ",\"actEnergyRcvd\":" + std::to_string(received) + ",\"channels\":[]}";
    };
    return "[" + meter(productionDelivered, productionReceived) + "," +
           meter(secondDelivered, secondReceived) + "]";
}

} // namespace quorvane::testing
