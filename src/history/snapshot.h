#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::history {

// The lifetime counters of the two meters the window uses at one reading, in Wh as the
// gateway writes them (e.g. 1243812.228).
struct Snapshot {
    std::int64_t timestamp = 0; // the reading's own, seconds since 1970 UTC
    double productionDelivered = 0.0;
    double productionReceived = 0.0;
    // The second meter: from and to the grid (net consumption), or the household's
    // consumption and what flows back through it (total consumption).
    double secondDelivered = 0.0;
    double secondReceived = 0.0;
    bool operator==(const Snapshot&) const = default;
};

// The snapshot in a readings reply (a JSON array of meters: production first, the second meter
// next, more meters ignored), taking the first meter's "timestamp" and each meter's whole-meter
// actEnergyDlvd and actEnergyRcvd. Nothing for malformed JSON, a timestamp that is missing or
// not above 0, or a counter that is missing or not a finite number; never throws.
std::optional<Snapshot> parseSnapshot(std::string_view reply) noexcept;

// The history file's header line, without its line end.
inline constexpr std::string_view kSnapshotHeader =
    "timestamp,production_dlvd_wh,production_rcvd_wh,second_dlvd_wh,second_rcvd_wh";

// The snapshot as a history file line with its line end; counters with up to 3 decimals,
// trailing zeros left out ("1748577049,1243812.228,11.6,648203.353,883899.646\n").
std::string snapshotLine(const Snapshot& snapshot);

// The snapshot of a history file line (without its line end); nothing for the header or any
// line that is not exactly a timestamp above 0 and four finite numbers.
std::optional<Snapshot> parseSnapshotLine(std::string_view line) noexcept;

} // namespace quorvane::history
