#pragma once

#include <string>

namespace quorvane::gateway {

// The modal message box that shows a gateway reply containing "error"; the window implements
// it. showReply returns when the user has closed the box.
class ReplyMessageBox {
public:
    virtual ~ReplyMessageBox() = default;

    virtual void showReply(const std::string& text) = 0;
};

} // namespace quorvane::gateway
