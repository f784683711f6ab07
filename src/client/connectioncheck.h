#pragma once

#include <cstdint>

namespace quorvane::client {

// Whether a kept connection's socket (its descriptor, -1 for none) is still open and quiet: the
// system holds nothing for it to read, no end of stream and no error. A gateway that closed or
// reset the connection meanwhile makes it not idle, however far the socket layer above has got
// with noticing. connectioncheck_posix.cpp or connectioncheck_windows.cpp; asks the system at
// once, never waits.
bool connectionIdle(std::intptr_t descriptor);

} // namespace quorvane::client
