#pragma once

#include <string>
#include <string_view>

namespace quorvane::gateway {

// The gateway address as it goes into the request URL after "https://". A bare IPv6 literal (two
// or more colons and no brackets, such as "fe80::8e1:f2ff:fe3a:41c2" or "fe80::1%eth0") is put in
// brackets, its zone's "%" written as "%25"; every other text (an IPv4 address, a host name,
// "host:port", "[addr]" or "[addr]:port") is returned unchanged.
std::string urlAddress(std::string_view address);

} // namespace quorvane::gateway
