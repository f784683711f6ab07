#include "reading/displayrules.h"

#include "reading/replywalk.h"
#include "support/numerictext.h"

#include <algorithm>
#include <array>

namespace quorvane::reading {

using support::formatDisplay;
using support::plainValue;
using support::roundHalfEven;

namespace {
constexpr std::array<Box, 3> kSolarPhases = {Box::S1, Box::S2, Box::S3};
constexpr std::array<Box, 3> kGridPhases = {Box::G1, Box::G2, Box::G3};
} // namespace

PowerRule::PowerRule(ShownReading& boxes, bool consumptionVariant)
    : m_boxes(boxes), m_consumptionVariant(consumptionVariant) {}

void PowerRule::apply(std::string_view currentItem, support::Trap& trap) {
    ++PowerCount;
    const int ordinal = PowerCount;
    trap.run([&] { PowerValue = roundHalfEven(entryValue(currentItem), 1); });
    const int phase = phaseOfOrdinal(ordinal);
    if (ordinal == 1) {
        showProduction(trap);
    } else if (ordinal == 5) {
        showGridAndConsumption(trap);
    } else if (phase != 0 && ordinal < 5) {
        trap.run([&] { m_boxes.setText(kSolarPhases[phase - 1], formatDisplay(PowerValue)); });
    } else if (phase != 0) {
        showGridPhase(kGridPhases[phase - 1], currentItem, trap);
    }
}

// Each step is a statement of its own for the cycle's trap: a failed step is skipped and the
// next one runs, so a sum that overflows still leaves Grid on the colour of its sign.
void PowerRule::showProduction(support::Trap& trap) {
    trap.run([&] { ProductionText = formatDisplay(PowerValue); });
    trap.run([&] {
        m_boxes.setText(Box::Production, formatDisplay(roundHalfEven(
                                             support::valueOfDisplayText(ProductionText), 2)));
    });
}

void PowerRule::showGridAndConsumption(support::Trap& trap) {
    trap.run([&] { SecondMeterText = formatDisplay(PowerValue); });
    trap.run([&] { m_boxes.setText(Box::Grid, formatDisplay(PowerValue)); });
    trap.run([&] {
        m_boxes.setText(
            Box::Consumption,
            formatDisplay(roundHalfEven(
                checkedResult(plainValue(SecondMeterText) + plainValue(ProductionText)), 1)));
    });
    if (m_consumptionVariant) {
        trap.run([&] {
            m_boxes.setText(Box::Consumption,
                            formatDisplay(roundHalfEven(
                                support::valueOfDisplayText(SecondMeterText), 1)));
        });
        trap.run([&] {
            m_boxes.setText(
                Box::Grid,
                formatDisplay(roundHalfEven(
                    checkedResult(plainValue(SecondMeterText) - plainValue(ProductionText)),
                    1)));
        });
    }
    // From here on the colour carries the sign of the grid value and the text its magnitude.
    trap.run([&] {
        std::string grid = m_boxes.text(Box::Grid);
        if (support::leadingNumber(grid) < 0) {
            m_boxes.setBackColour(Box::Grid, colours::kGreen);
            grid.erase(std::remove(grid.begin(), grid.end(), '-'), grid.end());
            m_boxes.setText(Box::Grid, grid);
        } else {
            m_boxes.setBackColour(Box::Grid, colours::kLightRed);
        }
    });
}

void PowerRule::showGridPhase(Box box, std::string_view currentItem, support::Trap& trap) {
    trap.run([&] {
        // G3 shows the reading rounded to a whole number, taken from the entry itself.
        const double value =
            box == Box::G3 ? roundHalfEven(entryValue(currentItem), 0) : PowerValue;
        m_boxes.setText(box, formatDisplay(value));
    });
    trap.run([&] {
        const std::string shown = m_boxes.text(box);
        if (support::leadingNumber(shown) < 0) {
            m_boxes.setBackColour(box, colours::kGreen);
            m_boxes.setText(box, formatDisplay(roundHalfEven(-plainValue(shown), 1)));
        } else {
            m_boxes.setBackColour(box, colours::kLightRed);
        }
    });
    if (m_consumptionVariant) {
        trap.run([&] { m_boxes.setBackColour(box, colours::kWindowBackground); });
    }
}

std::string_view timeStampDigits(std::string_view entry) {
    constexpr std::size_t kFirst = 22;
    constexpr std::size_t kMost = 12;
    if (entry.size() <= kFirst) {
        return {};
    }
    return entry.substr(kFirst, kMost);
}

} // namespace quorvane::reading
