#include "reading/replywalk.h"

#include "support/numerictext.h"

#include <cmath>

namespace quorvane::reading {

namespace {

bool contains(std::string_view entry, std::string_view key) {
    return entry.find(key) != std::string_view::npos;
}

void testEntry(std::string_view entry, EntryTests& tests, support::Trap& trap) {
    // A pair that shares its entry with a bracket is not examined at all.
    if (entry.find('[') != std::string_view::npos || entry.find(']') != std::string_view::npos) {
        return;
    }
    if (contains(entry, "timestamp")) {
        trap.run([&] { tests.timeStampRule(entry); });
    }
    // "reactivePower" contains "activePower"; its entries are left alone altogether.
    if (contains(entry, "reactivePower")) {
        return;
    }
    if (contains(entry, "voltage")) {
        trap.run([&] { tests.GetVolts(entry); });
    }
    if (contains(entry, "pwrFactor")) {
        trap.run([&] { tests.GetPFs(entry); });
    }
    if (contains(entry, "current")) {
        trap.run([&] { tests.GetAmps(entry); });
    }
    if (contains(entry, "activePower")) {
        tests.powerRule(entry, trap);
    }
}

} // namespace

void walkReply(std::string_view reply, EntryTests& tests, support::Trap& trap) {
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = reply.find(',', start);
        if (comma == std::string_view::npos) {
            testEntry(reply.substr(start), tests, trap);
            return;
        }
        testEntry(reply.substr(start, comma - start), tests, trap);
        start = comma + 1;
    }
}

std::optional<std::string_view> valueText(std::string_view entry) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = entry.substr(colon + 1);
    return rest.substr(0, rest.find(':'));
}

double entryValue(std::string_view entry) {
    const auto text = valueText(entry);
    if (!text) {
        support::raise(support::errors::kTypeMismatch);
    }
    return support::valueTextToNumber(*text);
}

int phaseOfOrdinal(int ordinal) {
    if (ordinal >= 2 && ordinal <= 4) {
        return ordinal - 1;
    }
    if (ordinal >= 6 && ordinal <= 8) {
        return ordinal - 5;
    }
    return 0;
}

double checkedResult(double value) {
    if (!std::isfinite(value)) {
        support::raise(support::errors::kOverflow);
    }
    return value;
}

} // namespace quorvane::reading
