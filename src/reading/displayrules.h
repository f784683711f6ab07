#pragma once

#include "support/displayboxes.h"
#include "support/failure.h"

#include <string>
#include <string_view>

namespace quorvane::reading {

// The power rule of one cycle: "activePower" entries by ordinal into Production, Consumption,
// Grid and the solar and grid phase boxes, with the export and import colours.
class PowerRule {
public:
    PowerRule(support::DisplayBoxes& boxes, bool consumptionVariant);

    // Counts the entry, reads its value into PowerValue and shows it by its ordinal. A value
    // that cannot be read fails through `trap`; once that failure is absorbed the ordinal's
    // display step still runs, with PowerValue as the previous entry left it (0 at first).
    void apply(std::string_view currentItem, support::Trap& trap);

private:
    void showOrdinal(int ordinal, std::string_view currentItem);
    void showProduction();
    void showGridAndConsumption();
    void showGridPhase(support::Box box, double value);

    support::DisplayBoxes& m_boxes;
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
