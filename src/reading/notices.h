#pragma once

#include <cstdint>
#include <string>

namespace quorvane::reading {

// The self-closing notice window.
class Notices {
public:
    virtual ~Notices() = default;

    // Shows `message` (CR LF starts a new line) and returns when the window has closed: after
    // `timeout` milliseconds, on OK or by its close box; 0 never closes by itself. While a notice
    // is shown, a further request puts its text and time-out into the shown window and raises
    // support::errors::kFormAlreadyShown at once.
    virtual void TestTimeoutMsgBox(const std::string& message, std::int32_t timeout) = 0;
};

} // namespace quorvane::reading
