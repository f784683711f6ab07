#include "app/frmtimeoutmsg.h"

#include "app/formlayout.h"
#include "support/failure.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace quorvane::app {

namespace {

// The message box: the OK button lies over its lower right part, so its text stays above the
// button's top and scrolls when it is longer than that.
class MessageText final : public QPlainTextEdit {
public:
    explicit MessageText(QWidget* parent) : QPlainTextEdit(parent) {}

    void keepTextAbove(int top) { setViewportMargins(0, 0, 0, std::max(0, height() - top)); }
};

} // namespace

frmTimeoutMsg::frmTimeoutMsg() : QDialog(nullptr) {
    setObjectName("frmTimeoutMsg");
    setWindowTitle("Message (auto closes)");
    setFont(designFont(8.25, false));
    setClientTwips(*this, 4605, 3030);

    auto* messageText = new MessageText(this);
    txtMessage = messageText;
    txtMessage->setObjectName("txtMessage");
    placeTwips(*txtMessage, 0, 0, 4575, 3045);
    txtMessage->setFont(designFont(8.25, true));
    // Lines wrap at word boundaries; a longer text scrolls rather than running under OK.
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // Made after the text box so that it lies on top of the box's lower right part.
    cmdClose = new QPushButton("OK", this);
    cmdClose->setObjectName("cmdClose");
    placeTwips(*cmdClose, 2760, 2160, 1335, 615);
    keepCaptionWhole(*cmdClose);
    messageText->keepTextAbove(cmdClose->y());
    cmdClose->setDefault(true);
    setTabOrder(cmdClose, txtMessage);
    cmdClose->setFocus();

    tmrTimeout.setObjectName("tmrTimeout");
    tmrTimeout.setSingleShot(true);
    connect(cmdClose, &QPushButton::clicked, this, &frmTimeoutMsg::cmdClose_Click);
    connect(&tmrTimeout, &QTimer::timeout, this, &frmTimeoutMsg::tmrTimeout_Timer);
}

void frmTimeoutMsg::fill(const std::string& message, std::int32_t timeout) {
    txtMessage->setPlainText(QString::fromStdString(message).replace("\r\n", "\n"));
    m_timeout = timeout;
    tmrTimeout.stop();
    if (timeout > 0) {
        tmrTimeout.start(timeout);
    }
}

void frmTimeoutMsg::ShowTimeoutMessage(const std::string& message, std::int32_t timeout) {
    if (isVisible()) {
        fill(message, timeout);
        support::raise(support::errors::kFormAlreadyShown);
    }
    // The countdown runs from here, before the window is up.
    fill(message, timeout);
    cmdClose->setFocus();
    exec();
    tmrTimeout.stop();
}

void frmTimeoutMsg::cmdClose_Click() {
    tmrTimeout.stop();
    done(QDialog::Accepted);
}

void frmTimeoutMsg::tmrTimeout_Timer() {
    tmrTimeout.stop();
    done(QDialog::Accepted);
}

void frmTimeoutMsg::reject() {
    tmrTimeout.stop();
    QDialog::reject();
}

} // namespace quorvane::app
