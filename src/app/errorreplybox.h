#pragma once

#include "gateway/replymessagebox.h"

#include <QPointer>
#include <string>

class QMessageBox;

namespace quorvane::app {

// Shows a gateway reply that contains "error" in a modal message box with one OK button, titled
// with the application's title "Quorvane".
class ErrorReplyBox final : public gateway::ReplyMessageBox {
public:
    ErrorReplyBox() = default;
    ~ErrorReplyBox() override;
    ErrorReplyBox(const ErrorReplyBox&) = delete;
    ErrorReplyBox& operator=(const ErrorReplyBox&) = delete;

    // Returns when the user has closed the box; at once after shutDown().
    void showReply(const std::string& text) override;

    // Closes a box that is shown and shows none from now on (the program is ending).
    void shutDown();

    // The box now shown, if any.
    QMessageBox* shown() const;

private:
    QPointer<QMessageBox> m_box;
    bool m_shutDown = false;
};

} // namespace quorvane::app
