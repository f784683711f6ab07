#pragma once

#include <string>

#include "support/displayboxes.h"
#include "support/localetexts.h"

namespace quorvane::support {

// The four lines of the output file (each ended by CR LF) from the boxes TimeStamp,
// Production, Consumption and Grid, the grid line signed by Grid's back colour. Raises
// kTypeMismatch when an export Grid text is not a number.
std::string composeOutput(const DisplayBoxes& boxes, const LocaleTexts& locale);

// Rewrites the output file named by the OutFile box while the CreateOutputchk box is ticked;
// does nothing otherwise. The file is replaced whole or not at all; a failure passes to the
// caller and leaves the previous file as it was.
void Save(const DisplayBoxes& boxes, const LocaleTexts& locale);

} // namespace quorvane::support
