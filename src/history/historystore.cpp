#include "history/historystore.h"

#include "history/historysystem.h"
#include "history/localdays.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

namespace quorvane::history {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExtension = ".csv";

// The history files in `folder` by their date; names of any other form are not history.
std::map<LocalDate, fs::path> filesByDate(const fs::path& folder) {
    std::map<LocalDate, fs::path> files;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::u8string utf8 = entry->path().filename().u8string();
        const std::string name(utf8.begin(), utf8.end());
        if (name.size() != 10 + kExtension.size() || !name.ends_with(kExtension)) {
            continue;
        }
        if (const auto date = parseDate(std::string_view(name).substr(0, 10))) {
            files.emplace(*date, entry->path());
        }
    }
    return files;
}

std::vector<Snapshot> snapshotsInFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return snapshotsInText(text);
}

} // namespace

HistoryStore::HistoryStore(fs::path folder) : m_folder(std::move(folder)) {}

fs::path HistoryStore::fileFor(const LocalDate& date) const {
    return m_folder / (formatDate(date) + std::string(kExtension));
}

std::error_code HistoryStore::append(const Snapshot& snapshot) const noexcept {
    try {
        const auto date = localDateOf(snapshot.timestamp);
        if (!date) {
            return std::make_error_code(std::errc::invalid_argument);
        }
        std::error_code error;
        if (!fs::is_directory(m_folder, error)) {
            fs::create_directories(m_folder, error);
            if (error) {
                return error;
            }
        }
        return system::appendLine(fileFor(*date), kSnapshotHeader, snapshotLine(snapshot));
    } catch (const std::bad_alloc&) {
        return std::make_error_code(std::errc::not_enough_memory);
    } catch (...) {
        return std::make_error_code(std::errc::io_error);
    }
}

std::vector<Snapshot> snapshotsInText(std::string_view text) {
    std::vector<Snapshot> snapshots;
    snapshots.reserve(text.size() / 60);
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         start = end + 1, end = text.find('\n', start)) {
        if (const auto snapshot = parseSnapshotLine(text.substr(start, end - start))) {
            snapshots.push_back(*snapshot);
        }
    }
    return snapshots;
}

std::vector<Snapshot> HistoryStore::snapshotsAround(const LocalDate& first,
                                                    const LocalDate& last) const noexcept {
    try {
        const auto files = filesByDate(m_folder);
        // A day's snapshots can sit in the file of the day before or after when the zone
        // changed since they were written.
        const LocalDate from = previousDay(first);
        const LocalDate to = nextDay(last);
        std::vector<Snapshot> snapshots;
        for (auto file = files.lower_bound(from); file != files.end() && file->first <= to;
             ++file) {
            const auto inFile = snapshotsInFile(file->second);
            snapshots.insert(snapshots.end(), inFile.begin(), inFile.end());
        }
        // The snapshots before and after the span, wherever the history has them.
        for (auto file = std::make_reverse_iterator(files.lower_bound(from));
             file != files.rend(); ++file) {
            const auto inFile = snapshotsInFile(file->second);
            if (!inFile.empty()) {
                snapshots.push_back(*std::max_element(
                    inFile.begin(), inFile.end(),
                    [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; }));
                break;
            }
        }
        for (auto file = files.upper_bound(to); file != files.end(); ++file) {
            const auto inFile = snapshotsInFile(file->second);
            if (!inFile.empty()) {
                snapshots.push_back(*std::min_element(
                    inFile.begin(), inFile.end(),
                    [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; }));
                break;
            }
        }
        // Two copies of the program may both have written a reading: the first line counts.
        std::stable_sort(snapshots.begin(), snapshots.end(),
                         [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
        snapshots.erase(std::unique(snapshots.begin(), snapshots.end(),
                                    [](const auto& a, const auto& b) {
                                        return a.timestamp == b.timestamp;
                                    }),
                        snapshots.end());
        return snapshots;
    } catch (...) {
        return {};
    }
}

} // namespace quorvane::history
