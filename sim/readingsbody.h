#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace quorvane::sim {

// The readings of a meter, or of one of its phases (a channel), in the gateway's units: W, VA,
// var, V, A, Hz, and Wh for the energy counters.
struct ChannelReading {
    std::int64_t eid = 0;
    // Unix seconds.
    std::int64_t timestamp = 0;
    double actEnergyDlvd = 0.0;
    double actEnergyRcvd = 0.0;
    double apparentEnergy = 0.0;
    double reactEnergyLagg = 0.0;
    double reactEnergyLead = 0.0;
    double instantaneousDemand = 0.0;
    double activePower = 0.0;
    double apparentPower = 0.0;
    double reactivePower = 0.0;
    double pwrFactor = 0.0;
    double voltage = 0.0;
    double current = 0.0;
    double freq = 0.0;
};

// A meter's own readings followed by those of its phases.
struct MeterReading {
    ChannelReading totals;
    std::vector<ChannelReading> channels;
};

enum class BodyLayout {
    // The gateway's layout: 4-space indentation, LF line ends, ending at the closing bracket.
    Indented,
    // The same list on one line, without blanks.
    Compact,
};

// The meter-readings reply body: a JSON list of the meters, keys in the gateway's order.
QByteArray readingsBody(const std::vector<MeterReading>& meters,
                        BodyLayout layout = BodyLayout::Indented);

// `value` with exactly three decimals and a point, whatever the locale; a negative value that
// rounds to zero keeps its sign ("-0.000"), as the gateway writes it.
QByteArray formatReadingNumber(double value);

// An indented body of `size` bytes (or the normal size when that is larger) that is still one
// valid JSON list: the meters repeated, then blanks before the closing bracket.
QByteArray oversizeReadingsBody(const std::vector<MeterReading>& meters, qsizetype size);

} // namespace quorvane::sim
