#include "client/connectioncheck.h"

#include <winsock2.h>

namespace quorvane::client {

bool connectionIdle(std::intptr_t descriptor) {
    if (descriptor < 0) {
        return false;
    }
    const auto socket = static_cast<SOCKET>(descriptor);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval now{0, 0};
    // A closed connection is readable (recv would give 0 bytes), a reset one too.
    return select(0, &readable, nullptr, &failed, &now) == 0;
}

} // namespace quorvane::client
