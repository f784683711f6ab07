#include "history/snapshot.h"

#include <array>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

namespace quorvane::history {

namespace {

using Json = nlohmann::json;

// A counter of a meter object: a finite JSON number.
std::optional<double> counter(const Json& meter, const char* key) {
    const auto found = meter.find(key);
    if (found == meter.end() || !found->is_number()) {
        return std::nullopt;
    }
    const double value = found->get<double>();
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Appends `value` with at most 3 decimals and no trailing zeros.
void appendCounter(std::string& line, double value) {
    // Room for the largest finite double in fixed notation.
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    const char* end = result.ptr;
    while (end[-1] == '0') {
        --end;
    }
    if (end[-1] == '.') {
        --end;
    }
    const std::string_view digits(text, static_cast<std::size_t>(end - text));
    line.append(digits == "-0" ? "0" : digits);
}

} // namespace

std::optional<Snapshot> parseSnapshot(std::string_view reply) noexcept {
    try {
        const Json meters = Json::parse(reply, nullptr, false);
        if (!meters.is_array() || meters.size() < 2 || !meters[0].is_object() ||
            !meters[1].is_object()) {
            return std::nullopt;
        }
        const Json& production = meters[0];
        const Json& second = meters[1];
        const auto timestamp = production.find("timestamp");
        if (timestamp == production.end() || !timestamp->is_number_integer()) {
            return std::nullopt;
        }
        Snapshot snapshot;
        if (timestamp->is_number_unsigned()) {
            const auto value = timestamp->get<std::uint64_t>();
            if (value > static_cast<std::uint64_t>(INT64_MAX)) {
                return std::nullopt;
            }
            snapshot.timestamp = static_cast<std::int64_t>(value);
        } else {
            snapshot.timestamp = timestamp->get<std::int64_t>();
        }
        const auto pd = counter(production, "actEnergyDlvd");
        const auto pr = counter(production, "actEnergyRcvd");
        const auto sd = counter(second, "actEnergyDlvd");
        const auto sr = counter(second, "actEnergyRcvd");
        if (snapshot.timestamp <= 0 || !pd || !pr || !sd || !sr) {
            return std::nullopt;
        }
        snapshot.productionDelivered = *pd;
        snapshot.productionReceived = *pr;
        snapshot.secondDelivered = *sd;
        snapshot.secondReceived = *sr;
        return snapshot;
    } catch (...) {
        // Out of memory, or a number nlohmann cannot convert: nothing to record.
        return std::nullopt;
    }
}

std::string snapshotLine(const Snapshot& snapshot) {
    std::string line;
    line.reserve(80);
    line.append(std::to_string(snapshot.timestamp));
    for (const double value : {snapshot.productionDelivered, snapshot.productionReceived,
                               snapshot.secondDelivered, snapshot.secondReceived}) {
        line.push_back(',');
        appendCounter(line, value);
    }
    line.push_back('\n');
    return line;
}

std::optional<Snapshot> parseSnapshotLine(std::string_view line) noexcept {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    std::array<std::string_view, 5> fields;
    std::size_t count = 0;
    while (count < fields.size()) {
        const std::size_t comma = line.find(',');
        fields[count++] = line.substr(0, comma);
        if (comma == std::string_view::npos) {
            line = {};
            break;
        }
        line.remove_prefix(comma + 1);
        if (count == fields.size()) {
            return std::nullopt; // a sixth field
        }
    }
    if (count != fields.size()) {
        return std::nullopt;
    }
    const auto whole = [](std::string_view field, auto& value) {
        const char* end = field.data() + field.size();
        if (field.empty() || field.front() == '+') {
            return false;
        }
        const auto result = std::from_chars(field.data(), end, value);
        return result.ec == std::errc() && result.ptr == end;
    };
    Snapshot snapshot;
    std::array<double*, 4> counters{&snapshot.productionDelivered, &snapshot.productionReceived,
                                    &snapshot.secondDelivered, &snapshot.secondReceived};
    if (!whole(fields[0], snapshot.timestamp) || snapshot.timestamp <= 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < counters.size(); ++i) {
        if (!whole(fields[i + 1], *counters[i]) || !std::isfinite(*counters[i])) {
            return std::nullopt;
        }
    }
    return snapshot;
}

} // namespace quorvane::history
