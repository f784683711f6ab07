#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace quorvane::app {

// The self-closing notice window: a message, an OK button and a countdown that closes it.
class frmTimeoutMsg final : public QDialog {
    Q_OBJECT

public:
    // Made without an owner window, at its design size and texts, hidden.
    frmTimeoutMsg();

    // Shows `message` (CR LF starts a new line) modally and returns when the window has closed:
    // after `timeout` milliseconds, on OK or by the close box; 0 or less never closes by itself.
    // While the window is already shown, the new text and time-out go into it (the countdown
    // starts again) and errors::kFormAlreadyShown is raised at once.
    void ShowTimeoutMessage(const std::string& message, std::int32_t timeout);

    // The time-out of the current message in milliseconds.
    std::int32_t timeout() const { return m_timeout; }

    // Whether the countdown that closes it is running.
    bool countingDown() const { return tmrTimeout.isActive(); }

    void cmdClose_Click();
    void tmrTimeout_Timer();

    // The close box and Escape close it as OK does.
    void reject() override;

private:
    QPlainTextEdit* txtMessage = nullptr;
    QPushButton* cmdClose = nullptr;
    QTimer tmrTimeout;

    void fill(const std::string& message, std::int32_t timeout);

    std::int32_t m_timeout = 0;
};

} // namespace quorvane::app
