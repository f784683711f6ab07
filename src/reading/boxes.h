#pragma once

#include <cstdint>
#include <string_view>

namespace quorvane::reading {

// The main window's boxes, named as its controls. A reading fills those from TimeStamp to V3
// and Zone (ShownReading); the others hold what the owner sets.
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

} // namespace quorvane::reading
