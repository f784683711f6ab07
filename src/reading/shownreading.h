#pragma once

#include "reading/boxes.h"
#include "support/localetexts.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane::reading {

// What a reading cycle shows: the text, back colour and tooltip of each box a reading fills,
// and what the reading itself was, for the output file and the energy history. The window draws
// it; nothing reads a reading back from the window. Texts are UTF-8.
class ShownReading {
public:
    // The boxes a reading fills, in the window's order, and Zone, which the time-zone check
    // fills: what the window draws.
    static constexpr std::array<Box, 18> kBoxes = {
        Box::TimeStamp, Box::Production, Box::Consumption, Box::Grid, Box::Turnaround, Box::S1,
        Box::S2,        Box::S3,         Box::G1,          Box::G2,   Box::G3,         Box::A1,
        Box::A2,        Box::A3,         Box::V1,          Box::V2,   Box::V3,         Box::Zone};

    const std::string& text(Box box) const;
    void setText(Box box, std::string_view text);
    // Back colour in blue-green-red order, or colours::kWindowBackground.
    std::uint32_t backColour(Box box) const;
    void setBackColour(Box box, std::uint32_t colour);
    const std::string& toolTip(Box box) const;
    void setToolTip(Box box, std::string_view text);

    // The body of the reply the boxes were last walked from; empty after a failed request.
    const std::string& reply() const { return m_reply; }
    void setReply(std::string reply) { m_reply = std::move(reply); }

    // The reading's own time stamp (its first "timestamp" entry) in seconds since 1970 UTC;
    // 0 when the reply had none that could be read, or the request failed.
    std::int64_t readingTime() const { return m_readingTime; }
    void setReadingTime(std::int64_t seconds) { m_readingTime = seconds; }

private:
    struct Entry {
        std::string text;
        std::uint32_t colour = colours::kWindowBackground;
        std::string toolTip;
    };
    std::array<Entry, kBoxCount> m_entries;
    std::string m_reply;
    std::int64_t m_readingTime = 0;
};

// The four lines of the output file (each ended by CR LF) from TimeStamp, Production,
// Consumption and Grid, the grid line signed by Grid's back colour. Raises kTypeMismatch when an
// export Grid text is not a number.
std::string composeOutput(const ShownReading& shown, const support::LocaleTexts& locale);

} // namespace quorvane::reading
