#include "app/errorreplybox.h"

#include <QMessageBox>

namespace quorvane::app {

ErrorReplyBox::~ErrorReplyBox() {
    shutDown();
}

void ErrorReplyBox::showReply(const std::string& text) {
    if (m_shutDown) {
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quorvane"), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.setObjectName("ReplyMessageBox");
    // A reply is shown as it came, never read as markup.
    box.setTextFormat(Qt::PlainText);
    const QPointer<QMessageBox> outer = m_box;
    m_box = &box;
    box.exec();
    m_box = outer;
}

QMessageBox* ErrorReplyBox::shown() const {
    return m_box;
}

void ErrorReplyBox::shutDown() {
    m_shutDown = true;
    if (m_box) {
        m_box->done(QMessageBox::Ok);
    }
}

} // namespace quorvane::app
