#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane::support {

// The main window's boxes that the reading logic reads and writes, named as the controls.
enum class Box {
    TimeStamp,
    Production,
    Consumption,
    Grid,
    Turnaround,
    Delay,
    S1,
    S2,
    S3,
    G1,
    G2,
    G3,
    A1,
    A2,
    A3,
    V1,
    V2,
    V3,
    IP,
    OutFile,
    Zone,
    MyTime,
    TokenString,
};

inline constexpr int kBoxCount = static_cast<int>(Box::TokenString) + 1;

// The control's name ("TimeStamp", "G2", ...).
std::string_view boxName(Box box);

// Back colours as 24-bit values in blue-green-red order, and the system's window colour.
namespace colours {
inline constexpr std::uint32_t kGreen = 65280;
inline constexpr std::uint32_t kLightRed = 8421631;
inline constexpr std::uint32_t kWindowBackground = 0x80000005;
} // namespace colours

// The window's display boxes as the reading logic sees them: the reading's only store.
// Texts are UTF-8.
class DisplayBoxes {
public:
    virtual ~DisplayBoxes() = default;

    virtual std::string text(Box box) const = 0;
    virtual void setText(Box box, std::string_view text) = 0;
    // Back colour in blue-green-red order, or kWindowBackground.
    virtual std::uint32_t backColour(Box box) const = 0;
    virtual void setBackColour(Box box, std::uint32_t colour) = 0;
    virtual std::string toolTip(Box box) const = 0;
    virtual void setToolTip(Box box, std::string_view text) = 0;
    // The value of the CreateOutputchk check box: 0 clear, 1 ticked.
    virtual int writeCheckValue() const = 0;
};

} // namespace quorvane::support
