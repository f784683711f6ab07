#pragma once

#include "reading/shownreading.h"
#include "support/failure.h"

#include <string>
#include <string_view>

namespace quorvane::reading {

// The power rule of one cycle: "activePower" entries by ordinal into Production, Consumption,
// Grid and the solar and grid phase boxes, with the export and import colours.
class PowerRule {
public:
    PowerRule(ShownReading& boxes, bool consumptionVariant);

    // Counts the entry, reads its value into PowerValue and shows it by its ordinal, each step
    // a statement of its own under `trap`. A step that fails is skipped and the next one runs
    // (an unreadable value leaves PowerValue as the previous entry left it, 0 at first); a
    // second failure in the cycle passes out of `trap`.
    void apply(std::string_view currentItem, support::Trap& trap);

private:
    void showProduction(support::Trap& trap);
    void showGridAndConsumption(support::Trap& trap);
    void showGridPhase(Box box, std::string_view currentItem, support::Trap& trap);

    ShownReading& m_boxes;
    bool m_consumptionVariant;
    int PowerCount = 0;
    double PowerValue = 0.0;
    std::string ProductionText;
    std::string SecondMeterText;
};

// The time-stamp digits of an entry: at most 12 characters from its 23rd (counted from 1);
// empty for a shorter entry.
std::string_view timeStampDigits(std::string_view entry);

} // namespace quorvane::reading
