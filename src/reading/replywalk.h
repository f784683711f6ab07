#pragma once

#include "support/failure.h"

#include <optional>
#include <string_view>

namespace quorvane::reading {

// What the walk does with the entries of a reply, one procedure per key test.
class EntryTests {
public:
    virtual ~EntryTests() = default;

    // Called for every entry without brackets that contains "timestamp".
    virtual void timeStampRule(std::string_view currentItem) = 0;
    virtual void GetVolts(std::string_view currentItem) = 0;
    virtual void GetPFs(std::string_view currentItem) = 0;
    virtual void GetAmps(std::string_view currentItem) = 0;
    // Runs its own statements through `trap`, since a failed value still leaves a display step.
    virtual void powerRule(std::string_view currentItem, support::Trap& trap) = 0;
};

// Cuts `reply` at every comma and applies the key tests to each entry from the first to the
// last, in one pass. Every call but powerRule() runs as one statement under `trap`, so after
// the first failure the walk goes on with the next key test and a second failure passes to the
// caller.
void walkReply(std::string_view reply, EntryTests& tests, support::Trap& trap);

// The part of an entry after its first colon, up to a second colon or the end; nothing for an
// entry without a colon.
std::optional<std::string_view> valueText(std::string_view entry);

// The value text of an entry as a number. Raises kTypeMismatch for an entry without a colon or
// a value text that is not a plain number, kOverflow beyond a double.
double entryValue(std::string_view entry);

// The phase (1 to 3) that an ordinal stands for: 2 to 4 the first meter's phases, 6 to 8 the
// second meter's; 0 for the whole meters (1 and 5) and for ordinals beyond 8.
int phaseOfOrdinal(int ordinal);

// Raises kOverflow when arithmetic on reply values has left the range of a double.
double checkedResult(double value);

} // namespace quorvane::reading
