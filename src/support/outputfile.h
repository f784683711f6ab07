#pragma once

#include "support/localetexts.h"

#include <string>

namespace quorvane::support {

// The texts of the four output lines as shown: the time stamp, production, consumption, and the
// grid's magnitude with whether it is an import (shown on light red).
struct OutputTexts {
    std::string timeStamp;
    std::string production;
    std::string consumption;
    std::string grid;
    bool importing = false;
};

// The four lines of the output file, each ended by CR LF; line 4 is the grid text itself for
// an import, else its value negated. Raises kTypeMismatch when an export grid text is not a
// number.
std::string composeOutput(const OutputTexts& texts, const LocaleTexts& locale);

// Replaces the output file `path` (a text in the program's encoding rules, see systemtext.h)
// with `content` in the system's code page. The file is replaced whole or not at all; a failure
// passes to the caller and leaves the previous file as it was.
void Save(const std::string& path, const std::string& content);

} // namespace quorvane::support
