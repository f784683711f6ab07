#include "reading/displayrules.h"

#include "reading/replywalk.h"
#include "support/numerictext.h"

#include <algorithm>
#include <array>

namespace quorvane::reading {

using support::Box;
using support::formatDisplay;
using support::plainValue;
using support::roundHalfEven;

namespace {
constexpr std::array<Box, 3> kSolarPhases = {Box::S1, Box::S2, Box::S3};
constexpr std::array<Box, 3> kGridPhases = {Box::G1, Box::G2, Box::G3};
} // namespace

PowerRule::PowerRule(support::DisplayBoxes& boxes, bool consumptionVariant)
    : m_boxes(boxes), m_consumptionVariant(consumptionVariant) {}

void PowerRule::apply(std::string_view currentItem, support::Trap& trap) {
    ++PowerCount;
    const int ordinal = PowerCount;
    trap.run([&] { PowerValue = roundHalfEven(entryValue(currentItem), 1); });
    trap.run([&] { showOrdinal(ordinal, currentItem); });
}

void PowerRule::showOrdinal(int ordinal, std::string_view currentItem) {
    const int phase = phaseOfOrdinal(ordinal);
    if (ordinal == 1) {
        showProduction();
    } else if (ordinal == 5) {
        showGridAndConsumption();
    } else if (phase != 0 && ordinal < 5) {
        m_boxes.setText(kSolarPhases[phase - 1], formatDisplay(PowerValue));
    } else if (phase == 3) {
        // G3 shows the reading rounded to a whole number, taken from the entry itself.
        showGridPhase(Box::G3, roundHalfEven(entryValue(currentItem), 0));
    } else if (phase != 0) {
        showGridPhase(kGridPhases[phase - 1], PowerValue);
    }
}

void PowerRule::showProduction() {
    ProductionText = formatDisplay(PowerValue);
    m_boxes.setText(Box::Production,
                    formatDisplay(roundHalfEven(support::valueOfDisplayText(ProductionText), 2)));
}

void PowerRule::showGridAndConsumption() {
    SecondMeterText = formatDisplay(PowerValue);
    m_boxes.setText(Box::Grid, formatDisplay(PowerValue));
    m_boxes.setText(
        Box::Consumption,
        formatDisplay(roundHalfEven(
            checkedResult(plainValue(SecondMeterText) + plainValue(ProductionText)), 1)));
    if (m_consumptionVariant) {
        m_boxes.setText(Box::Consumption, formatDisplay(roundHalfEven(
                                              support::valueOfDisplayText(SecondMeterText), 1)));
        m_boxes.setText(
            Box::Grid,
            formatDisplay(roundHalfEven(
                checkedResult(plainValue(SecondMeterText) - plainValue(ProductionText)), 1)));
    }
    // From here on the colour carries the sign of the grid value and the text its magnitude.
    std::string grid = m_boxes.text(Box::Grid);
    if (support::leadingNumber(grid) < 0) {
        m_boxes.setBackColour(Box::Grid, support::colours::kGreen);
        grid.erase(std::remove(grid.begin(), grid.end(), '-'), grid.end());
        m_boxes.setText(Box::Grid, grid);
    } else {
        m_boxes.setBackColour(Box::Grid, support::colours::kLightRed);
    }
}

void PowerRule::showGridPhase(Box box, double value) {
    m_boxes.setText(box, formatDisplay(value));
    const std::string shown = m_boxes.text(box);
    if (support::leadingNumber(shown) < 0) {
        m_boxes.setBackColour(box, support::colours::kGreen);
        m_boxes.setText(box, formatDisplay(roundHalfEven(-plainValue(shown), 1)));
    } else {
        m_boxes.setBackColour(box, support::colours::kLightRed);
    }
    if (m_consumptionVariant) {
        m_boxes.setBackColour(box, support::colours::kWindowBackground);
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
