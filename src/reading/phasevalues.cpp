#include "reading/phasevalues.h"

#include "reading/replywalk.h"
#include "support/failure.h"
#include "support/numerictext.h"

#include <limits>

namespace quorvane::reading {

namespace {

constexpr std::array<Box, 3> kAmps = {Box::A1, Box::A2, Box::A3};
constexpr std::array<Box, 3> kVolts = {Box::V1, Box::V2, Box::V3};

int raiseCounter(std::int16_t& counter) {
    if (counter == std::numeric_limits<std::int16_t>::max()) {
        support::raise(support::errors::kOverflow);
    }
    ++counter;
    return counter;
}

double roundedValue(std::string_view currentItem) {
    return support::roundHalfEven(entryValue(currentItem), 1);
}

} // namespace

void PhaseValues::resetCounters() {
    VoltsCount = 0;
    PFCount = 0;
    AmpsCount = 0;
}

void PhaseValues::GetVolts(std::string_view currentItem, ShownReading& boxes) {
    const int ordinal = raiseCounter(VoltsCount);
    const double value = roundedValue(currentItem);
    const int phase = phaseOfOrdinal(ordinal);
    if (phase == 0) {
        return;
    }
    const std::string text = support::formatDisplay(value);
    boxes.setToolTip(kAmps[phase - 1], text);
    boxes.setText(kVolts[phase - 1], text);
}

void PhaseValues::GetPFs(std::string_view currentItem) {
    const int ordinal = raiseCounter(PFCount);
    const double value = roundedValue(currentItem);
    if (ordinal >= 6 && ordinal <= 8) {
        GridPF[ordinal - 6] = value;
    }
}

void PhaseValues::GetAmps(std::string_view currentItem, ShownReading& boxes) {
    const int ordinal = raiseCounter(AmpsCount);
    const double value = roundedValue(currentItem);
    const int phase = phaseOfOrdinal(ordinal);
    if (phase == 0) {
        return;
    }
    // The second meter's currents carry the sign of the stored power factor; the product is
    // left for the display pattern to round.
    const double shown = ordinal >= 6 ? checkedResult(value * GridPF[phase - 1]) : value;
    boxes.setText(kAmps[phase - 1], support::formatDisplay(shown));
}

double PhaseValues::gridPF(int phase) const {
    if (phase < 1 || phase > 3) {
        return 0.0;
    }
    return GridPF[phase - 1];
}

} // namespace quorvane::reading
