#include "reading/boxes.h"

#include <array>

namespace quorvane::reading {

std::string_view boxName(Box box) {
    static constexpr std::array<std::string_view, kBoxCount> kNames = {
        "TimeStamp", "Production", "Consumption", "Grid", "Turnaround", "Delay",
        "S1",        "S2",         "S3",          "G1",   "G2",         "G3",
        "A1",        "A2",         "A3",          "V1",   "V2",         "V3",
        "IP",        "OutFile",    "Zone",        "MyTime", "TokenString",
    };
    return kNames.at(static_cast<std::size_t>(box));
}

} // namespace quorvane::reading
