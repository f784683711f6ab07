#include "client/connectioncheck.h"

#include <poll.h>

namespace quorvane::client {

bool connectionIdle(std::intptr_t descriptor) {
    if (descriptor < 0) {
        return false;
    }
    pollfd entry{};
    entry.fd = static_cast<int>(descriptor);
    entry.events = POLLIN;
    // A closed connection is readable (end of stream); a reset one reports POLLERR or POLLHUP.
    return ::poll(&entry, 1, 0) == 0;
}

} // namespace quorvane::client
