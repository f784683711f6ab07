#pragma once

#include "history/energy.h"
#include "history/snapshot.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace quorvane::history {

// The energy history in a folder: one file per local day, "YYYY-MM-DD.csv", a header line and
// one line per snapshot.
class HistoryStore {
public:
    explicit HistoryStore(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return m_folder; }

    // The file that holds the snapshots of local day `date`.
    std::filesystem::path fileFor(const LocalDate& date) const;

    // Appends the snapshot to the file of its local day as one whole line synced to the disk,
    // making the folder when it is missing. The system's error, or none; never throws.
    std::error_code append(const Snapshot& snapshot) const noexcept;

    // The snapshots that the totals of the local days `first` to `last` need, in time order and
    // each timestamp once: those of the days' files and of the files next to them, the last
    // snapshot of the nearest earlier file that has one and the first of the nearest later one.
    // Unreadable files and lines that are not snapshots are left out; never throws.
    std::vector<Snapshot> snapshotsAround(const LocalDate& first, const LocalDate& last) const
        noexcept;

private:
    std::filesystem::path m_folder;
};

// The snapshots in the text of a history file, in file order; the header, lines that are not
// snapshots and a last line without its line end are left out.
std::vector<Snapshot> snapshotsInText(std::string_view text);

} // namespace quorvane::history
