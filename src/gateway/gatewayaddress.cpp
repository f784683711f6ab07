#include "gateway/gatewayaddress.h"

#include <algorithm>

namespace quorvane::gateway {

std::string urlAddress(std::string_view address) {
    const bool bracketed = address.find_first_of("[]") != std::string_view::npos;
    if (bracketed || std::count(address.begin(), address.end(), ':') < 2) {
        return std::string(address);
    }
    std::string literal = "[";
    const std::size_t zone = address.find('%');
    literal += address.substr(0, zone);
    if (zone != std::string_view::npos) {
        // In a URL the zone's separator is itself percent-encoded (RFC 6874).
        literal += "%25";
        literal += address.substr(zone + 1);
    }
    literal += ']';
    return literal;
}

} // namespace quorvane::gateway
