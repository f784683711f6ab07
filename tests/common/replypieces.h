#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "gateway/httpreply.h"

namespace quorvane::testing {

// Feeds `bytes` to `reader` in pieces that end at the offsets `splits` (ascending) and at the
// end, then ends the connection when `finish` says so: a reply as the network may cut it up.
inline void feedInPieces(gateway::HttpReplyReader& reader, std::string_view bytes,
                         const std::vector<std::size_t>& splits, bool finish) {
    std::size_t start = 0;
    for (const std::size_t split : splits) {
        reader.append(bytes.substr(start, split - start));
        start = split;
    }
    reader.append(bytes.substr(start));
    if (finish) {
        reader.finish();
    }
}

} // namespace quorvane::testing
